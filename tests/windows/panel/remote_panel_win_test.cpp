// The remote panel under wine, from the program's dialog 102: what its
// initialisation leaves on screen and in the system (hot keys, tray icon,
// stored position), its commands, bars and keys as the record sees them, the
// refresh timer's status looks, and the exit that waits for the link thread.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/instance_checker.h"
#include "device/device_link.h"
#include "framework/message_box.h"
#include "hotkeys/hot_key_settings.h"
#include "panel/remote_panel_dlg.h"
#include "pixels.h"
#include "resource.h"
#include "window_checks.h"

namespace {

constexpr const char* kProductKey = "Software\\Quorvane";
constexpr const char* kMainWindowKey = "Software\\Quorvane\\Tavrel Plus Remote\\MainWindow";

// The panel with a record of the drags it starts and the closes it gets.
// A drag is not passed on: the system's move loop would wait for the mouse.
class TestPanel : public CRemotePanelDlg {
  public:
    std::vector<LPARAM> m_drags;
    int m_nCloses = 0;
    int m_nIconErases = 0;

    RECT ClientRectOf(HWND hChild) const {
        RECT rc = {};
        ::GetWindowRect(hChild, &rc);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_NCLBUTTONDOWN && wParam == HTCAPTION) {
            m_drags.push_back(lParam);
            return 0;
        }
        if (message == WM_CLOSE) {
            ++m_nCloses;
        }
        if (message == WM_ICONERASEBKGND) {
            ++m_nIconErases;
        }
        return CRemotePanelDlg::WindowProc(message, wParam, lParam);
    }
};

int CountDefaultsTaken() {
    return CountDefaultHotKeysTaken(nullptr);
}

bool ShellHasIcon(HWND hWnd, UINT uID) {
    NOTIFYICONDATAA nid = {};
    nid.cbSize = sizeof nid;
    nid.hWnd = hWnd;
    nid.uID = uID;
    return ::Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
}

bool ReadStored(const char* pszValue, DWORD& nValue) {
    DWORD cb = sizeof nValue;
    return ::RegGetValueA(HKEY_CURRENT_USER, kMainWindowKey, pszValue, RRF_RT_REG_DWORD, nullptr,
                          &nValue, &cb) == ERROR_SUCCESS;
}

void StorePosition(DWORD nLeft, DWORD nTop) {
    HKEY hKey = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kMainWindowKey, 0, nullptr, 0, KEY_WRITE,
                                nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExA(hKey, "nWindowLeft", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&nLeft),
                     sizeof nLeft);
    ::RegSetValueExA(hKey, "nWindowTop", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&nTop),
                     sizeof nTop);
    ::RegCloseKey(hKey);
}

void ResetRecord() {
    g_deviceLink.m_bConnected = 0;
    g_deviceLink.m_bRunning = 0;
    g_deviceLink.m_bStopRequest = 0;
    g_deviceLink.m_bWindowPending = 0;
    g_deviceLink.m_bLinesPending = 0;
    g_deviceLink.m_bOptionsPending = 0;
    g_deviceLink.m_nPosition = 128;
    g_deviceLink.m_nWidth = 128;
}

// Closes every About box of this thread from a thread timer, which fires
// inside the box's own modal loop; remembers who owned it.
std::vector<HWND> g_aboutOwners;
void CALLBACK CloseAboutBoxes(HWND, UINT, UINT_PTR, DWORD) {
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hWnd, LPARAM) -> BOOL {
            char szText[64] = {};
            ::GetWindowTextA(hWnd, szText, sizeof szText);
            if (::IsWindowVisible(hWnd) && std::string(szText) == "About") {
                g_aboutOwners.push_back(::GetWindow(hWnd, GW_OWNER));
                ::PostMessageA(hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            }
            return TRUE;
        },
        0);
}

class RemotePanel : public ::testing::Test {
  protected:
    void SetUp() override {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kProductKey);
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kProductKey);
        ResetRecord();
        SetMessageBoxFunction([this](HWND, const std::string& text, const std::string&, UINT) {
            m_boxes.push_back(text);
            return IDOK;
        });
    }
    void TearDown() override {
        if (m_panel.m_hWnd != nullptr) {
            m_panel.DestroyWindow();
        }
        SetMainWnd(nullptr);
        SetMessageBoxFunction(nullptr);
        ResetRecord();
    }
    // Creates the panel modeless as the program's main window and waits until
    // it is on screen.
    void Open(BYTE bHideAtStart = FALSE) {
        m_panel.m_bHideAtStart = bHideAtStart;
        SetMainWnd(&m_panel);
        ASSERT_TRUE(m_panel.Create());
        m_panel.ShowWindow(SW_SHOW);
        ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(m_panel.m_hWnd) != FALSE; }));
    }
    bool Visible(const CWnd& wnd) const { return ::IsWindowVisible(wnd.m_hWnd) != FALSE; }
    void Scroll(CWnd& bar, int nCode, int nThumb = 0) {
        m_panel.SendMessage(WM_HSCROLL, MAKEWPARAM(nCode, nThumb),
                            reinterpret_cast<LPARAM>(bar.m_hWnd));
    }
    int PosOf(const CWnd& bar) const { return ::GetScrollPos(bar.m_hWnd, SB_CTL); }

    TestPanel m_panel;
    std::vector<std::string> m_boxes;
};

