// The hover button in a visible test dialog under Wine: its faces and frames
// read back as pixels, hover and double clicks made by real input, the rest
// driven by messages.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "button_test_ids.h"
#include "controls/hover_button.h"
#include "framework/dialog.h"
#include "framework/gdi.h"
#include "pixels.h"
#include "resource.h"

namespace {

constexpr COLORREF kFace = RGB(255, 255, 160);       // index 2
constexpr COLORREF kFaceHot = RGB(255, 255, 200);    // index 0
constexpr COLORREF kFaceFocus = RGB(200, 255, 160);  // index 4

// The button's state, read from outside.
class ProbeButton : public CHoverButton {
  public:
    bool Hovered() const { return m_bHover != FALSE; }
    bool IsDefault() const { return m_bDefault != FALSE; }
    bool IsCheckBox() const { return m_bCheckBox != FALSE; }
    COLORREF Color(int nIndex) const { return m_colors[nIndex]; }
    POINT PressedShift() const { return m_ptPressedShift; }
    HWND ToolTip() const { return m_toolTip; }
    std::string Link() const { return std::string(m_szLink, strnlen(m_szLink, sizeof m_szLink)); }
    size_t LinkCapacity() const { return sizeof m_szLink; }
};

class ButtonDialog : public CDialog {
  public:
    explicit ButtonDialog(UINT nId) : CDialog(nId) {}

    ProbeButton m_btnWindow;
    ProbeButton m_btnLines;
    ProbeButton m_btnWide;
    ProbeButton m_btnDefault;
    ProbeButton m_btnCheck;
    std::map<int, int> m_clicks;  // BN_CLICKED seen here, by control id
    int m_nDoubleClicks = 0;
    int m_nDialogFocused = 0;  // WM_SETFOCUS on the dialog itself

  protected:
    void DoDataExchange() override {
        // The lone dialog has only the first of them.
        BindControl(IDC_WINDOW, m_btnWindow);
        BindControl(IDC_LINES, m_btnLines);
        BindControl(IDC_WIDE, m_btnWide);
        BindControl(IDC_DEFAULT, m_btnDefault);
        BindControl(IDC_CHECK, m_btnCheck);
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_COMMAND && lParam != 0) {
            if (HIWORD(wParam) == BN_CLICKED) {
                ++m_clicks[LOWORD(wParam)];
                return 0;
            }
            if (HIWORD(wParam) == BN_DOUBLECLICKED) {
                ++m_nDoubleClicks;
                return 0;
            }
        }
        if (message == WM_SETFOCUS) {
            ++m_nDialogFocused;
        }
        return CDialog::WindowProc(message, wParam, lParam);
    }
};

