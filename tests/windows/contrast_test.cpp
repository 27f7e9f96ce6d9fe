// What a user with low vision sees of the real panel, in its pixels: the
// system's colours while high contrast is on, the panel's own look while it
// is off, and a switch taking effect at once. Wine cannot switch high
// contrast on: the program's one answer to "is it on" is set here instead,
// with a scheme of system colours.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "device/device_link.h"
#include "framework/high_contrast.h"
#include "framework/message_box.h"
#include "panel/remote_panel_dlg_win.h"
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

class Contrast : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int i = 0; i < kCount; ++i) {
            m_saved[i] = ::GetSysColor(kElements[i]);
        }
        g_deviceLink.m_bConnected = 0;
        g_deviceLink.SetStatus(LINK_STARTING);
        SetMessageBoxFunction(
            [](HWND, const std::string&, const std::string&, UINT) { return IDOK; });
        m_panel.m_bHideAtStart = FALSE;
        SetMainWnd(&m_panel);
        ASSERT_TRUE(m_panel.Create());
        m_panel.ShowWindow(SW_SHOW);
        ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(m_panel) != FALSE; })) << "panel shown";
    }
    void TearDown() override {
        SetHighContrastOverride(std::nullopt);
        ::SetSysColors(kCount, kElements, m_saved);
        m_panel.DestroyWindow();
        SetMainWnd(nullptr);
        SetMessageBoxFunction(nullptr);
        ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quorvane");
    }
    // As the system switches it: the new setting, then its broadcast.
    static void Switch(bool bOn) {
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

    CRemotePanelDlg m_panel;
    COLORREF m_saved[kCount] = {};
};

TEST_F(Contrast, HighContrastDrawsInTheSystemsColoursFromTheMomentItIsSwitched) {
    ShowStatus(LINK_SEARCHING, "NONE");
    ExpectOwnLook("off");
    ExpectLook(m_panel.m_lblPositionTitle, RGB(255, 255, 255), m_saved[3], "title off");

    ASSERT_TRUE(::SetSysColors(kCount, kElements, kScheme));
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

    ::SetSysColors(kCount, kElements, m_saved);
    Switch(false);
    ExpectOwnLook("switched off");
    ExpectLook(m_panel.m_lblStatus, RGB(0, 200, 0), RGB(0, 0, 0), "connected, switched off");
}

}  // namespace