TEST_F(RemotePanel, InitialisationDressesTheWindowAndItsControls) {
    // A process publishes one window only, its first panel's (this test's,
    // in the tests' own order).
    HANDLE hBlock =
        ::OpenFileMappingA(FILE_MAP_READ, FALSE, "CInstanceChecker_MMF_Tavrel Remote App");
    const bool bFirstPanel = hBlock == nullptr;
    if (hBlock != nullptr) {
        ::CloseHandle(hBlock);
    }
    Open();
    if (bFirstPanel) {
        // A later start finds the panel, hidden or not, and brings it back.
        m_panel.ShowWindow(SW_HIDE);
        CInstanceChecker secondCopy("Tavrel Remote App");
        EXPECT_EQ(secondCopy.ActivateOtherCopy(), m_panel.m_hWnd);
        EXPECT_TRUE(Visible(m_panel));
    }
    // The About item at the end of the system menu, after a separator.
    HMENU hSysMenu = ::GetSystemMenu(m_panel.m_hWnd, FALSE);
    ASSERT_NE(hSysMenu, nullptr);
    const int nItems = ::GetMenuItemCount(hSysMenu);
    ASSERT_GE(nItems, 2);
    EXPECT_EQ(::GetMenuItemID(hSysMenu, nItems - 1), static_cast<UINT>(IDM_ABOUTBOX));
    char szItem[64] = {};
    ::GetMenuStringA(hSysMenu, nItems - 1, szItem, sizeof szItem, MF_BYPOSITION);
    EXPECT_STREQ(szItem, "&About Remote...");
    EXPECT_EQ(::GetMenuState(hSysMenu, nItems - 2, MF_BYPOSITION) & MF_SEPARATOR,
              static_cast<UINT>(MF_SEPARATOR));

    ASSERT_NE(m_panel.m_hIcon, nullptr);
    EXPECT_EQ(m_panel.SendMessage(WM_GETICON, ICON_BIG),
              reinterpret_cast<LRESULT>(m_panel.m_hIcon));
    // The caption's small icon is the image made for the small size, not
    // the large one shrunk.
    HICON hSmall = reinterpret_cast<HICON>(m_panel.SendMessage(WM_GETICON, ICON_SMALL));
    ASSERT_NE(hSmall, nullptr);
    EXPECT_NE(hSmall, m_panel.m_hIcon);
    EXPECT_EQ(IconWidth(hSmall), ::GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(IconWidth(m_panel.m_hIcon), ::GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(m_panel.SendMessage(WM_QUERYDRAGICON), reinterpret_cast<LRESULT>(m_panel.m_hIcon));
    EXPECT_NE(m_panel.m_hBitmap, nullptr);
    EXPECT_EQ(m_panel.m_hRegion, nullptr);  // no transparent colour: rectangular

    ASSERT_NE(m_panel.m_wndWarning.m_hWnd, nullptr);
    EXPECT_FALSE(Visible(m_panel.m_wndWarning));
    EXPECT_EQ(::GetWindow(m_panel.m_wndWarning.m_hWnd, GW_OWNER), m_panel.m_hWnd);

    EXPECT_EQ(m_panel.m_lblStatus.GetWindowText(), "Not Connected");
    EXPECT_EQ(m_panel.m_lblStatus.m_crText, RGB(255, 255, 255));
    EXPECT_EQ(m_panel.m_lblStatus.m_crBack, RGB(255, 0, 0));
    EXPECT_TRUE(m_panel.m_lblPositionTitle.m_bTransparent);
    EXPECT_TRUE(m_panel.m_lblWidthTitle.m_bTransparent);
    EXPECT_TRUE(m_panel.m_lblConnectionTitle.m_bTransparent);
    EXPECT_FALSE(m_panel.m_lblStatus.m_bTransparent);
    EXPECT_FALSE(Visible(m_panel.m_lblDebugInfo));
    const LOGFONTA title = FontOf(m_panel.m_lblPositionTitle.m_font.Get());
    EXPECT_STREQ(title.lfFaceName, "Arial");
    EXPECT_EQ(title.lfWeight, FW_BOLD);
    EXPECT_EQ(title.lfHeight, CTextLabel::PointsToHeight(18));
    EXPECT_STREQ(FontOf(m_panel.m_lblDebugInfo.m_font.Get()).lfFaceName, "Courier");

    // The buttons share the bold Arial font; each control stands on its frame.
    const LOGFONTA buttons = FontOf(m_panel.m_btnLines.GetFont());
    EXPECT_EQ(m_panel.m_btnLines.GetFont(), m_panel.m_fontButtons.Get());
    EXPECT_STREQ(buttons.lfFaceName, "Arial");
    EXPECT_EQ(buttons.lfWeight, FW_BOLD);
    EXPECT_EQ(buttons.lfQuality, PROOF_QUALITY);
    const std::pair<CWnd*, CTextLabel*> frames[] = {
        {&m_panel.m_barPosition, &m_panel.m_lblPositionFrame},
        {&m_panel.m_barWidth, &m_panel.m_lblWidthFrame},
        {&m_panel.m_btnWindow, &m_panel.m_lblWindowFrame},
        {&m_panel.m_btnLines, &m_panel.m_lblLinesFrame},
        {&m_panel.m_btnOptions, &m_panel.m_lblOptionsFrame}};
    for (const auto& [pControl, pFrame] : frames) {
        RECT expected = m_panel.ClientRectOf(pControl->m_hWnd);
        ::InflateRect(&expected, 6, 6);
        const RECT frame = m_panel.ClientRectOf(pFrame->m_hWnd);
        EXPECT_TRUE(::EqualRect(&expected, &frame)) << ::GetDlgCtrlID(pControl->m_hWnd);
        EXPECT_EQ(pFrame->m_crBack, RGB(0, 0, 0));
    }
    ::SetFocus(nullptr);
    const ClientPixels px(m_panel.m_hWnd);
    const RECT window = m_panel.ClientRectOf(m_panel.m_btnWindow.m_hWnd);
    const int nArea = (window.right - window.left) * (window.bottom - window.top);
    EXPECT_GT(px.Count(window, RGB(255, 255, 160)), nArea / 2);
    const RECT frame = m_panel.ClientRectOf(m_panel.m_lblWindowFrame.m_hWnd);
    EXPECT_EQ(px.At(frame.left + 2, frame.top + 2), RGB(0, 0, 0));
    EXPECT_EQ(px.At(frame.left - 2, frame.top - 2), RGB(255, 255, 255));

    // Both bars at 63 of 0 to 255, and the record with them.
    for (const CWnd* pBar : {&m_panel.m_barPosition, &m_panel.m_barWidth}) {
        int nMin = -1;
        int nMax = -1;
        ::GetScrollRange(pBar->m_hWnd, SB_CTL, &nMin, &nMax);
        EXPECT_EQ(nMin, 0);
        EXPECT_EQ(nMax, 255);
        EXPECT_EQ(PosOf(*pBar), 63);
    }
    EXPECT_EQ(g_deviceLink.m_nPosition, 63);
    EXPECT_EQ(g_deviceLink.m_nWidth, 63);

    // The eight default hot keys and the tray icon are the system's now.
    EXPECT_EQ(CountDefaultsTaken(), kHotKeyCount);
    EXPECT_EQ(g_hotKeySettings.m_pOwner, &m_panel);
    EXPECT_TRUE(m_boxes.empty());
    ASSERT_NE(m_panel.m_tray.m_hWnd, nullptr);
    EXPECT_TRUE(ShellHasIcon(m_panel.m_tray.m_hWnd, CRemotePanelDlg::kTrayId));
    EXPECT_EQ(m_panel.m_tray.GetNotifyTarget(), &m_panel);
    // The notification area gets the small picture at the size it shows.
    EXPECT_EQ(IconWidth(m_panel.m_tray.GetIcon()), ::GetSystemMetrics(SM_CXSMICON));

    // Started with "-show": the refresh runs, the hide timer does not exist.
    EXPECT_FALSE(m_panel.KillTimer(CRemotePanelDlg::IDT_HIDE_AT_START));
    EXPECT_TRUE(m_panel.KillTimer(CRemotePanelDlg::IDT_REFRESH));
}

TEST_F(RemotePanel, WithoutTheShowSwitchItHidesItselfOnceAfterStart) {
    Open(TRUE);
    ASSERT_TRUE(WaitFor([&] { return !Visible(m_panel); }));
    // Shown again, it stays: the timer was a one-shot.
    m_panel.SendMessage(WM_COMMAND, ID_MAXIMIZE);
    PumpMessages(300);
    EXPECT_TRUE(Visible(m_panel));
    EXPECT_FALSE(m_panel.KillTimer(CRemotePanelDlg::IDT_HIDE_AT_START));
}

TEST_F(RemotePanel, TheStoredPositionIsAppliedAndTheLastOneSavedAtDestruction) {
    StorePosition(40, 50);
    Open();
    RECT rc = m_panel.GetWindowRect();
    EXPECT_EQ(rc.left, 40);
    EXPECT_EQ(rc.top, 50);
    ::SetWindowPos(m_panel.m_hWnd, nullptr, 70, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    m_panel.ShowWindow(SW_HIDE);  // saved also while hidden
    ASSERT_EQ(CountDefaultsTaken(), kHotKeyCount);
    m_panel.DestroyWindow();

    DWORD nLeft = 0;
    DWORD nTop = 0;
    ASSERT_TRUE(ReadStored("nWindowLeft", nLeft));
    ASSERT_TRUE(ReadStored("nWindowTop", nTop));
    EXPECT_EQ(nLeft, 70u);
    EXPECT_EQ(nTop, 90u);
    EXPECT_EQ(CountDefaultsTaken(), 0);  // the hot keys went with the window
}

TEST_F(RemotePanel, ButtonsLeaveTheirPressInTheRecordAndWarnOnlyWhileNotConnected) {
    Open();
    g_deviceLink.m_bConnected = 1;
    m_panel.m_btnLines.SendMessage(BM_CLICK);
    EXPECT_EQ(g_deviceLink.m_bLinesPending, 1);
    EXPECT_FALSE(Visible(m_panel.m_wndWarning));

    g_deviceLink.m_bConnected = 0;
    HWND hActive = ::GetActiveWindow();
    m_panel.m_btnOptions.SendMessage(BM_CLICK);
    EXPECT_EQ(g_deviceLink.m_bOptionsPending, 1);
    EXPECT_TRUE(Visible(m_panel.m_wndWarning));
    EXPECT_EQ(g_deviceLink.m_bWindowPending, 0);
    // The warning only tells: the keyboard stays where it was, and the mouse
    // goes through it to what it covers.
    EXPECT_EQ(::GetActiveWindow(), hActive);
    EXPECT_NE(::GetForegroundWindow(), m_panel.m_wndWarning.m_hWnd);
    RECT rc = {};
    ::GetWindowRect(m_panel.m_wndWarning.m_hWnd, &rc);
    const LPARAM centre = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    EXPECT_EQ(m_panel.m_wndWarning.SendMessage(WM_NCHITTEST, 0, centre), HTTRANSPARENT);
    EXPECT_EQ(
        m_panel.m_wndWarning.SendMessage(WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(m_panel.m_hWnd),
                                         MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
        MA_NOACTIVATE);

    // A second press restarts the 1.5 s: the warning goes 1.5 s after it.
    PumpMessages(500);
    const DWORD nSecond = ::GetTickCount();
    m_panel.m_btnWindow.SendMessage(BM_CLICK);
    EXPECT_EQ(g_deviceLink.m_bWindowPending, 1);
    ASSERT_TRUE(WaitFor([&] { return !Visible(m_panel.m_wndWarning); }, 5000));
    EXPECT_GE(::GetTickCount() - nSecond, 1400u);
}

TEST_F(RemotePanel, ScrollCodesMoveTheBarsAndEveryMoveStoresBothLevels) {
    Open();
    g_deviceLink.m_bConnected = 1;
    CWnd& pos = m_panel.m_barPosition;
    CWnd& width = m_panel.m_barWidth;
    struct Step {
        int nCode, nThumb, nExpected;
    };
    const Step steps[] = {
        {SB_LINERIGHT, 0, 64},  {SB_LINELEFT, 0, 63},      {SB_PAGERIGHT, 0, 71},
        {SB_PAGELEFT, 0, 63},   {SB_THUMBTRACK, 250, 250}, {SB_PAGERIGHT, 0, 255},
        {SB_LINERIGHT, 0, 255}, {SB_PAGERIGHT, 0, 255},    {SB_THUMBPOSITION, 5, 5},
        {SB_PAGELEFT, 0, 0},    {SB_LINELEFT, 0, 0},       {SB_PAGELEFT, 0, 0},
        {SB_RIGHT, 0, 255},     {SB_LEFT, 0, 0},           {SB_ENDSCROLL, 0, 0},
    };
    for (const Step& step : steps) {
        Scroll(pos, step.nCode, step.nThumb);
        EXPECT_EQ(PosOf(pos), step.nExpected) << step.nCode;
        EXPECT_EQ(g_deviceLink.m_nPosition, step.nExpected) << step.nCode;
    }
    EXPECT_EQ(PosOf(width), 63);

    // Either bar's move rewrites both values.
    ::SetScrollPos(pos.m_hWnd, SB_CTL, 100, TRUE);
    g_deviceLink.m_nPosition = 0;
    Scroll(width, SB_PAGERIGHT);
    EXPECT_EQ(g_deviceLink.m_nWidth, 71);
    EXPECT_EQ(g_deviceLink.m_nPosition, 100);
    EXPECT_FALSE(Visible(m_panel.m_wndWarning));

    // The end of a scroll changes nothing, yet stores and warns.
    g_deviceLink.m_bConnected = 0;
    g_deviceLink.m_nWidth = 0;
    Scroll(width, SB_ENDSCROLL);
    EXPECT_EQ(PosOf(width), 71);
    EXPECT_EQ(g_deviceLink.m_nWidth, 71);
    EXPECT_TRUE(Visible(m_panel.m_wndWarning));
}

TEST_F(RemotePanel, TheStatusLabelFollowsTheLinkAndTheDebugLineIsShownByShiftClick) {
    Open();
    g_deviceLink.SetStatus(LINK_CONNECTED);
    g_deviceLink.SetStatusText("ACTIVE Port 3");
    ASSERT_TRUE(WaitFor([&] { return m_panel.m_lblStatus.GetWindowText() == "ACTIVE Port 3"; }));
    EXPECT_EQ(m_panel.m_lblStatus.m_crText, RGB(0, 0, 0));
    EXPECT_EQ(m_panel.m_lblStatus.m_crBack, RGB(0, 200, 0));
    RECT status = m_panel.ClientRectOf(m_panel.m_lblStatus.m_hWnd);
    ::InflateRect(&status, -3, -3);
    EXPECT_GT(ClientPixels(m_panel.m_hWnd).Count(status, RGB(0, 200, 0)), 0);

    g_deviceLink.SetStatus(LINK_SEARCHING);
    ASSERT_TRUE(WaitFor([&] { return m_panel.m_lblStatus.GetWindowText() == "NONE"; }));
    EXPECT_EQ(m_panel.m_lblStatus.m_crText, RGB(0, 0, 0));
    EXPECT_EQ(m_panel.m_lblStatus.m_crBack, RGB(255, 0, 0));
    // Without a change the label is left alone.
    m_panel.m_lblStatus.SetText("untouched");
    PumpMessages(300);
    EXPECT_EQ(m_panel.m_lblStatus.GetWindowText(), "untouched");

    // Shift+click shows the debug line, which follows the record; no drag.
    {
        std::lock_guard<std::mutex> lock(g_deviceLink.m_lock);
        lstrcpynA(g_deviceLink.m_szDebugInfo, "COM2 probe V1.10", CDeviceLink::kDebugInfoSize);
    }
    INPUT shift = {};
    shift.type = INPUT_KEYBOARD;
    shift.ki.wVk = VK_SHIFT;
    ASSERT_EQ(::SendInput(1, &shift, sizeof shift), 1u);
    ASSERT_TRUE(WaitFor([] { return (::GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0; }));
    const LPARAM point = MAKELPARAM(5, 5);
    m_panel.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, point);
    EXPECT_TRUE(Visible(m_panel.m_lblDebugInfo));
    EXPECT_TRUE(
        WaitFor([&] { return m_panel.m_lblDebugInfo.GetWindowText() == "COM2 probe V1.10"; }));
    m_panel.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, point);
    EXPECT_FALSE(Visible(m_panel.m_lblDebugInfo));
    shift.ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(1, &shift, sizeof shift);
    ASSERT_TRUE(WaitFor([] { return (::GetAsyncKeyState(VK_SHIFT) & 0x8000) == 0; }));
    PumpMessages(50);
    EXPECT_TRUE(m_panel.m_drags.empty());

    // A plain click drags the panel from the point clicked, which the drag
    // message carries in screen coordinates.
    m_panel.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, 34));
    ASSERT_TRUE(WaitFor([&] { return !m_panel.m_drags.empty(); }));
    POINT ptScreen = {12, 34};
    ::ClientToScreen(m_panel.m_hWnd, &ptScreen);
    EXPECT_EQ(m_panel.m_drags.front(), MAKELPARAM(ptScreen.x, ptScreen.y));
    EXPECT_FALSE(Visible(m_panel.m_lblDebugInfo));
}

TEST_F(RemotePanel, HotKeysPressTheButtonsAndStepTheBarsOneAtATime) {
    Open();
    g_deviceLink.m_bConnected = 1;
    auto press = [&](UINT nId) {
        m_panel.SendMessage(WM_HOTKEY, nId, MAKELPARAM(MOD_CONTROL, VK_F5));
    };
    // Ids outside the eight do nothing (a step would write the levels).
    g_deviceLink.m_nPosition = 99;
    for (UINT nId : {0u, 100u, 109u, 0xBFFFu}) {
        press(nId);
    }
    EXPECT_EQ(g_deviceLink.m_bWindowPending + g_deviceLink.m_bLinesPending +
                  g_deviceLink.m_bOptionsPending,
              0);
    EXPECT_EQ(g_deviceLink.m_nPosition, 99);
    EXPECT_EQ(PosOf(m_panel.m_barPosition), 63);
    EXPECT_EQ(PosOf(m_panel.m_barWidth), 63);

    press(HOTKEY_WINDOW);
    EXPECT_EQ(g_deviceLink.m_bWindowPending, 1);
    EXPECT_EQ(g_deviceLink.m_bLinesPending, 0);
    press(HOTKEY_LINES);
    EXPECT_EQ(g_deviceLink.m_bLinesPending, 1);
    EXPECT_EQ(g_deviceLink.m_bOptionsPending, 0);
    press(HOTKEY_OPTIONS);
    EXPECT_EQ(g_deviceLink.m_bOptionsPending, 1);
    EXPECT_FALSE(m_panel.m_btnWindow.SendMessage(BM_GETSTATE) & BST_PUSHED);

    struct Step {
        UINT nId;
        int nPosition, nWidth;
    };
    const Step steps[] = {
        {HOTKEY_POSDOWN, 62, 63}, {HOTKEY_POSDOWN, 61, 63},   {HOTKEY_POSUP, 62, 63},
        {HOTKEY_WIDTHUP, 62, 64}, {HOTKEY_WIDTHDOWN, 62, 63}, {HOTKEY_WIDTHDOWN, 62, 62},
    };
    for (const Step& step : steps) {
        press(step.nId);
        EXPECT_EQ(PosOf(m_panel.m_barPosition), step.nPosition) << step.nId;
        EXPECT_EQ(PosOf(m_panel.m_barWidth), step.nWidth) << step.nId;
        EXPECT_EQ(g_deviceLink.m_nPosition, step.nPosition) << step.nId;
        EXPECT_EQ(g_deviceLink.m_nWidth, step.nWidth) << step.nId;
    }
    EXPECT_FALSE(Visible(m_panel.m_wndWarning));

    // At the ends a step changes nothing, yet the value is written again.
    ::SetScrollPos(m_panel.m_barPosition.m_hWnd, SB_CTL, 0, TRUE);
    ::SetScrollPos(m_panel.m_barWidth.m_hWnd, SB_CTL, 255, TRUE);
    g_deviceLink.m_nPosition = 99;
    g_deviceLink.m_nWidth = 99;
    press(HOTKEY_POSDOWN);
    EXPECT_EQ(g_deviceLink.m_nPosition, 0);
    EXPECT_EQ(g_deviceLink.m_nWidth, 255);
    g_deviceLink.m_nWidth = 99;
    press(HOTKEY_WIDTHUP);
    EXPECT_EQ(PosOf(m_panel.m_barWidth), 255);
    EXPECT_EQ(g_deviceLink.m_nWidth, 255);

    // Without a magnifier each action warns, as the controls do.
    g_deviceLink.m_bConnected = 0;
    press(HOTKEY_POSUP);
    EXPECT_EQ(PosOf(m_panel.m_barPosition), 1);
    EXPECT_TRUE(Visible(m_panel.m_wndWarning));
}

// A window of another thread of this process, in front until it is stopped.
class ForeignWindow {
  public:
    ForeignWindow() {
        m_hReady = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        m_hThread = ::CreateThread(nullptr, 0, &ForeignWindow::Body, this, 0, &m_dwThread);
        ::WaitForSingleObject(m_hReady, 10000);
    }
    ~ForeignWindow() {
        ::PostThreadMessageA(m_dwThread, WM_QUIT, 0, 0);
        ::WaitForSingleObject(m_hThread, 10000);
        ::CloseHandle(m_hThread);
        ::CloseHandle(m_hReady);
    }
    // The focus window as the other thread sees it (null unless the two
    // threads share their input).
    HWND FocusSeenThere() {
        ::ResetEvent(m_hReady);
        ::PostThreadMessageA(m_dwThread, kAskFocus, 0, 0);
        ::WaitForSingleObject(m_hReady, 10000);
        return m_hFocusSeen;
    }
    HWND m_hWnd = nullptr;
    DWORD m_dwThread = 0;

  private:
    static constexpr UINT kAskFocus = WM_APP + 1;
    static DWORD WINAPI Body(void* pParam) {
        auto* pSelf = static_cast<ForeignWindow*>(pParam);
        pSelf->m_hWnd =
            ::CreateWindowExA(0, "STATIC", "Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50,
                              50, 300, 200, nullptr, nullptr, nullptr, nullptr);
        ::SetForegroundWindow(pSelf->m_hWnd);
        ::SetEvent(pSelf->m_hReady);
        MSG msg;
        while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (msg.hwnd == nullptr && msg.message == kAskFocus) {
                pSelf->m_hFocusSeen = ::GetFocus();
                ::SetEvent(pSelf->m_hReady);
                continue;
            }
            ::DispatchMessageA(&msg);
        }
        ::DestroyWindow(pSelf->m_hWnd);
        return 0;
    }
    HANDLE m_hReady = nullptr;
    HANDLE m_hThread = nullptr;
    HWND m_hFocusSeen = nullptr;
};

