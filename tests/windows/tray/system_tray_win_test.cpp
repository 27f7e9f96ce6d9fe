// The tray icon under wine, against the real shell of the test prefix's
// virtual desktop: what is sent to the shell and what the shell then holds,
// the callbacks and the commands they post to the main window, the popup
// menu 130 of the program's resources as it is tracked, re-adding after the
// taskbar is created anew or the work area changes, and removal.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "resource.h"
#include "tray/system_tray.h"
#include "window_checks.h"

namespace {

constexpr UINT kCallback = WM_APP + 10;
constexpr UINT kOtherIconId = 999;  // no menu resource of that id
const char kTip[] = "QRV Remote - Right click on me!";
constexpr UINT WM_SENTINEL = WM_APP + 77;

HICON ProgramIcon() {
    return ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_TAVREL_REMOTE));
}

// What the shell holds, asked behind the object's back.
bool ShellHasIcon(HWND hWnd, UINT uID) {
    NOTIFYICONDATAA nid = {};
    nid.cbSize = sizeof nid;
    nid.hWnd = hWnd;
    nid.uID = uID;
    return ::Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
}

bool ShellDelete(HWND hWnd, UINT uID) {
    NOTIFYICONDATAA nid = {};
    nid.cbSize = sizeof nid;
    nid.hWnd = hWnd;
    nid.uID = uID;
    return ::Shell_NotifyIconA(NIM_DELETE, &nid) != FALSE;
}

// The tray icon with every request to the shell noted (and still made), and
// the popup menu looked at before it is shown.
class TestTray : public CSystemTray {
  public:
    struct Call {
        DWORD dwMessage;
        NOTIFYICONDATAA nid;
        BOOL bResult;
    };
    std::vector<Call> m_calls;
    int m_nPrepared = 0;
    std::function<void(HMENU)> m_onPrepare;
    std::vector<UINT> m_mouse;  // the mouse messages of the callbacks for this icon

    const NOTIFYICONDATAA& Record() const { return m_nid; }
    bool Hidden() const { return m_bIconHidden != FALSE; }
    bool Removed() const { return m_bIconRemoved != FALSE; }
    bool Pending() const { return m_bAddPending != FALSE; }
    // The hidden window's handle, also when the record names a parent.
    HWND Hwnd() const { return m_hWnd; }

    BOOL CreateForProgram(UINT uID = IDR_TRAY_MENU, CWnd* pParent = nullptr) {
        return CreateTrayIcon(pParent, kCallback, kTip, ProgramIcon(), uID, FALSE, nullptr, nullptr,
                              0, 10);
    }
    LRESULT Notify(WPARAM wParam, LPARAM lParam) {
        return ::SendMessageA(m_hWnd, kCallback, wParam, lParam);
    }

    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam) override {
        if (wParam == m_nid.uID) {
            m_mouse.push_back(LOWORD(lParam));
        }
        return CSystemTray::OnTrayNotify(wParam, lParam);
    }
    bool Got(UINT uMouse) const {
        for (UINT u : m_mouse) {
            if (u == uMouse) {
                return true;
            }
        }
        return false;
    }

  protected:
    BOOL NotifyShell(DWORD dwMessage) override {
        const BOOL bResult = CSystemTray::NotifyShell(dwMessage);
        m_calls.push_back({dwMessage, m_nid, bResult});
        return bResult;
    }
    void OnPrepareMenu(HMENU hPopup) override {
        ++m_nPrepared;
        if (m_onPrepare) {
            m_onPrepare(hPopup);
        }
    }
};

// The application's main window: a visible top-level window that notes the
// commands and null messages it gets.
class MainWindow : public CWnd {
  public:
    std::vector<std::pair<WPARAM, LPARAM>> m_commands;
    int m_nNulls = 0;
    bool m_bSentinel = false;

    MainWindow() {
        CreateEx(0, RegisterWndClass(0), "tray test main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 500,
                 100, 300, 200, nullptr, nullptr);
        SetMainWnd(this);
    }
    ~MainWindow() override { DestroyWindow(); }