// Runs the thread's messages the way the layer's modal loop does (the
// pre-translation chain first) until done() holds or the deadline passes.
bool PumpUntil(HWND hDialog, const std::function<bool()>& done, DWORD dwTimeoutMs = 5000) {
    const DWORD dwStart = ::GetTickCount();
    MSG msg;
    while (!done()) {
        if (::GetTickCount() - dwStart > dwTimeoutMs) {
            return done();
        }
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (PreTranslateChain(&msg, hDialog)) {
                continue;
            }
            if (!::IsDialogMessageA(hDialog, &msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

POINT CentreOf(HWND hWnd) {
    RECT rc = {};
    ::GetWindowRect(hWnd, &rc);
    return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

// Puts the real pointer at pt and has the system report a move there.
void MovePointer(POINT pt) {
    ::SetCursorPos(pt.x, pt.y);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE;  // no distance: a move where it is
    ::SendInput(1, &input, sizeof input);
}

void ParkPointer() {
    MovePointer({::GetSystemMetrics(SM_CXSCREEN) - 2, ::GetSystemMetrics(SM_CYSCREEN) - 2});
}

LPARAM ClientPoint(HWND hWnd) {
    RECT rc = {};
    ::GetClientRect(hWnd, &rc);
    return MAKELPARAM(rc.right / 2, rc.bottom / 2);
}

// The text of the button's tool in its tooltip.
std::string TipText(const ProbeButton& b) {
    char text[80] = {};
    TTTOOLINFOA info = {};
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.hwnd = b.m_hWnd;
    info.uId = 1;
    info.lpszText = text;
    ::SendMessageA(b.ToolTip(), TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&info));
    return text;
}

enum class Frame { None, Raised, Sunken, Other };

// Which 1-pixel frame the button shows, from the middles of its four edges.
Frame FrameOf(const ClientPixels& px) {
    const int w = px.Width();
    const int h = px.Height();
    const COLORREF crTop = px.At(w / 2, 0);
    const COLORREF crLeft = px.At(0, h / 2);
    const COLORREF crBottom = px.At(w / 2, h - 1);
    const COLORREF crRight = px.At(w - 1, h / 2);
    const COLORREF crFace = px.At(3, 3);
    const COLORREF crLight = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF crShadow = ::GetSysColor(COLOR_BTNSHADOW);
    if (crTop == crFace && crLeft == crFace && crBottom == crFace && crRight == crFace) {
        return Frame::None;
    }
    if (crTop == crLight && crLeft == crLight && crBottom == crShadow && crRight == crShadow) {
        return Frame::Raised;
    }
    if (crTop == crShadow && crLeft == crShadow && crBottom == crLight && crRight == crLight) {
        return Frame::Sunken;
    }
    return Frame::Other;
}

// The box of the caption's pixels: everything inside the frame that is not
// the face colour.
RECT CaptionBox(const ClientPixels& px) {
    const COLORREF crFace = px.At(3, 3);
    RECT box = {px.Width(), px.Height(), -1, -1};
    for (int y = 2; y < px.Height() - 2; ++y) {
        for (int x = 2; x < px.Width() - 2; ++x) {
            if (px.At(x, y) != crFace) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
        }
    }
    return box;
}

::testing::AssertionResult Shifted(const RECT& from, const RECT& to, int dx, int dy) {
    if (from.right <= from.left) {
        return ::testing::AssertionFailure() << "no caption pixels";
    }
    if (to.left - from.left == dx && to.top - from.top == dy && to.right - from.right == dx &&
        to.bottom - from.bottom == dy) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "caption moved from (" << from.left << "," << from.top << ")-(" << from.right << ","
           << from.bottom << ") to (" << to.left << "," << to.top << ")-(" << to.right << ","
           << to.bottom << "), wanted a move by (" << dx << "," << dy << ")";
}

class HoverButtonTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
    }

    void SetUp() override { ParkPointer(); }
    void TearDown() override {
        if (m_pDialog) {
            m_pDialog->DestroyWindow();
            m_pDialog.reset();
        }
        ParkPointer();
    }

    // Shows a test dialog with its hover buttons in the panel's colours and
    // caption font, and waits until it is on screen.
    ButtonDialog& Show(UINT nTemplate = IDD_BUTTONS) {
        m_pDialog = std::make_unique<ButtonDialog>(nTemplate);
        EXPECT_TRUE(m_pDialog->Create());
        HWND hDialog = m_pDialog->m_hWnd;
        ::SetWindowPos(hDialog, HWND_TOP, 60, 60, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        ::SetForegroundWindow(hDialog);
        LOGFONTA lf = {};
        lf.lfHeight = -16;
        lf.lfWeight = FW_BOLD;
        lf.lfQuality = PROOF_QUALITY;
        lstrcpyA(lf.lfFaceName, "Arial");
        m_font.CreateFontIndirect(lf);
        for (ProbeButton* pButton :
             {&m_pDialog->m_btnWindow, &m_pDialog->m_btnLines, &m_pDialog->m_btnWide,
              &m_pDialog->m_btnDefault, &m_pDialog->m_btnCheck}) {
            if (pButton->m_hWnd != nullptr) {
                pButton->SetStateColor(2, kFace);
                pButton->SetStateColor(4, kFaceFocus);
                pButton->SetStateColor(0, kFaceHot);
                pButton->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), TRUE);
            }
        }
        EXPECT_TRUE(Pump([&] { return ::IsWindowVisible(hDialog) != FALSE; }));
        ::SetFocus(m_pDialog->GetDlgItem(IDC_OTHER));
        Pump([] { return false; }, 100);  // let the first paints land
        // The pointer is parked off the dialog: a move that a previous dialog
        // left queued is followed by the system's leave notice.
        EXPECT_TRUE(Pump(
            [&] { return !m_pDialog->m_btnWindow.Hovered() && !m_pDialog->m_btnLines.Hovered(); }));
        return *m_pDialog;
    }

    bool Pump(const std::function<bool()>& done, DWORD dwTimeoutMs = 5000) {
        return PumpUntil(m_pDialog->m_hWnd, done, dwTimeoutMs);
    }

    // Hovers b by the real pointer and waits for it.
    void HoverByPointer(ProbeButton& b) {
        MovePointer(CentreOf(b.m_hWnd));
        ASSERT_TRUE(Pump([&] { return b.Hovered(); })) << "the pointer over the button";
    }

    std::unique_ptr<ButtonDialog> m_pDialog;
    CFont m_font;
};

TEST_F(HoverButtonTest, AttachingMakesTheControlsOwnerDrawnAndReadsTheirType) {
    ButtonDialog& dlg = Show();
    for (int nId : {IDC_WINDOW, IDC_DEFAULT, IDC_CHECK}) {
        EXPECT_EQ(::GetWindowLongA(dlg.GetDlgItem(nId), GWL_STYLE) & 0x1F, BS_OWNERDRAW) << nId;
        EXPECT_TRUE(::GetWindowLongA(dlg.GetDlgItem(nId), GWL_STYLE) & WS_TABSTOP) << nId;
    }
    EXPECT_FALSE(dlg.m_btnWindow.IsDefault());
    EXPECT_FALSE(dlg.m_btnWindow.IsCheckBox());
    EXPECT_TRUE(dlg.m_btnDefault.IsDefault());
    EXPECT_TRUE(dlg.m_btnCheck.IsCheckBox());

    // Check marks exist in check-box mode only; the reflected click flips them.
    EXPECT_EQ(dlg.m_btnCheck.SendMessage(BM_SETCHECK, BST_INDETERMINATE), 0);
    EXPECT_EQ(dlg.m_btnCheck.SendMessage(BM_GETCHECK), 1);
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_CHECK, BN_CLICKED),
                    reinterpret_cast<LPARAM>(dlg.m_btnCheck.m_hWnd));
    EXPECT_EQ(dlg.m_btnCheck.GetCheckState(), 0);
    dlg.m_btnWindow.SendMessage(BM_SETCHECK, BST_CHECKED);
    EXPECT_EQ(dlg.m_btnWindow.SendMessage(BM_GETCHECK), 0);
}