TEST_F(RemotePanel, PopupHotKeyBringsTheHiddenPanelToTheFrontOfAnotherThreadsWindow) {
    Open();
    m_panel.SendMessage(WM_COMMAND, ID_MINIMIZE);
    ASSERT_FALSE(Visible(m_panel));
    ForeignWindow other;
    ASSERT_NE(other.m_hWnd, nullptr);
    ASSERT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == other.m_hWnd; }));

    m_panel.PostMessage(WM_HOTKEY, HOTKEY_POPUP, MAKELPARAM(MOD_CONTROL, VK_F5));
    EXPECT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == m_panel.m_hWnd; }));
    EXPECT_TRUE(Visible(m_panel));
    // The dialog hands its focus on to its first control.
    const HWND hFocus = ::GetFocus();
    EXPECT_TRUE(hFocus == m_panel.m_hWnd || ::IsChild(m_panel.m_hWnd, hFocus)) << hFocus;
    EXPECT_EQ(g_deviceLink.m_bWindowPending, 0);
    // The threads' input is separate again afterwards.
    EXPECT_EQ(other.FocusSeenThere(), nullptr);

    // Shown but behind the other window: brought to the front.
    ::SetForegroundWindow(other.m_hWnd);
    ASSERT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == other.m_hWnd; }));
    ASSERT_TRUE(Visible(m_panel));
    m_panel.PostMessage(WM_HOTKEY, HOTKEY_POPUP, MAKELPARAM(MOD_CONTROL, VK_F5));
    EXPECT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == m_panel.m_hWnd; }));
    EXPECT_EQ(other.FocusSeenThere(), nullptr);

    // Again while in front: it stays shown and in front.
    m_panel.PostMessage(WM_HOTKEY, HOTKEY_POPUP, MAKELPARAM(MOD_CONTROL, VK_F5));
    PumpMessages(200);
    EXPECT_TRUE(Visible(m_panel));
    EXPECT_EQ(::GetForegroundWindow(), m_panel.m_hWnd);
}

