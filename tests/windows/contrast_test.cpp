// What a user with low vision sees of the real panel, in its pixels: the
// system's colours while high contrast is on, the panel's own look while it
// is off, a switch taking effect at once, and the keyboard's cues on the
// buttons. Wine cannot switch high contrast on: the program's one answer to
// "is it on" is set here instead, with a scheme of system colours.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <numeric>
#include <string>

#include "device/device_link.h"
#include "framework/high_contrast.h"
#include "framework/message_box.h"
#include "framework/window_dpi.h"
#include "panel/remote_panel_dlg_win.h"
#include "panel_fixture.h"
#include "pixels.h"
#include "window_checks.h"

namespace {

// After High Contrast Black, each colour distinct so that a pixel tells which one it is.
constexpr int kElements[] = {COLOR_WINDOW,  COLOR_WINDOWTEXT, COLOR_BTNFACE,
                             COLOR_BTNTEXT, COLOR_HIGHLIGHT,  COLOR_HIGHLIGHTTEXT};
constexpr COLORREF kScheme[] = {RGB(0, 0, 0),     RGB(255, 255, 255), RGB(0, 0, 96),
                                RGB(255, 255, 0), RGB(26, 235, 255),  RGB(0, 64, 0)};
constexpr int kCount = 6;

// Most of hWnd is crBack, and some of it (the text) crText.
void ExpectLook(HWND hWnd, COLORREF crBack, COLORREF crText, const char* pszWhat) {
    const ClientPixels px(hWnd);
    const RECT rc = {0, 0, px.Width(), px.Height()};
    EXPECT_GT(px.Count(rc, crBack), px.Width() * px.Height() / 2) << pszWhat << ": background";
    EXPECT_GT(px.Count(rc, crText), 10) << pszWhat << ": text";
}

// Pixels of the focus frame's top line, inset from the button's edge.
int FocusLinePixels(HWND hButton, COLORREF cr) {
    const ClientPixels px(hButton);
    const int nDpi = static_cast<int>(DpiOfWindow(hButton));
    const int nInset = dpi_scale::ScaleLineForDpi(4, nDpi);
    const int nWidth = dpi_scale::ScaleLineForDpi(2, nDpi);
    return px.Count({nInset + nWidth, nInset, px.Width() - nInset - nWidth, nInset + nWidth}, cr);
}

class Contrast : public Panel {
  protected:
    void SetUp() override {
        std::transform(kElements, kElements + kCount, m_saved, ::GetSysColor);
        ::SetCursorPos(0, 0);  // no hover, and no tooltip over the panel
        Panel::SetUp();
        Open();
    }
    void TearDown() override {
        SetHighContrastOverride(std::nullopt);
        ::SetSysColors(kCount, kElements, m_saved);
        Panel::TearDown();
    }
    // As the system switches it: the scheme's colours (or the saved ones), the
    // new setting, then its broadcast.
    void Switch(bool bOn) {
        ASSERT_TRUE(::SetSysColors(kCount, kElements, bOn ? kScheme : m_saved));
        SetHighContrastOverride(bOn);
        ::SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0,
                              SMTO_ABORTIFHUNG, 5000, nullptr);
    }
    void ShowStatus(int nStatus, const char* pszText) {
        g_deviceLink.SetStatusText("ACTIVE Port 3");
        g_deviceLink.SetStatus(nStatus);
        ASSERT_TRUE(WaitFor([&] { return m_panel.m_lblStatus.GetWindowText() == pszText; }))
            << pszText;
    }
    void ExpectOwnLook(const char* pszWhen) {
        EXPECT_EQ(ClientPixels(m_panel).At(2, 2), RGB(255, 255, 255)) << pszWhen << ": background";
        ExpectLook(m_panel.m_btnLines, RGB(180, 220, 255), m_saved[3], pszWhen);
    }

    COLORREF m_saved[kCount] = {};
};