TEST_F(HoverButtonTest, TheFaceTakesTheColourOfTheState) {
    ButtonDialog& dlg = Show();
    ProbeButton& b = dlg.m_btnWindow;
    {
        ClientPixels px(b.m_hWnd);
        EXPECT_EQ(px.At(3, 3), kFace);
        EXPECT_EQ(FrameOf(px), Frame::None);
    }
    ::SetFocus(b.m_hWnd);
    {
        ClientPixels px(b.m_hWnd);
        EXPECT_EQ(px.At(3, 3), kFaceFocus);
        EXPECT_EQ(FrameOf(px), Frame::None);  // flat buttons draw no focus frame
    }
    HoverByPointer(b);
    {
        ClientPixels px(b.m_hWnd);
        EXPECT_EQ(px.At(3, 3), kFaceHot);
        EXPECT_EQ(FrameOf(px), Frame::Raised);
    }
    // Off the button, the system's leave notice ends the hover.
    ParkPointer();
    ASSERT_TRUE(Pump([&] { return !b.Hovered(); }));
    ClientPixels px(b.m_hWnd);
    EXPECT_EQ(px.At(3, 3), kFaceFocus);
    EXPECT_EQ(FrameOf(px), Frame::None);
}

TEST_F(HoverButtonTest, EveryWayOutOfHoverRemovesTheFrameAtOnce) {
    ButtonDialog& dlg = Show();
    ProbeButton& b = dlg.m_btnLines;
    HoverByPointer(b);
    ASSERT_EQ(FrameOf(ClientPixels(b.m_hWnd)), Frame::Raised);

    const std::pair<const char*, std::function<void()>> ways[] = {
        {"WM_MOUSELEAVE", [&] { b.SendMessage(WM_MOUSELEAVE); }},
        {"focus loss", [&] { ::SetFocus(dlg.GetDlgItem(IDC_OTHER)); }},
        {"WM_CANCELMODE", [&] { b.SendMessage(WM_CANCELMODE); }},
        {"WM_ACTIVATE inactive", [&] { b.SendMessage(WM_ACTIVATE, WA_INACTIVE); }},
        {"disabling", [&] { b.EnableWindow(false); }},
    };
    for (const auto& [pszWay, leave] : ways) {
        SCOPED_TRACE(pszWay);
        ::SetFocus(b.m_hWnd);
        // The pointer is still there: a move hovers again.
        b.SendMessage(WM_MOUSEMOVE, 0, ClientPoint(b.m_hWnd));
        ASSERT_TRUE(b.Hovered());
        leave();
        EXPECT_FALSE(b.Hovered());
        ClientPixels px(b.m_hWnd);
        EXPECT_EQ(FrameOf(px), Frame::None);
        EXPECT_NE(px.At(3, 3), kFaceHot);
    }
    b.EnableWindow(true);
}