TEST_F(RemotePanel, CloseAndMinimiseOnlyHideAndTheMenusShowAboutAndTheWindowAgain) {
    Open();
    m_panel.SendMessage(WM_CLOSE);
    EXPECT_FALSE(Visible(m_panel));
    ASSERT_NE(m_panel.m_hWnd, nullptr);
    m_panel.SendMessage(WM_COMMAND, ID_MAXIMIZE);
    EXPECT_TRUE(Visible(m_panel));
    EXPECT_FALSE(::IsZoomed(m_panel.m_hWnd));
    m_panel.SendMessage(WM_SYSCOMMAND, SC_MINIMIZE);
    EXPECT_FALSE(Visible(m_panel));
    EXPECT_FALSE(::IsIconic(m_panel.m_hWnd));
    m_panel.SendMessage(WM_COMMAND, ID_MAXIMIZE);
    m_panel.SendMessage(WM_COMMAND, ID_MINIMIZE);
    EXPECT_FALSE(Visible(m_panel));
    m_panel.SendMessage(WM_COMMAND, ID_MAXIMIZE);

    g_aboutOwners.clear();
    const UINT_PTR nCloser = ::SetTimer(nullptr, 0, 50, CloseAboutBoxes);
    m_panel.SendMessage(WM_SYSCOMMAND, IDM_ABOUTBOX | 0x3);
    m_panel.SendMessage(WM_COMMAND, ID_ABOUT);
    ::KillTimer(nullptr, nCloser);
    ASSERT_EQ(g_aboutOwners.size(), 2u);
    EXPECT_EQ(g_aboutOwners[0], m_panel.m_hWnd);
    EXPECT_EQ(g_aboutOwners[1], m_panel.m_hWnd);
    EXPECT_TRUE(::IsWindowEnabled(m_panel.m_hWnd));
}

