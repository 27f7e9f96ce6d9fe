// The building blocks together on the panel's own template (dialog 102): the
// tiled white background, the labels as the panel sets them up, the black
// frames behind the bars and buttons, and the hidden warning window. Saves a
// picture of the dialog and of the warning as test artefacts.
#include <gtest/gtest.h>

#include "controls/hover_button.h"
#include "framework/controls.h"
#include "framework/gdi.h"
#include "panel/popup_warning.h"
#include "panel/skinned_dialog.h"
#include "panel/text_label.h"
#include "pixels.h"
#include "resource.h"
#include "window_checks.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr int kFrameMargin = 6;

class PanelLook : public CSkinnedDialog {
  public:
    PanelLook() : CSkinnedDialog(IDD_REMOTE_PANEL) {}

    CTextLabel m_lblWidthTitle, m_lblPositionTitle, m_lblStatus, m_lblConnectionTitle;
    CTextLabel m_lblWidthFrame, m_lblPositionFrame, m_lblWindowFrame, m_lblLinesFrame,
        m_lblOptionsFrame, m_lblDebugInfo;
    CHoverButton m_btnWindow, m_btnLines, m_btnOptions;
    CPopupWarning m_wndWarning;
    CFont m_fontButtons;

  protected:
    void DoDataExchange() override {
        BindControl(IDC_WIDTH_TITLE, m_lblWidthTitle);
        BindControl(IDC_POSITION_TITLE, m_lblPositionTitle);
        BindControl(IDC_STATUS, m_lblStatus);
        BindControl(IDC_CONNECTION_TITLE, m_lblConnectionTitle);
        BindControl(IDC_WIDTH_FRAME, m_lblWidthFrame);
        BindControl(IDC_POSITION_FRAME, m_lblPositionFrame);
        BindControl(IDC_WINDOW_FRAME, m_lblWindowFrame);
        BindControl(IDC_LINES_FRAME, m_lblLinesFrame);
        BindControl(IDC_OPTIONS_FRAME, m_lblOptionsFrame);
        BindControl(IDC_WINDOW_BUTTON, m_btnWindow);
        BindControl(IDC_LINES_BUTTON, m_btnLines);
        BindControl(IDC_OPTIONS_BUTTON, m_btnOptions);
        BindControl(IDC_DEBUG_INFO, m_lblDebugInfo);
    }

    BOOL OnInitDialog() override {
        CSkinnedDialog::OnInitDialog();
        SetBitmap(static_cast<WORD>(IDB_PANEL_BACKGROUND), 0xFFFFFFFF);
        SetBitmapStyle(0, 1);
        m_wndWarning.Create(this);

        for (CTextLabel* pTitle : {&m_lblPositionTitle, &m_lblWidthTitle}) {
            pTitle->SetFontBold(TRUE, FALSE);
            pTitle->SetFontFace("Arial", 18, FALSE);
            pTitle->m_bTransparent = TRUE;
        }
        m_lblStatus.SetTextColor(kWhite, FALSE);
        m_lblStatus.SetBkColor(kRed, FALSE);
        m_lblStatus.SetFontBold(TRUE, FALSE);
        m_lblStatus.SetFontFace("Arial", 11, FALSE);
        m_lblStatus.SetText("Not Connected");
        m_lblConnectionTitle.SetFontBold(TRUE, FALSE);
        m_lblConnectionTitle.SetFontFace("Arial", 11, FALSE);
        m_lblConnectionTitle.m_bTransparent = TRUE;
        m_lblDebugInfo.SetFontBold(TRUE, FALSE);
        m_lblDebugInfo.SetFontFace("Courier", 10, FALSE);

        LOGFONTA lf = {};
        HDC hdc = ::GetDC(nullptr);
        lf.lfHeight = -(::GetDeviceCaps(hdc, LOGPIXELSY) * 180 / 720);
        ::ReleaseDC(nullptr, hdc);
        lf.lfWeight = FW_BOLD;
        lf.lfQuality = PROOF_QUALITY;
        lstrcpynA(lf.lfFaceName, "Arial", LF_FACESIZE);
        m_fontButtons.CreateFontIndirect(lf);
        struct Look {
            CHoverButton& button;
            COLORREF crFace, crHover;
            const char* pszTip;
        };
        const Look looks[] = {
            {m_btnWindow, RGB(255, 255, 160), RGB(255, 255, 200), "Change Window Mode"},
            {m_btnLines, RGB(180, 220, 255), RGB(220, 240, 255), "Change Line Marker Mode"},
            {m_btnOptions, RGB(255, 200, 255), RGB(255, 220, 255), "Change Video Mode"}};
        for (const Look& look : looks) {
            look.button.SetStateColor(2, look.crFace, TRUE);
            look.button.SetStateColor(4, look.crFace, TRUE);
            look.button.SetStateColor(0, look.crHover, TRUE);
            look.button.SetTipText(look.pszTip, TRUE);
            look.button.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_fontButtons.Get()),
                                    TRUE);
        }

        const std::pair<int, CTextLabel*> frames[] = {{IDC_POSITION_BAR, &m_lblPositionFrame},
                                                      {IDC_WIDTH_BAR, &m_lblWidthFrame},
                                                      {IDC_WINDOW_BUTTON, &m_lblWindowFrame},
                                                      {IDC_LINES_BUTTON, &m_lblLinesFrame},
                                                      {IDC_OPTIONS_BUTTON, &m_lblOptionsFrame}};
        for (const auto& [nId, pFrame] : frames) {
            RECT rc = FrameFor(nId);
            pFrame->SetBkColor(kBlack, FALSE);
            ::MoveWindow(pFrame->m_hWnd, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                         TRUE);
        }
        return TRUE;
    }

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
        ASSERT_TRUE(m_panel.Create());
        m_panel.ShowWindow(SW_SHOW);
        ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(m_panel.m_hWnd) != FALSE; }));
    }
    void TearDown() override { m_panel.DestroyWindow(); }
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
