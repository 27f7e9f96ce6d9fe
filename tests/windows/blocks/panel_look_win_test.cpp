// The building blocks together in the remote panel (dialog 102): the tiled
// white background, the labels as the panel sets them up, the black frames
// behind the bars and buttons, and the hidden warning window. Saves a
// picture of the dialog and of the warning as test artefacts.
#include <gtest/gtest.h>

#include "panel/remote_panel_dlg.h"
#include "pixels.h"
#include "resource.h"
#include "window_checks.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr int kFrameMargin = 6;

// The real panel, with the geometry the checks below need.
class PanelLook : public CRemotePanelDlg {
  public:
    // The control's rectangle in client coordinates, grown by the frame margin.
    RECT FrameFor(int nId) const {
        RECT rc = {};
        ::GetWindowRect(GetDlgItem(nId), &rc);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        ::InflateRect(&rc, kFrameMargin, kFrameMargin);
        return rc;
    }
    RECT ClientRectOf(int nId) const {
        RECT rc = {};
        ::GetWindowRect(GetDlgItem(nId), &rc);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }
};

class PanelTemplate : public ::testing::Test {
  protected:
    void SetUp() override {
        // No stored position from an earlier run: the panel keeps its default place.
        ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quorvane");
        m_panel.m_bHideAtStart = FALSE;
        SetMainWnd(&m_panel);
        ASSERT_TRUE(m_panel.Create());
        m_panel.ShowWindow(SW_SHOW);
        ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(m_panel.m_hWnd) != FALSE; }));
    }
    void TearDown() override {
        m_panel.DestroyWindow();
        SetMainWnd(nullptr);
    }
    PanelLook m_panel;
};

TEST_F(PanelTemplate, EveryBarAndButtonStandsOnABlackFrameSixPixelsWider) {
    const ClientPixels px(m_panel.m_hWnd);
    ASSERT_FALSE(px.Empty());
    for (int nId : {IDC_POSITION_BAR, IDC_WIDTH_BAR}) {
        const RECT frame = m_panel.FrameFor(nId);
        const RECT inner = m_panel.ClientRectOf(nId);
        // The margin strips left and right of the control are black.
        const RECT left = {frame.left, inner.top, inner.left, inner.bottom};
        const RECT right = {inner.right, inner.top, frame.right, inner.bottom};
        EXPECT_TRUE(px.All(left, kBlack)) << "left margin of " << nId;
        EXPECT_TRUE(px.All(right, kBlack)) << "right margin of " << nId;
        // Just outside the frame the white background shows.
        EXPECT_EQ(px.At(frame.left - 1, (frame.top + frame.bottom) / 2), kWhite) << nId;
    }
}

TEST_F(PanelTemplate, TitlesAreTransparentOnWhiteAndTheStatusIsWhiteOnRed) {
    const ClientPixels px(m_panel.m_hWnd);
    const RECT title = m_panel.ClientRectOf(IDC_POSITION_TITLE);
    const int nArea = (title.right - title.left) * (title.bottom - title.top);
    const int nWhite = px.Count(title, kWhite);
    EXPECT_GT(nWhite, nArea / 2);  // mostly the background
    EXPECT_LT(nWhite, nArea);      // and some ink
    EXPECT_EQ(px.Count(title, ::GetSysColor(COLOR_BTNFACE)), 0);

    RECT status = m_panel.ClientRectOf(IDC_STATUS);
    ::InflateRect(&status, -3, -3);  // inside the sunken edge
    EXPECT_GT(px.Count(status, kRed), 0);
    EXPECT_GT(px.Count(status, kWhite), 0);
    EXPECT_EQ(m_panel.m_lblStatus.GetWindowText(), "Not Connected");
    EXPECT_FALSE(::IsWindowVisible(m_panel.m_lblDebugInfo.m_hWnd));
}

TEST_F(PanelTemplate, TheButtonsShowTheirFaceColoursInsideTheirFrames) {
    ::SetFocus(nullptr);
    const ClientPixels px(m_panel.m_hWnd);
    const std::pair<int, COLORREF> faces[] = {{IDC_WINDOW_BUTTON, RGB(255, 255, 160)},
                                              {IDC_LINES_BUTTON, RGB(180, 220, 255)},
                                              {IDC_OPTIONS_BUTTON, RGB(255, 200, 255)}};
    for (const auto& [nId, crFace] : faces) {
        const RECT button = m_panel.ClientRectOf(nId);
        const int nArea = (button.right - button.left) * (button.bottom - button.top);
        EXPECT_GT(px.Count(button, crFace), nArea / 2) << nId;
        const RECT frame = m_panel.FrameFor(nId);
        EXPECT_EQ(px.At(frame.left + 2, frame.top + 2), kBlack) << nId;
    }
}

TEST_F(PanelTemplate, TheWarningWaitsHiddenAndPicturesAreSaved) {
    ASSERT_NE(m_panel.m_wndWarning.m_hWnd, nullptr);
    EXPECT_FALSE(::IsWindowVisible(m_panel.m_wndWarning.m_hWnd));
    EXPECT_TRUE(SaveWindowBitmap(m_panel.m_hWnd, "panel_template.bmp"));
    m_panel.m_wndWarning.ShowWindow(SW_SHOW);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(m_panel.m_wndWarning.m_hWnd) != FALSE; }));
    EXPECT_TRUE(SaveWindowBitmap(m_panel.m_wndWarning.m_hWnd, "panel_warning.bmp"));
    m_panel.m_wndWarning.ShowWindow(SW_HIDE);
}

}  // namespace