TEST_F(RemotePanel, OnlyTheMinimisedPanelPaintsItsIcon) {
    Open();
    m_panel.SendMessage(WM_PAINT);
    EXPECT_EQ(m_panel.m_nIconErases, 0);
    ::ShowWindow(m_panel.m_hWnd, SW_MINIMIZE);
    ASSERT_TRUE(WaitFor([&] { return ::IsIconic(m_panel.m_hWnd) != FALSE; }));
    m_panel.SendMessage(WM_PAINT);
    EXPECT_EQ(m_panel.m_nIconErases, 1);
    ::ShowWindow(m_panel.m_hWnd, SW_RESTORE);
}

// The "Hot Keys..." command runs the Setup Hot Keys dialog between giving the
// keys back and taking them again: tests/windows/setup drives it.

TEST_F(RemotePanel, KeysThatWouldWorkTheDialogAreSwallowed) {
    Open();
    for (UINT vk : {VK_RETURN, VK_ESCAPE, VK_SPACE, VK_PRIOR, VK_NEXT, VK_END, VK_HOME, VK_LEFT,
                    VK_UP, VK_RIGHT, VK_DOWN}) {
        MSG msg = {m_panel.m_btnWindow.m_hWnd, WM_KEYDOWN, vk, 0x00010001, 0, {}};
        EXPECT_TRUE(m_panel.PreTranslateMessage(&msg)) << vk;
        msg.message = WM_KEYUP;
        EXPECT_FALSE(m_panel.PreTranslateMessage(&msg)) << vk;
    }
    MSG letter = {m_panel.m_hWnd, WM_KEYDOWN, 'A', 0x001E0001, 0, {}};
    EXPECT_FALSE(m_panel.PreTranslateMessage(&letter));
}