TEST_F(HoverButtonTest, APointerThatEntersWithTheButtonHeldDoesNotHover) {
    ButtonDialog& dlg = Show();
    ProbeButton& b = dlg.m_btnWindow;
    HoverByPointer(b);
    b.SendMessage(WM_MOUSELEAVE);
    ASSERT_FALSE(b.Hovered());

    b.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, ClientPoint(b.m_hWnd));
    EXPECT_FALSE(b.Hovered());
    EXPECT_EQ(ClientPixels(b.m_hWnd).At(3, 3), kFace);
    // Released and moved again, it does.
    b.SendMessage(WM_MOUSEMOVE, 0, ClientPoint(b.m_hWnd));
    EXPECT_TRUE(b.Hovered());
    EXPECT_EQ(FrameOf(ClientPixels(b.m_hWnd)), Frame::Raised);
    // Held down once hovering, it stays hovered.
    b.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, ClientPoint(b.m_hWnd));
    EXPECT_TRUE(b.Hovered());
}

TEST_F(HoverButtonTest, PressedShowsASunkenFrameAndTheCaptionShifted) {
    ButtonDialog& dlg = Show();
    ProbeButton& b = dlg.m_btnWindow;
    const RECT rcUp = CaptionBox(ClientPixels(b.m_hWnd));

    b.SendMessage(BM_SETSTATE, TRUE);
    {
        ClientPixels px(b.m_hWnd);
        EXPECT_EQ(px.At(3, 3), kFaceHot);
        EXPECT_EQ(FrameOf(px), Frame::Sunken);
        EXPECT_TRUE(Shifted(rcUp, CaptionBox(px), 1, 1));
    }
    b.SendMessage(BM_SETSTATE, FALSE);
    {
        ClientPixels px(b.m_hWnd);
        EXPECT_EQ(FrameOf(px), Frame::None);
        EXPECT_TRUE(Shifted(rcUp, CaptionBox(px), 0, 0));
    }

    // The other pressed style moves the caption two pixels down; an unknown
    // one is refused and changes nothing.
    EXPECT_EQ(b.SetPressedShift(1, FALSE), 0u);
    EXPECT_EQ(b.SetPressedShift(2, TRUE), 6u);
    EXPECT_EQ(b.PressedShift().x, 0);
    EXPECT_EQ(b.PressedShift().y, 2);
    b.SendMessage(BM_SETSTATE, TRUE);
    EXPECT_TRUE(Shifted(rcUp, CaptionBox(ClientPixels(b.m_hWnd)), 0, 2));
    b.SendMessage(BM_SETSTATE, FALSE);
}

TEST_F(HoverButtonTest, ALongCaptionWrapsAndStaysCentred) {
    ButtonDialog& dlg = Show();
    HWND hWide = dlg.m_btnWide.m_hWnd;
    ClientPixels px(hWide);
    const RECT box = CaptionBox(px);
    ASSERT_LT(box.left, box.right);
    TEXTMETRICA tm = {};
    {
        CClientDC dc(hWide);
        CSelectObject font(dc, m_font.Get());
        ::GetTextMetricsA(dc, &tm);
    }
    EXPECT_GT(box.bottom - box.top, tm.tmHeight) << "more than one line";
    EXPECT_LE(std::abs((box.left - 0) - (px.Width() - box.right)), 2) << "centred across";
    EXPECT_LE(std::abs(box.top - (px.Height() - box.bottom)), tm.tmDescent + 2) << "centred down";
}

