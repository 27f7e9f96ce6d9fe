// CPopupWarning under Wine, from the program's own dialog template 140, owned
// by a test dialog at the screen's top-left corner.
#include <gtest/gtest.h>

#include <cstdlib>

#include "framework/dialog.h"
#include "label_test_ids.h"
#include "window_checks.h"
#include "panel/popup_warning.h"
#include "pixels.h"

namespace {

class PopupWarning : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(owner.Create());
        // The owner in the top left corner, away from the screen's middle.
        ::SetWindowPos(owner.m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ASSERT_TRUE(warning.Create(&owner));
    }
    void TearDown() override { owner.DestroyWindow(); }

    CDialog owner{IDD_LABEL_TEST};
    CPopupWarning warning;
};

TEST_F(PopupWarning, IsCreatedHiddenTopmostWithoutCaptionInTheMiddleOfTheWorkArea) {
    EXPECT_FALSE(::IsWindowVisible(warning.m_hWnd));
    EXPECT_EQ(::GetWindow(warning.m_hWnd, GW_OWNER), owner.m_hWnd);
    EXPECT_NE(warning.GetStyle() & WS_CAPTION, WS_CAPTION);
    EXPECT_EQ(warning.GetWindowText(), "");
    EXPECT_NE(::GetWindowLongA(warning.m_hWnd, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

    // Centred on the screen's work area, not on its owner in the corner.
    RECT work = {};
    ASSERT_TRUE(::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    const RECT rc = warning.GetWindowRect();
    EXPECT_LE(std::abs((rc.left + rc.right) - (work.left + work.right)), 2);
    EXPECT_LE(std::abs((rc.top + rc.bottom) - (work.top + work.bottom)), 2);
    const RECT rcOwner = owner.GetWindowRect();
    EXPECT_GT(rc.left, rcOwner.left + 50);

    // The message: bound to its label, bold 18-point Arial on the default colours.
    ASSERT_EQ(CWnd::FromHandle(warning.GetDlgItem(IDC_WARNING_TEXT)), &warning.m_label);
    EXPECT_EQ(warning.m_label.GetWindowText(), "Tavrel Plus Not Detected");
    const LOGFONTA font = FontOf(warning.m_label.m_font);
    EXPECT_STREQ(font.lfFaceName, "Arial");
    EXPECT_EQ(font.lfHeight, -24);
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    EXPECT_TRUE(warning.m_label.m_bBold);
    EXPECT_FALSE(warning.m_label.m_bTransparent);
    EXPECT_EQ(warning.m_label.m_crText, ::GetSysColor(COLOR_BTNTEXT));
    EXPECT_EQ(warning.m_label.m_crBack, ::GetSysColor(COLOR_BTNFACE));
}

TEST_F(PopupWarning, ShowsTheMessageCentredInItsFrameWhileItsOwnerIsHidden) {
    owner.ShowWindow(SW_HIDE);
    warning.ShowWindow(SW_SHOW);
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(warning.m_hWnd) != FALSE; }));

    const CTextLabel& label = warning.m_label;
    const COLORREF crFace = ::GetSysColor(COLOR_BTNFACE);
    const ClientPixels px(label.m_hWnd);
    ASSERT_FALSE(px.Empty());
    const int w = px.Width();
    const int h = px.Height();
    EXPECT_EQ(px.At(0, 0), crFace);
    EXPECT_EQ(px.At(w - 1, h - 1), crFace);
    EXPECT_GT(px.Count({0, 0, w, h}, label.m_crText), 0) << "no text drawn";

    // One line, centred both ways: equal margins left and right, and the ink
    // inside the text cell that sits in the middle.
    const RECT ink = InkBox(px, crFace);
    ASSERT_LT(ink.left, ink.right);
    EXPECT_LE(std::abs(ink.left - (w - ink.right)), 3);
    EXPECT_GT(ink.right - ink.left, w / 2);  // large letters
    CClientDC dc(label.m_hWnd);
    CSelectObject selected(dc, label.m_font);
    TEXTMETRICA tm = {};
    ASSERT_TRUE(::GetTextMetricsA(dc, &tm));
    const int nCellTop = (h - tm.tmHeight) / 2;
    EXPECT_GE(ink.top, nCellTop - 1);
    EXPECT_LE(ink.bottom, nCellTop + tm.tmHeight + 1);

    // A picture of the window for people to look at.
    EXPECT_TRUE(SaveWindowBitmap(warning.m_hWnd, "popup_warning.bmp"));

    warning.ShowWindow(SW_HIDE);
    EXPECT_FALSE(::IsWindowVisible(warning.m_hWnd));
}

TEST_F(PopupWarning, GoesWithItsOwnersWindow) {
    HWND hWarning = warning.m_hWnd;
    HWND hText = warning.m_label.m_hWnd;
    owner.DestroyWindow();
    EXPECT_FALSE(::IsWindow(hWarning));
    EXPECT_FALSE(::IsWindow(hText));
    EXPECT_EQ(warning.m_hWnd, nullptr);
    EXPECT_EQ(warning.m_label.m_hWnd, nullptr);
}

}  // namespace