// The modal run as the program has it, driven from a thread timer inside its
// loop: keys do nothing, Exit waits for the link thread, then the panel ends.
TestPanel* g_pModal = nullptr;
int g_nTick = 0;
struct ModalSeen {
    bool bAliveAfterKeys = false;
    int nPendingAfterKeys = -1;
    int nPositionAfterKeys = -1;
    bool bAliveWhileRunning = false;
    int nClosesWhileRunning = 0;
    int nStopRequest = -1;
} g_seen;

void CALLBACK DriveModal(HWND, UINT, UINT_PTR, DWORD) {
    TestPanel& panel = *g_pModal;
    ++g_nTick;
    if (g_nTick == 3) {
        ::SetFocus(panel.m_btnWindow.m_hWnd);
        for (UINT vk : {VK_SPACE, VK_RETURN, VK_ESCAPE}) {
            ::PostMessageA(panel.m_btnWindow.m_hWnd, WM_KEYDOWN, vk, 0x00010001);
            ::PostMessageA(panel.m_btnWindow.m_hWnd, WM_KEYUP, vk, 0xC0010001);
        }
        ::PostMessageA(panel.m_barPosition.m_hWnd, WM_KEYDOWN, VK_RIGHT, 0x00010001);
    } else if (g_nTick == 8) {
        g_seen.bAliveAfterKeys = panel.m_hWnd != nullptr && ::IsWindowVisible(panel.m_hWnd);
        g_seen.nPendingAfterKeys = g_deviceLink.m_bWindowPending;
        g_seen.nPositionAfterKeys = g_deviceLink.m_nPosition;
        g_deviceLink.m_bRunning = 1;
        panel.SendMessage(WM_COMMAND, ID_EXIT);
    } else if (g_nTick == 30) {
        g_seen.bAliveWhileRunning = panel.m_hWnd != nullptr;
        g_seen.nClosesWhileRunning = panel.m_nCloses;
        g_seen.nStopRequest = g_deviceLink.m_bStopRequest;
        g_deviceLink.m_bRunning = 0;  // the link thread has ended
    } else if (g_nTick > 250 && panel.m_hWnd != nullptr) {
        panel.EndDialog(-7);  // never closed: end the test's run
    }
}