TEST_F(HoverButtonTest, ADoubleClickIsTwoClicksForTheParent) {
    ButtonDialog& dlg = Show();
    ProbeButton& b = dlg.m_btnLines;
    HoverByPointer(b);
    INPUT clicks[4] = {};
    const DWORD flags[4] = {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN,
                            MOUSEEVENTF_LEFTUP};
    for (int i = 0; i < 4; ++i) {
        clicks[i].type = INPUT_MOUSE;
        clicks[i].mi.dwFlags = flags[i];
    }
    ASSERT_EQ(::SendInput(4, clicks, sizeof clicks[0]), 4u);
    EXPECT_TRUE(Pump([&] { return dlg.m_clicks[IDC_LINES] >= 2; }))
        << "clicks seen: " << dlg.m_clicks[IDC_LINES] << ", double clicks " << dlg.m_nDoubleClicks;
    EXPECT_EQ(dlg.m_nDoubleClicks, 0);
    EXPECT_EQ(::GetFocus(), b.m_hWnd);
}

TEST_F(HoverButtonTest, AClickTakesTheFocusAndStillReachesTheParent) {
    ButtonDialog& dlg = Show();
    ASSERT_NE(::GetFocus(), dlg.m_btnWindow.m_hWnd);
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_WINDOW, BN_CLICKED),
                    reinterpret_cast<LPARAM>(dlg.m_btnWindow.m_hWnd));
    EXPECT_EQ(dlg.m_clicks[IDC_WINDOW], 1);
    EXPECT_EQ(::GetFocus(), dlg.m_btnWindow.m_hWnd);

    // Its background brush is the hollow one, so nothing is erased under the face.
    CClientDC dc(dlg.m_btnWindow.m_hWnd);
    EXPECT_EQ(dlg.SendMessage(WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(static_cast<HDC>(dc)),
                              reinterpret_cast<LPARAM>(dlg.m_btnWindow.m_hWnd)),
              reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)));
}

TEST_F(HoverButtonTest, TheDefaultStyleMovesButTheControlStaysOwnerDrawn) {
    ButtonDialog& dlg = Show();
    ProbeButton& b = dlg.m_btnWindow;
    EXPECT_EQ(b.SendMessage(WM_GETDLGCODE) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON),
              DLGC_UNDEFPUSHBUTTON);
    EXPECT_EQ(dlg.m_btnDefault.SendMessage(WM_GETDLGCODE) & DLGC_DEFPUSHBUTTON, DLGC_DEFPUSHBUTTON);

    b.SendMessage(BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    EXPECT_EQ(b.GetStyle() & 0x1F, BS_OWNERDRAW);
    EXPECT_EQ(b.SendMessage(WM_GETDLGCODE) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON),
              DLGC_DEFPUSHBUTTON);
    b.SendMessage(BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EXPECT_EQ(b.GetStyle() & 0x1F, BS_OWNERDRAW);
    EXPECT_EQ(b.SendMessage(WM_GETDLGCODE) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON),
              DLGC_UNDEFPUSHBUTTON);
    EXPECT_EQ(ClientPixels(b.m_hWnd).At(3, 3), kFace);  // still painted by the object
}

TEST_F(HoverButtonTest, DisablingMovesTheFocusOnEvenWhenTheButtonHadNone) {
    ButtonDialog& dlg = Show();
    HWND hOther = dlg.GetDlgItem(IDC_OTHER);
    ASSERT_EQ(::GetFocus(), hOther);
    dlg.m_btnWindow.EnableWindow(false);
    EXPECT_EQ(::GetFocus(), dlg.m_btnLines.m_hWnd) << "the next tab stop after the button";

    ::SetFocus(dlg.m_btnDefault.m_hWnd);
    dlg.m_btnDefault.EnableWindow(false);
    EXPECT_EQ(::GetFocus(), dlg.m_btnCheck.m_hWnd);
    dlg.m_btnWindow.EnableWindow(true);
    dlg.m_btnDefault.EnableWindow(true);
}