    // Waits until everything posted here so far has arrived.
    bool Drain() {
        m_bSentinel = false;
        PostMessage(WM_SENTINEL);
        return WaitFor([&] { return m_bSentinel; });
    }

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_COMMAND:
                m_commands.emplace_back(wParam, lParam);
                return 0;
            case WM_NULL:
                ++m_nNulls;
                return 0;
            case WM_SENTINEL:
                m_bSentinel = true;
                return 0;
            default:
                return CWnd::WindowProc(message, wParam, lParam);
        }
    }
};

class SystemTray : public ::testing::Test {
  protected:
    void TearDown() override { SetMainWnd(nullptr); }
};

// ---- adding and removing ----------------------------------------------------

TEST_F(SystemTray, AddsOneIconWithTheProgramsValuesOnAHiddenWindow) {
    TestTray tray;
    ASSERT_TRUE(tray.CreateForProgram());

    HWND hWnd = tray.Hwnd();
    ASSERT_TRUE(::IsWindow(hWnd));
    EXPECT_EQ(CWnd::FromHandle(hWnd), &tray);
    EXPECT_FALSE(::IsWindowVisible(hWnd));
    EXPECT_EQ(static_cast<DWORD>(::GetWindowLongA(hWnd, GWL_STYLE)) & ~WS_CLIPSIBLINGS,
              static_cast<DWORD>(WS_POPUP));
    EXPECT_EQ(::GetAncestor(hWnd, GA_PARENT), ::GetDesktopWindow()) << "a top-level window";

    ASSERT_EQ(tray.m_calls.size(), 1u);
    const TestTray::Call& add = tray.m_calls[0];
    EXPECT_EQ(add.dwMessage, static_cast<DWORD>(NIM_ADD));
    EXPECT_TRUE(add.bResult);
    EXPECT_EQ(add.nid.uFlags, 7u);
    EXPECT_EQ(add.nid.hWnd, hWnd);
    EXPECT_EQ(add.nid.uID, 130u);
    EXPECT_EQ(add.nid.uCallbackMessage, 32778u);
    EXPECT_STREQ(add.nid.szTip, kTip);
    EXPECT_EQ(add.nid.hIcon, ProgramIcon());
    // The balloon form of the record, as wide as this platform's handles make it.
    EXPECT_EQ(add.nid.cbSize, offsetof(NOTIFYICONDATAA, guidItem));

    EXPECT_FALSE(tray.Hidden());
    EXPECT_FALSE(tray.Removed());
    EXPECT_FALSE(tray.Pending());
    EXPECT_TRUE(ShellHasIcon(hWnd, 130));
    EXPECT_FALSE(ShellHasIcon(hWnd, 131));
}

TEST_F(SystemTray, DestructionDeletesTheIconAndTheWindowOnce) {
    HWND hWnd = nullptr;
    {
        TestTray tray;
        ASSERT_TRUE(tray.CreateForProgram());
        hWnd = tray.Hwnd();

        EXPECT_TRUE(tray.RemoveTrayIcon());
        ASSERT_EQ(tray.m_calls.size(), 2u);
        EXPECT_EQ(tray.m_calls[1].dwMessage, static_cast<DWORD>(NIM_DELETE));
        EXPECT_TRUE(tray.m_calls[1].bResult);
        EXPECT_FALSE(ShellHasIcon(hWnd, 130));
        EXPECT_TRUE(tray.Hidden());
        EXPECT_TRUE(tray.Removed());

        EXPECT_TRUE(tray.RemoveTrayIcon()) << "gone already";
        EXPECT_EQ(tray.m_calls.size(), 2u) << "the shell is not asked again";
    }
    EXPECT_FALSE(::IsWindow(hWnd));

    {
        TestTray tray;
        ASSERT_TRUE(tray.CreateForProgram());
        hWnd = tray.Hwnd();
    }
    EXPECT_FALSE(::IsWindow(hWnd));
    EXPECT_FALSE(ShellHasIcon(hWnd, 130));
    EXPECT_FALSE(ShellDelete(hWnd, 130)) << "the destructor deleted it";
}

TEST_F(SystemTray, ALongTipIsCutTo127Characters) {
    const std::string tip(200, 'x');
    TestTray tray;
    ASSERT_TRUE(tray.CreateTrayIcon(nullptr, kCallback, tip.c_str(), ProgramIcon(), 130));
    EXPECT_EQ(std::string(tray.m_calls.at(0).nid.szTip), tip.substr(0, 127));
}