TEST_F(Contrast, HighContrastDrawsInTheSystemsColoursFromTheMomentItIsSwitched) {
    ShowStatus(LINK_SEARCHING, "NONE");
    ExpectOwnLook("off");
    ExpectLook(m_panel.m_lblStatus, RGB(255, 0, 0), RGB(0, 0, 0), "NONE, black on red");
    ExpectLook(m_panel.m_lblPositionTitle, RGB(255, 255, 255), m_saved[3], "title off");

    Switch(true);
    EXPECT_EQ(ClientPixels(m_panel).At(2, 2), kScheme[0]) << "background";
    ExpectLook(m_panel.m_lblPositionTitle, kScheme[0], kScheme[1], "POSITION");
    ExpectLook(m_panel.m_lblConnectionTitle, kScheme[0], kScheme[1], "Connection Status");
    ExpectLook(m_panel.m_lblStatus, kScheme[0], kScheme[1], "NONE");
    ExpectLook(m_panel.m_btnLines, kScheme[2], kScheme[3], "LINES");
    const ClientPixels lines(m_panel.m_btnLines);
    EXPECT_TRUE(lines.At(0, 0) == kScheme[3] && lines.At(lines.Width() - 1, 9) == kScheme[3])
        << "LINES' frame in the button text's colour";
    ShowStatus(LINK_CONNECTED, "ACTIVE Port 3");
    ExpectLook(m_panel.m_lblStatus, kScheme[4], kScheme[5], "connected");
    m_panel.WarnIfNotDetected();  // shown while the record says not connected
    ExpectLook(m_panel.m_wndWarning.m_label, kScheme[0], kScheme[1], "warning");

    Switch(false);
    ExpectOwnLook("switched off");
    ExpectLook(m_panel.m_lblStatus, RGB(0, 200, 0), RGB(0, 0, 0), "connected, switched off");
}

TEST_F(Contrast, TheFocusedButtonShowsAFrameAndItsAccessKeyOnlyWhileTheCuesAreShown) {
    HWND hWindow = m_panel.m_btnWindow;
    ::SetFocus(hWindow);
    ASSERT_TRUE(WaitFor([&] { return ::GetFocus() == hWindow; })) << "WINDOW focused";
    // Wine keeps no cues of a window (WM_QUERYUISTATE answers 0, WM_CHANGEUISTATE
    // goes nowhere): the button is told as the system tells each child.
    ::SendMessageA(hWindow, WM_UPDATEUISTATE,
                   MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
    EXPECT_GT(FocusLinePixels(hWindow, RGB(0, 0, 0)), 40) << "black frame on the yellow face";
    ::SendMessageA(hWindow, WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
    EXPECT_EQ(FocusLinePixels(hWindow, RGB(0, 0, 0)), 0) << "frame while focus cues are hidden";
    const ClientPixels keys(hWindow);
    ::SendMessageA(hWindow, WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEACCEL), 0);
    const ClientPixels hidden(hWindow);
    EXPECT_FALSE(keys == hidden) << "no underline while access keys are shown";
    ::SetWindowTextA(hWindow, "WINDOW");
    EXPECT_TRUE(ClientPixels(hWindow) == hidden) << "'&' drawn while keys are hidden";

    Switch(true);
    ::SendMessageA(hWindow, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    EXPECT_GT(FocusLinePixels(hWindow, kScheme[3]), 40) << "frame in the button text's colour";
}

}  // namespace

// The tray's two icons as Windows draws them at 16 pixels on a black and on a
// white task bar (the two high-contrast ones): each stands out from both, and
// their light and dark pixels differ, so they differ in shape, not only in colour.
TEST(TrayIcons, DifferInShapeAndStandOutOnDarkAndLightTaskBars) {
    HDC hdc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ hOld = ::SelectObject(hdc, ::CreateBitmap(16, 16, 1, 32, nullptr));
    const RECT rc = {0, 0, 16, 16};
    for (COLORREF crBar : {RGB(0, 0, 0), RGB(255, 255, 255)}) {
        std::string light[2];  // '1' for each light pixel
        for (bool bConnected : {false, true}) {
            ::SetBkColor(hdc, crBar);
            ::ExtTextOutA(hdc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
            HICON hIcon = CRemotePanelDlg::TrayIcon(bConnected);
            EXPECT_TRUE(::DrawIconEx(hdc, 0, 0, hIcon, 16, 16, 0, nullptr, DI_NORMAL));
            int nStandOut = 0;
            for (int i = 0; i < 256; ++i) {
                const COLORREF cr = ::GetPixel(hdc, i % 16, i / 16);
                const int nLight = GetRValue(cr) * 299 + GetGValue(cr) * 587 + GetBValue(cr) * 114;
                nStandOut += cr != crBar;
                light[bConnected] += nLight >= 128000 ? '1' : '0';
            }
            EXPECT_GE(nStandOut, 96) << "connected " << bConnected << " on " << crBar;
        }
        const auto nDiffer = std::inner_product(light[0].begin(), light[0].end(), light[1].begin(),
                                                0, std::plus<>(), std::not_equal_to<>());
        EXPECT_GE(nDiffer, 24) << "light and dark alike on " << crBar;
    }
    ::DeleteObject(::SelectObject(hdc, hOld));
    ::DeleteDC(hdc);
}