TEST_F(RemotePanel, ModalExitEndsOnlyOnceTheLinkThreadHasEndedAndKeysDoNothing) {
    m_panel.m_bHideAtStart = FALSE;
    SetMainWnd(&m_panel);
    g_pModal = &m_panel;
    g_nTick = 0;
    g_seen = ModalSeen();
    const UINT_PTR nDriver = ::SetTimer(nullptr, 0, 20, DriveModal);
    const INT_PTR nResult = m_panel.DoModal();
    ::KillTimer(nullptr, nDriver);

    EXPECT_TRUE(g_seen.bAliveAfterKeys);
    EXPECT_EQ(g_seen.nPendingAfterKeys, 0);
    EXPECT_EQ(g_seen.nPositionAfterKeys, 63);
    EXPECT_TRUE(g_seen.bAliveWhileRunning);
    EXPECT_GE(g_seen.nClosesWhileRunning, 2);
    EXPECT_EQ(g_seen.nStopRequest, 1);
    EXPECT_EQ(nResult, IDCANCEL);
    EXPECT_TRUE(m_panel.m_bExiting);
    EXPECT_EQ(m_panel.m_hWnd, nullptr);
    EXPECT_EQ(CountDefaultsTaken(), 0);
    DWORD nLeft = 0;
    EXPECT_TRUE(ReadStored("nWindowLeft", nLeft));
}

}  // namespace