TEST_F(HoverButtonTest, DisablingTheOnlyTabStopGivesTheFocusToTheDialog) {
    ButtonDialog& dlg = Show(IDD_LONE_BUTTON);
    ::SetFocus(dlg.m_btnWindow.m_hWnd);
    dlg.m_nDialogFocused = 0;
    dlg.m_btnWindow.EnableWindow(false);
    // The dialog gets the focus and may hand it on to a control of its own.
    EXPECT_EQ(dlg.m_nDialogFocused, 1);
    HWND hFocus = ::GetFocus();
    EXPECT_NE(hFocus, dlg.m_btnWindow.m_hWnd);
    EXPECT_TRUE(hFocus == dlg.m_hWnd || ::IsChild(dlg.m_hWnd, hFocus));
}

TEST_F(HoverButtonTest, ASystemColourChangeBringsBackTheSystemColours) {
    ButtonDialog& dlg = Show();
    ProbeButton& b = dlg.m_btnWindow;
    // Out-of-range indexes are refused and change nothing.
    EXPECT_EQ(b.SetStateColor(6, RGB(1, 2, 3)), 3u);
    EXPECT_EQ(b.SetStateColor(255, RGB(1, 2, 3)), 3u);
    EXPECT_EQ(b.SetStateColor(5, RGB(0, 0, 255)), 0u);
    const COLORREF expected[6] = {kFaceHot,   ::GetSysColor(COLOR_BTNTEXT),
                                  kFace,      ::GetSysColor(COLOR_BTNTEXT),
                                  kFaceFocus, RGB(0, 0, 255)};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(b.Color(i), expected[i]) << i;
    }

    b.SendMessage(WM_SYSCOLORCHANGE);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(b.Color(i), ::GetSysColor(i % 2 == 0 ? COLOR_BTNFACE : COLOR_BTNTEXT)) << i;
    }
    EXPECT_EQ(ClientPixels(b.m_hWnd).At(3, 3), ::GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(ClientPixels(dlg.m_btnLines.m_hWnd).At(3, 3), kFace) << "only where it was sent";
}

TEST_F(HoverButtonTest, TheTooltipCarriesTheTextAndGoesWithTheButton) {
    ButtonDialog& dlg = Show();
    ProbeButton& b = dlg.m_btnWindow;
    b.SetTipText(nullptr);
    EXPECT_TRUE(b.ToolTip() == nullptr || ::SendMessageA(b.ToolTip(), TTM_GETTOOLCOUNT, 0, 0) == 0);

    b.SetTipText("Change Window Mode", TRUE);
    HWND hTip = b.ToolTip();
    ASSERT_TRUE(::IsWindow(hTip));
    char szClass[64] = {};
    ::GetClassNameA(hTip, szClass, sizeof szClass);
    EXPECT_STREQ(szClass, TOOLTIPS_CLASSA);
    EXPECT_EQ(::SendMessageA(hTip, TTM_GETTOOLCOUNT, 0, 0), 1);
    EXPECT_EQ(::SendMessageA(hTip, TTM_GETMAXTIPWIDTH, 0, 0), 400);
    EXPECT_EQ(TipText(b), "Change Window Mode");
    b.SetTipText("Change Video Mode", TRUE);
    EXPECT_EQ(::SendMessageA(hTip, TTM_GETTOOLCOUNT, 0, 0), 1);
    EXPECT_EQ(TipText(b), "Change Video Mode");

    // Pointer events reach it through the pre-translation: it shows.
    HoverByPointer(b);
    EXPECT_TRUE(Pump([&] { return ::IsWindowVisible(hTip) != FALSE; }));

    b.DestroyWindow();
    EXPECT_FALSE(::IsWindow(hTip));
}