TEST_F(SystemTray, ABalloonGoesWithTheFirstAddOnly) {
    TestTray tray;
    ASSERT_TRUE(tray.CreateTrayIcon(nullptr, kCallback, kTip, ProgramIcon(), 130, FALSE,
                                    "balloon text", nullptr, NIIF_INFO, 3));
    const NOTIFYICONDATAA& sent = tray.m_calls.at(0).nid;
    EXPECT_EQ(sent.uFlags, 7u | NIF_INFO);
    EXPECT_STREQ(sent.szInfo, "balloon text");
    EXPECT_STREQ(sent.szInfoTitle, "");
    EXPECT_EQ(sent.uTimeout, 3000u);
    EXPECT_EQ(sent.dwInfoFlags, static_cast<DWORD>(NIIF_INFO));
    EXPECT_STREQ(tray.Record().szInfo, "") << "not shown again by later requests";
}

TEST_F(SystemTray, AFailedAddLeavesTheIconAbsentForGood) {
    TestTray first;
    ASSERT_TRUE(first.CreateForProgram());
    // A second icon of the same window and id: the shell refuses it.
    TestTray second;
    EXPECT_FALSE(second.CreateForProgram(IDR_TRAY_MENU, &first));
    EXPECT_EQ(second.Record().hWnd, first.Hwnd()) << "the parent receives the callbacks";
    EXPECT_TRUE(second.Hidden());
    EXPECT_TRUE(second.Removed());
    EXPECT_TRUE(second.Pending());

    ::SendMessageA(second.Hwnd(), ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    ::SendMessageA(second.Hwnd(), WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    EXPECT_EQ(second.m_calls.size(), 1u) << "a hidden icon is never retried";
    EXPECT_TRUE(second.RemoveTrayIcon());
    EXPECT_EQ(second.m_calls.size(), 1u) << "nothing of its own to delete";
    EXPECT_TRUE(ShellHasIcon(first.Hwnd(), 130)) << "the first icon is untouched";
}

// ---- the taskbar created anew, the work area changed ------------------------

TEST_F(SystemTray, ANewTaskbarGetsTheIconAgain) {
    TestTray tray;
    ASSERT_TRUE(tray.CreateForProgram());
    HWND hWnd = tray.Hwnd();
    // The shell forgets the icon, as a re-created taskbar has.
    ASSERT_TRUE(ShellDelete(hWnd, 130));
    ASSERT_FALSE(ShellHasIcon(hWnd, 130));

    const UINT uTaskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
    EXPECT_EQ(::SendMessageA(hWnd, uTaskbarCreated, 0, 0), 0);
    ASSERT_EQ(tray.m_calls.size(), 2u);
    const TestTray::Call& add = tray.m_calls[1];
    EXPECT_EQ(add.dwMessage, static_cast<DWORD>(NIM_ADD));
    EXPECT_TRUE(add.bResult);
    EXPECT_EQ(add.nid.uFlags, 7u);
    EXPECT_EQ(add.nid.uID, 130u);
    EXPECT_EQ(add.nid.uCallbackMessage, kCallback);
    EXPECT_STREQ(add.nid.szTip, kTip);
    EXPECT_EQ(add.nid.hIcon, ProgramIcon());
    EXPECT_TRUE(ShellHasIcon(hWnd, 130));
    EXPECT_FALSE(tray.Hidden());
    EXPECT_FALSE(tray.Pending());

    // A removed icon stays removed.
    ASSERT_TRUE(tray.RemoveTrayIcon());
    const size_t nCalls = tray.m_calls.size();
    ::SendMessageA(hWnd, uTaskbarCreated, 0, 0);
    EXPECT_EQ(tray.m_calls.size(), nCalls);
    EXPECT_FALSE(ShellHasIcon(hWnd, 130));
}

TEST_F(SystemTray, AWorkAreaChangeAddsAShownIconAndLeavesAHiddenOne) {
    TestTray tray;
    ASSERT_TRUE(tray.CreateForProgram());
    HWND hWnd = tray.Hwnd();

    ::SendMessageA(hWnd, WM_SETTINGCHANGE, SPI_SETDESKWALLPAPER, 0);
    EXPECT_EQ(tray.m_calls.size(), 1u) << "other settings are not acted on";

    ::SendMessageA(hWnd, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    ASSERT_GE(tray.m_calls.size(), 2u);
    const TestTray::Call& add = tray.m_calls[1];
    EXPECT_EQ(add.dwMessage, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.nid.uFlags, 7u);
    // The icon is still there, so the shell may refuse the add; the icon is
    // then found in place and stays shown.
    if (!add.bResult) {
        ASSERT_EQ(tray.m_calls.size(), 3u);
        EXPECT_EQ(tray.m_calls[2].dwMessage, static_cast<DWORD>(NIM_MODIFY));
        EXPECT_TRUE(tray.m_calls[2].bResult);
    }
    EXPECT_FALSE(tray.Hidden());
    EXPECT_FALSE(tray.Pending());
    EXPECT_TRUE(ShellHasIcon(hWnd, 130));

    // A taskbar created anew afterwards still gets the icon back.
    ASSERT_TRUE(ShellDelete(hWnd, 130));
    ::SendMessageA(hWnd, ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(ShellHasIcon(hWnd, 130));
    EXPECT_FALSE(tray.Hidden());

    ASSERT_TRUE(tray.RemoveTrayIcon());
    const size_t nCalls = tray.m_calls.size();
    ::SendMessageA(hWnd, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    EXPECT_EQ(tray.m_calls.size(), nCalls);
    EXPECT_FALSE(tray.Pending());
}

TEST_F(SystemTray, ANewIconIsShownAtOnceOrKeptWhileHidden) {
    TestTray tray;
    ASSERT_TRUE(tray.CreateForProgram());
    HICON hOther = ::LoadIconA(nullptr, MAKEINTRESOURCEA(32516));  // IDI_INFORMATION
    ASSERT_NE(hOther, nullptr);

    EXPECT_TRUE(tray.ChangeTrayIcon(hOther));
    ASSERT_EQ(tray.m_calls.size(), 2u);
    EXPECT_EQ(tray.m_calls[1].dwMessage, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(tray.m_calls[1].nid.uFlags, static_cast<UINT>(NIF_ICON));
    EXPECT_EQ(tray.m_calls[1].nid.hIcon, hOther);

    ASSERT_TRUE(tray.RemoveTrayIcon());
    EXPECT_TRUE(tray.ChangeTrayIcon(ProgramIcon()));
    EXPECT_EQ(tray.m_calls.size(), 3u) << "no request for a hidden icon";
    EXPECT_EQ(tray.Record().hIcon, ProgramIcon());
}

// ---- the callbacks ------------------------------------------------------------

TEST_F(SystemTray, ADoubleClickPostsTheDefaultCommandToTheMainWindow) {
    MainWindow main;
    TestTray tray;
    ASSERT_TRUE(tray.CreateForProgram());
    EXPECT_TRUE(tray.SetDefaultItem(ID_MAXIMIZE, FALSE));
    ::SetForegroundWindow(tray.Hwnd());

    EXPECT_EQ(tray.Notify(130, WM_LBUTTONDBLCLK), 1);
    ASSERT_TRUE(main.Drain());
    ASSERT_EQ(main.m_commands.size(), 1u);
    EXPECT_EQ(main.m_commands[0].first, 32780u);
    EXPECT_EQ(main.m_commands[0].second, 0);
    EXPECT_EQ(::GetForegroundWindow(), main.m_hWnd);
    EXPECT_EQ(tray.m_nPrepared, 0) << "no menu for a double click";

    // By position, the command is the item's at that position.
    main.m_commands.clear();
    EXPECT_TRUE(tray.SetDefaultItem(0, TRUE));
    EXPECT_EQ(tray.Notify(130, WM_LBUTTONDBLCLK), 1);
    ASSERT_TRUE(main.Drain());
    ASSERT_EQ(main.m_commands.size(), 1u);
    EXPECT_EQ(main.m_commands[0].first, static_cast<WPARAM>(ID_ABOUT));
}

TEST_F(SystemTray, OtherMouseMessagesAndOtherIconsDoNothing) {
    MainWindow main;
    TestTray tray;
    ASSERT_TRUE(tray.CreateForProgram());
    tray.SetDefaultItem(ID_MAXIMIZE, FALSE);

    for (LPARAM mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEMOVE, WM_RBUTTONDOWN,
                         WM_RBUTTONDBLCLK, WM_MBUTTONUP}) {
        EXPECT_EQ(tray.Notify(130, mouse), 1) << mouse;
    }
    EXPECT_EQ(tray.Notify(131, WM_LBUTTONDBLCLK), 0);
    EXPECT_EQ(tray.Notify(131, WM_RBUTTONUP), 0);
    ASSERT_TRUE(main.Drain());
    EXPECT_TRUE(main.m_commands.empty());
    EXPECT_EQ(main.m_nNulls, 0);
    EXPECT_EQ(tray.m_nPrepared, 0);
}

TEST_F(SystemTray, WithoutAMainWindowCallbacksAreIgnored) {
    TestTray tray;
    ASSERT_TRUE(tray.CreateForProgram());
    tray.SetDefaultItem(ID_MAXIMIZE, FALSE);
    EXPECT_EQ(GetMainWnd(), nullptr);
    EXPECT_EQ(tray.Notify(130, WM_LBUTTONDBLCLK), 0);
    EXPECT_EQ(tray.Notify(130, WM_RBUTTONUP), 0);
    EXPECT_EQ(tray.m_nPrepared, 0);
}

TEST_F(SystemTray, AnIconWithoutAMenuKeepsItsDefaultButShowsNoMenu) {
    MainWindow main;
    TestTray tray;
    ASSERT_TRUE(tray.CreateForProgram(kOtherIconId));
    EXPECT_FALSE(tray.SetDefaultItem(ID_MINIMIZE, FALSE));
    EXPECT_TRUE(tray.SetDefaultItem(ID_MINIMIZE, FALSE)) << "the same values again";

    EXPECT_EQ(tray.Notify(kOtherIconId, WM_RBUTTONUP), 0);
    EXPECT_EQ(tray.Notify(kOtherIconId, WM_LBUTTONDBLCLK), 1);
    ASSERT_TRUE(main.Drain());
    EXPECT_EQ(tray.m_nPrepared, 0);
    EXPECT_EQ(main.m_nNulls, 0);
    ASSERT_EQ(main.m_commands.size(), 1u) << "the kept default";
    EXPECT_EQ(main.m_commands[0].first, static_cast<WPARAM>(ID_MINIMIZE));
}

// ---- the popup menu -------------------------------------------------------------

// The popup menu window now shown by this thread, or null.
HWND ShownMenuWindow() {
    HWND hMenuWnd = ::FindWindowA("#32768", nullptr);
    return hMenuWnd != nullptr && ::IsWindowVisible(hMenuWnd) ? hMenuWnd : nullptr;
}

// Runs while TrackPopupMenu tracks: a thread timer looks at the shown menu
// once it is up, then lets act() end the tracking.
struct MenuWatch {
    static MenuWatch* s_pCurrent;
    std::function<void(HWND hMenuWnd, HMENU hMenu)> act;
    bool bSeen = false;
    UINT_PTR nTimer = 0;
    DWORD dwStart = 0;

    explicit MenuWatch(std::function<void(HWND, HMENU)> fn) : act(std::move(fn)) {
        s_pCurrent = this;
    }
    ~MenuWatch() {
        Stop();
        s_pCurrent = nullptr;
    }
    void Start() {
        dwStart = ::GetTickCount();
        nTimer = ::SetTimer(nullptr, 0, 20, &MenuWatch::Tick);
    }
    void Stop() {
        if (nTimer != 0) {
            ::KillTimer(nullptr, nTimer);
            nTimer = 0;
        }
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        MenuWatch* pWatch = s_pCurrent;
        if (pWatch == nullptr || pWatch->bSeen) {
            return;
        }
        HWND hMenuWnd = ShownMenuWindow();
        if (hMenuWnd != nullptr) {
            pWatch->bSeen = true;
            pWatch->Stop();
            pWatch->act(hMenuWnd,
                        reinterpret_cast<HMENU>(::SendMessageA(hMenuWnd, MN_GETHMENU, 0, 0)));
        } else if (::GetTickCount() - pWatch->dwStart > 10000) {
            pWatch->Stop();
            ::EndMenu();  // never shown: do not hang the test
        }
    }
};
MenuWatch* MenuWatch::s_pCurrent = nullptr;

std::string ItemText(HMENU hMenu, int nPos) {
    char text[64] = {};
    ::GetMenuStringA(hMenu, static_cast<UINT>(nPos), text, sizeof text, MF_BYPOSITION);
    return text;
}

TEST_F(SystemTray, ARightClickTracksMenu130AtTheCursorWithMaximizeAsDefault) {
    MainWindow main;
    TestTray tray;
    ASSERT_TRUE(tray.CreateForProgram());
    EXPECT_TRUE(tray.SetDefaultItem(ID_MAXIMIZE, FALSE));
    ::SetCursorPos(300, 400);

    UINT uDefaultPrepared = 0;
    tray.m_onPrepare = [&](HMENU hPopup) { uDefaultPrepared = ::GetMenuDefaultItem(hPopup, 0, 0); };
    UINT uDefaultShown = 0;
    int nItems = 0;
    std::vector<std::string> texts;
    RECT rcMenu = {};
    HWND hForeground = nullptr;
    MenuWatch watch([&](HWND hMenuWnd, HMENU hMenu) {
        uDefaultShown = ::GetMenuDefaultItem(hMenu, 0, 0);
        nItems = ::GetMenuItemCount(hMenu);
        for (int i = 0; i < nItems; ++i) {
            texts.push_back(ItemText(hMenu, i));
        }
        ::GetWindowRect(hMenuWnd, &rcMenu);
        hForeground = ::GetForegroundWindow();
        ::EndMenu();
    });
    watch.Start();
    EXPECT_EQ(tray.Notify(130, WM_RBUTTONUP), 1);
    ASSERT_TRUE(watch.bSeen) << "no menu was shown";

    EXPECT_EQ(tray.m_nPrepared, 1);
    EXPECT_EQ(uDefaultPrepared, 32780u);
    EXPECT_EQ(uDefaultShown, 32780u) << "Maximize is drawn as the default";
    EXPECT_EQ(texts, (std::vector<std::string>{"About Tavrel Plus Remote...", "", "Maximize",
                                               "Minimize", "Hot Keys...", "", "Exit"}));
    EXPECT_EQ(rcMenu.left, 300);
    EXPECT_EQ(rcMenu.top, 400);
    EXPECT_EQ(hForeground, main.m_hWnd);

    // Closed without a choice: no command, and the main window is woken.
    ASSERT_TRUE(WaitFor([&] { return main.m_nNulls == 1; }));
    ASSERT_TRUE(main.Drain());
    EXPECT_TRUE(main.m_commands.empty());
    EXPECT_EQ(ShownMenuWindow(), nullptr);
}

TEST_F(SystemTray, AnItemClickedInTheMenuReachesTheMainWindow) {
    MainWindow main;
    TestTray tray;
    ASSERT_TRUE(tray.CreateForProgram());
    tray.SetDefaultItem(ID_MAXIMIZE, FALSE);
    ::SetCursorPos(300, 400);

    MenuWatch watch([&](HWND, HMENU hMenu) {
        // A real click on "Minimize" (position 3).
        RECT rcItem = {};
        if (!::GetMenuItemRect(nullptr, hMenu, 3, &rcItem)) {
            ::EndMenu();
            return;
        }
        ::SetCursorPos((rcItem.left + rcItem.right) / 2, (rcItem.top + rcItem.bottom) / 2);
        INPUT clicks[2] = {};
        clicks[0].type = INPUT_MOUSE;
        clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        clicks[1].type = INPUT_MOUSE;
        clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        ::SendInput(2, clicks, sizeof clicks[0]);
    });
    watch.Start();
    EXPECT_EQ(tray.Notify(130, WM_RBUTTONUP), 1);
    ASSERT_TRUE(watch.bSeen);

    ASSERT_TRUE(WaitFor([&] { return !main.m_commands.empty() && main.m_nNulls == 1; }));
    ASSERT_TRUE(main.Drain());
    ASSERT_EQ(main.m_commands.size(), 1u);
    EXPECT_EQ(LOWORD(main.m_commands[0].first), ID_MINIMIZE);
    EXPECT_EQ(main.m_commands[0].second, 0) << "a menu command, not a control's";
}

// ---- the icon on the taskbar, used with the mouse ------------------------------

// The columns of the notification area where something is drawn on the
// taskbar's background (each row's colour at the area's left end): the
// icons. Empty (left >= right) when there is none.
RECT IconColumns(HWND hTaskbar, const ClientPixels& shot) {
    const int nLeft = NotificationAreaLeft(hTaskbar) + 2;
    RECT rc = {shot.Width(), 0, 0, shot.Height()};
    for (int x = nLeft; x < shot.Width(); ++x) {
        int nInk = 0;
        for (int y = 0; y < shot.Height(); ++y) {
            nInk += shot.At(x, y) != shot.At(nLeft, y) ? 1 : 0;
        }
        if (nInk >= 3) {
            rc.left = x < rc.left ? x : rc.left;
            rc.right = x + 1;
        }
    }
    return rc;
}

void Mouse(DWORD dwFlags) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = dwFlags;
    ::SendInput(1, &input, sizeof input);
}

TEST_F(SystemTray, TheIconOnTheTaskbarAnswersTheMouse) {
    HWND hTaskbar = ::FindWindowA("Shell_TrayWnd", nullptr);
    ASSERT_NE(hTaskbar, nullptr) << "the test desktop has no taskbar";
    ::SetCursorPos(10, 10);
    MainWindow main;
    TestTray tray;
    ASSERT_TRUE(tray.CreateForProgram());
    tray.SetDefaultItem(ID_MAXIMIZE, FALSE);
    // The taskbar shows once there is an icon; ours is the only one.
    RECT rcIcon = {};
    ASSERT_TRUE(WaitFor([&] {
        if (!::IsWindowVisible(hTaskbar)) {
            return false;
        }
        rcIcon = IconColumns(hTaskbar, ClientPixels(hTaskbar));
        return rcIcon.left < rcIcon.right;
    })) << "the icon never showed on the taskbar";
    POINT pt = {(rcIcon.left + rcIcon.right) / 2, (rcIcon.top + rcIcon.bottom) / 2};
    ::ClientToScreen(hTaskbar, &pt);

    // Pointing at it: the shell reports the move for icon 130.
    ::SetCursorPos(pt.x, pt.y);
    Mouse(MOUSEEVENTF_MOVE);
    ASSERT_TRUE(WaitFor([&] { return tray.Got(WM_MOUSEMOVE); }));

    // A double click runs Maximize.
    Mouse(MOUSEEVENTF_LEFTDOWN);
    Mouse(MOUSEEVENTF_LEFTUP);
    Mouse(MOUSEEVENTF_LEFTDOWN);
    Mouse(MOUSEEVENTF_LEFTUP);
    ASSERT_TRUE(WaitFor([&] { return !main.m_commands.empty(); }));
    EXPECT_TRUE(tray.Got(WM_LBUTTONDBLCLK));
    EXPECT_EQ(main.m_commands[0].first, 32780u);
    EXPECT_EQ(main.m_commands[0].second, 0);

    // A right click opens menu 130 beside the icon.
    UINT uDefault = 0;
    int nItems = 0;
    MenuWatch watch([&](HWND, HMENU hMenu) {
        uDefault = ::GetMenuDefaultItem(hMenu, 0, 0);
        nItems = ::GetMenuItemCount(hMenu);
        ::EndMenu();
    });
    watch.Start();
    Mouse(MOUSEEVENTF_RIGHTDOWN);
    Mouse(MOUSEEVENTF_RIGHTUP);
    ASSERT_TRUE(WaitFor([&] { return main.m_nNulls == 1; })) << "no menu came and went";
    EXPECT_TRUE(watch.bSeen);
    EXPECT_EQ(uDefault, 32780u);
    EXPECT_EQ(nItems, 7);
    ::SetCursorPos(10, 10);
}

}  // namespace