TEST_F(HoverButtonTest, AnObjectGoneBeforeItsWindowTakesItsTooltipAlong) {
    ButtonDialog& dlg = Show();
    HWND hButton = dlg.GetDlgItem(IDC_OTHER);  // a control the dialog left plain
    HWND hTip = nullptr;
    {
        ProbeButton temporary;
        ASSERT_TRUE(temporary.SubclassWindow(hButton));
        temporary.SetTipText("Change Line Marker Mode", FALSE);
        hTip = temporary.ToolTip();
        ASSERT_TRUE(::IsWindow(hTip));
    }
    EXPECT_FALSE(::IsWindow(hTip));
    EXPECT_EQ(CWnd::FromHandle(hButton), nullptr);
}

// The panel's own template and configuration: three plain push buttons,
// each with its colours set in the order 2, 4, 0, a tooltip and the caption font.
class PanelButtons : public CDialog {
  public:
    PanelButtons() : CDialog(IDD_REMOTE_PANEL) {}
    ProbeButton m_btnWindow;
    ProbeButton m_btnLines;
    ProbeButton m_btnOptions;

  protected:
    void DoDataExchange() override {
        BindControl(IDC_WINDOW_BUTTON, m_btnWindow);
        BindControl(IDC_LINES_BUTTON, m_btnLines);
        BindControl(IDC_OPTIONS_BUTTON, m_btnOptions);
    }
};

TEST_F(HoverButtonTest, ThePanelsButtonsTakeTheirColoursAndTips) {
    PanelButtons panel;
    ASSERT_TRUE(panel.Create());
    ::SetWindowPos(panel.m_hWnd, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    LOGFONTA lf = {};
    lf.lfHeight = -24;  // 18 points at 96 dots per inch
    lf.lfWeight = FW_BOLD;
    lf.lfQuality = PROOF_QUALITY;
    lstrcpyA(lf.lfFaceName, "Arial");
    CFont font;
    font.CreateFontIndirect(lf);
    struct Setup {
        ProbeButton* pButton;
        COLORREF crFace;
        COLORREF crHot;
        const char* pszTip;
    };
    const Setup setups[] = {
        {&panel.m_btnWindow, RGB(255, 255, 160), RGB(255, 255, 200), "Change Window Mode"},
        {&panel.m_btnLines, RGB(180, 220, 255), RGB(220, 240, 255), "Change Line Marker Mode"},
        {&panel.m_btnOptions, RGB(255, 200, 255), RGB(255, 220, 255), "Change Video Mode"},
    };
    for (const Setup& s : setups) {
        ASSERT_NE(s.pButton->m_hWnd, nullptr);
        s.pButton->SetStateColor(2, s.crFace, TRUE);
        s.pButton->SetStateColor(4, s.crFace, TRUE);
        s.pButton->SetStateColor(0, s.crHot, TRUE);
        s.pButton->SetTipText(s.pszTip, TRUE);
        s.pButton->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
    }
    ASSERT_TRUE(PumpUntil(panel.m_hWnd, [&] { return ::IsWindowVisible(panel.m_hWnd) != FALSE; }));
    for (const Setup& s : setups) {
        SCOPED_TRACE(s.pszTip);
        ProbeButton& b = *s.pButton;
        EXPECT_EQ(b.GetStyle() & 0x1F, BS_OWNERDRAW);
        EXPECT_FALSE(b.IsDefault());
        EXPECT_FALSE(b.IsCheckBox());
        EXPECT_EQ(ClientPixels(b.m_hWnd).At(3, 3), s.crFace);
        MovePointer(CentreOf(b.m_hWnd));
        ASSERT_TRUE(PumpUntil(panel.m_hWnd, [&] { return b.Hovered(); }));
        ClientPixels px(b.m_hWnd);
        EXPECT_EQ(px.At(3, 3), s.crHot);
        EXPECT_EQ(FrameOf(px), Frame::Raised);
        EXPECT_EQ(TipText(b), s.pszTip);
    }
    panel.DestroyWindow();
}

TEST(HoverButtonLink, TheLinkIsCutToStayTerminated) {
    ProbeButton b;
    EXPECT_EQ(b.Link(), "");
    const std::string longLink(300, 'a');
    EXPECT_EQ(b.SetLink(longLink.c_str()), 0u);
    EXPECT_EQ(b.Link(), longLink.substr(0, b.LinkCapacity() - 1));
    b.SetLink(nullptr);
    EXPECT_EQ(b.Link(), "");
}

}  // namespace
