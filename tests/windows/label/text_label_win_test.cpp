// CTextLabel under Wine: bound to the statics of a test dialog whose own
// background is a known colour, driven through its setters and checked by its
// state, its paints and its pixels.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "framework/dialog.h"
#include "label_test_ids.h"
#include "window_checks.h"
#include "panel/text_label.h"
#include "pixels.h"

namespace {

constexpr COLORREF kParent = RGB(0, 128, 96);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// A label that counts the paints it gets.
class CountingLabel : public CTextLabel {
  public:
    int nPaints = 0;

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_PAINT) {
            ++nPaints;
        }
        return CTextLabel::WindowProc(message, wParam, lParam);
    }
};

class LabelDialog : public CDialog {
  public:
    LabelDialog() : CDialog(IDD_LABEL_TEST) {}
    CountingLabel m_plain;
    CountingLabel m_clear;
    CountingLabel m_centred;
    CountingLabel m_wrapped;

  protected:
    void DoDataExchange() override {
        BindControl(IDC_LABEL_PLAIN, m_plain);
        BindControl(IDC_LABEL_CLEAR, m_clear);
        BindControl(IDC_LABEL_CENTRED, m_centred);
        BindControl(IDC_LABEL_WRAPPED, m_wrapped);
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_ERASEBKGND) {
            // The parent's background that a transparent label shows.
            const RECT rc = GetClientRect();
            CBrush brush(::CreateSolidBrush(kParent));
            ::FillRect(reinterpret_cast<HDC>(wParam), &rc, brush);
            return TRUE;
        }
        return CDialog::WindowProc(message, wParam, lParam);
    }
};

RECT Whole(const ClientPixels& px) {
    return {0, 0, px.Width(), px.Height()};
}

bool PaintPending(HWND hWnd) {
    return ::GetUpdateRect(hWnd, nullptr, FALSE) != FALSE;
}

int LineHeight(const CTextLabel& label) {
    CClientDC dc(label.m_hWnd);
    CSelectObject font(dc, label.m_font);
    TEXTMETRICA tm = {};
    ::GetTextMetricsA(dc, &tm);
    return tm.tmHeight;
}

COLORREF BrushColour(const CTextLabel& label) {
    LOGBRUSH lb = {};
    if (!label.m_pBackBrush || ::GetObjectA(*label.m_pBackBrush, sizeof lb, &lb) != sizeof lb) {
        return CLR_INVALID;
    }
    return lb.lbColor;
}

class TextLabel : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dlg.Create());
        ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(dlg.m_hWnd) != FALSE; }));
        ::RedrawWindow(dlg.m_hWnd, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    void TearDown() override { dlg.DestroyWindow(); }

    LabelDialog dlg;
};

TEST_F(TextLabel, BindingCopiesTheControlsFontAndStartsWithTheButtonColours) {
    CTextLabel& label = dlg.m_plain;
    const LOGFONTA own = FontOf(label.GetFont());
    const LOGFONTA copy = FontOf(label.m_font);
    ASSERT_NE(own.lfHeight, 0);
    EXPECT_NE(label.m_font.Get(), label.GetFont());  // a font of its own
    EXPECT_STREQ(copy.lfFaceName, own.lfFaceName);
    EXPECT_EQ(copy.lfHeight, own.lfHeight);
    EXPECT_EQ(copy.lfWeight, own.lfWeight);
    EXPECT_EQ(label.m_crText, ::GetSysColor(COLOR_BTNTEXT));
    EXPECT_EQ(label.m_crBack, ::GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(BrushColour(label), label.m_crBack);
    EXPECT_FALSE(label.m_bBold);
    EXPECT_FALSE(label.m_bTransparent);

    // A static that was never given a font draws with the stock GUI font,
    // and so does its label.
    HWND hBare = ::CreateWindowExA(0, "STATIC", "bare", WS_CHILD | WS_VISIBLE, 200, 190, 60, 20,
                                   dlg.m_hWnd, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(hBare, nullptr);
    ASSERT_EQ(::SendMessageA(hBare, WM_GETFONT, 0, 0), 0);
    CTextLabel bare;
    ASSERT_TRUE(bare.SubclassWindow(hBare));
    const LOGFONTA stock = FontOf(static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)));
    EXPECT_STREQ(FontOf(bare.m_font).lfFaceName, stock.lfFaceName);
    EXPECT_EQ(FontOf(bare.m_font).lfHeight, stock.lfHeight);
}

TEST_F(TextLabel, OpaqueFillsItsWholeClientAreaAndTransparentKeepsTheParentsPixels) {
    CTextLabel& opaque = dlg.m_plain;  // "A" at the top left of a wide label
    opaque.SetTextColor(kBlack, FALSE);
    opaque.SetBkColor(kBlue, TRUE);
    const ClientPixels filled(opaque);
    const RECT ink = InkBox(filled, kBlue);
    ASSERT_LT(ink.left, ink.right) << "no text drawn";
    EXPECT_LT(ink.right, filled.Width() / 4);
    EXPECT_LT(ink.bottom, filled.Height() / 2);
    EXPECT_TRUE(filled.All({ink.right, 0, filled.Width(), filled.Height()}, kBlue));
    EXPECT_TRUE(filled.All({0, ink.bottom, filled.Width(), filled.Height()}, kBlue));
    EXPECT_EQ(filled.Count(Whole(filled), kParent), 0);
    opaque.SetText("");
    const ClientPixels empty(opaque);
    EXPECT_TRUE(empty.All(Whole(empty), kBlue));

    CTextLabel& clear = dlg.m_clear;  // "Over"
    clear.SetTextColor(kBlack, FALSE);
    clear.SetBkColor(kRed, FALSE);
    clear.m_bTransparent = TRUE;
    ::RedrawWindow(dlg.m_hWnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    const ClientPixels over(clear);
    const int nArea = over.Width() * over.Height();
    EXPECT_EQ(over.Count(Whole(over), kRed), 0) << "a box was filled";
    EXPECT_GT(over.Count(Whole(over), kParent), nArea * 3 / 4);
    EXPECT_GT(over.Count(Whole(over), kBlack), 0) << "no text drawn";

    // The same label opaque hides the parent behind its background.
    clear.m_bTransparent = FALSE;
    clear.Invalidate();
    const ClientPixels boxed(clear);
    EXPECT_EQ(boxed.Count(Whole(boxed), kParent), 0);
    EXPECT_EQ(boxed.At(boxed.Width() - 1, boxed.Height() - 1), kRed);
}

TEST_F(TextLabel, CentreImageDrawsOneCentredLineAndOtherwiseTheTextWrapsFromTheTop) {
    for (CTextLabel* label : {&dlg.m_centred, &dlg.m_wrapped}) {
        label->SetTextColor(kBlack, FALSE);
        label->SetBkColor(kWhite, TRUE);
    }
    const int nLine = LineHeight(dlg.m_centred);
    ASSERT_GT(nLine, 6);

    const ClientPixels centred(dlg.m_centred);
    const RECT one = InkBox(centred, kWhite);
    ASSERT_LT(one.top, one.bottom) << "no text drawn";
    const int nCellTop = (centred.Height() - nLine) / 2;
    EXPECT_GE(one.top, nCellTop - 1);
    EXPECT_LE(one.bottom, nCellTop + nLine + 1);
    // Wider than the label: cut at both sides, not wrapped.
    EXPECT_LT(one.left, centred.Width() / 10);
    EXPECT_GT(one.right, centred.Width() * 9 / 10);

    const ClientPixels wrapped(dlg.m_wrapped);
    const RECT lines = InkBox(wrapped, kWhite);
    ASSERT_LT(lines.top, lines.bottom) << "no text drawn";
    EXPECT_LT(lines.top, nLine / 2);
    EXPECT_GT(lines.bottom - lines.top, nLine * 3 / 2);
    EXPECT_LT(lines.bottom, wrapped.Height());
}

TEST_F(TextLabel, ColoursWaitForTheNextPaintUnlessRedrawIsAsked) {
    CountingLabel& label = dlg.m_plain;
    label.SetFontBold(TRUE, FALSE);  // solid strokes, for exact text colours
    label.SetFontFace("Arial", 18, FALSE);
    label.SetTextColor(kBlack, FALSE);
    label.SetBkColor(kWhite, TRUE);
    const int nPaints = label.nPaints;

    label.SetBkColor(kRed, FALSE);
    label.SetTextColor(kBlue, FALSE);
    EXPECT_EQ(label.nPaints, nPaints);
    EXPECT_FALSE(PaintPending(label.m_hWnd));
    const ClientPixels unchanged(label);
    EXPECT_EQ(unchanged.Count(Whole(unchanged), kRed), 0);
    EXPECT_EQ(unchanged.Count(Whole(unchanged), kBlue), 0);
    EXPECT_GT(unchanged.Count(Whole(unchanged), kBlack), 0);

    label.Invalidate();  // the next paint shows both
    const ClientPixels repainted(label);
    EXPECT_EQ(repainted.At(repainted.Width() - 1, repainted.Height() - 1), kRed);
    EXPECT_GT(repainted.Count(Whole(repainted), kBlue), 0);
    EXPECT_EQ(repainted.Count(Whole(repainted), kBlack), 0);

    // With redraw the label is painted before the setter returns.
    const int nBefore = label.nPaints;
    label.SetBkColor(kGreen, TRUE);
    EXPECT_EQ(label.nPaints, nBefore + 1);
    EXPECT_FALSE(PaintPending(label.m_hWnd));
    label.SetTextColor(kWhite, TRUE);
    EXPECT_EQ(label.nPaints, nBefore + 2);
    const ClientPixels now(label);
    EXPECT_EQ(label.nPaints, nBefore + 2);  // reading needed no further paint
    EXPECT_EQ(now.At(now.Width() - 1, now.Height() - 1), kGreen);
    EXPECT_GT(now.Count(Whole(now), kWhite), 0);
    EXPECT_EQ(now.Count(Whole(now), kBlue), 0);
}

TEST_F(TextLabel, SetTextRepaintsAtOnceEvenWhenNothingChanged) {
    CountingLabel& label = dlg.m_plain;
    const int nPaints = label.nPaints;
    label.SetText("A");  // its text already
    EXPECT_EQ(label.nPaints, nPaints + 1);
    EXPECT_FALSE(PaintPending(label.m_hWnd));
    label.SetText("Changed");
    EXPECT_EQ(label.nPaints, nPaints + 2);
    EXPECT_EQ(label.GetWindowText(), "Changed");
}

TEST_F(TextLabel, TheFontFollowsTheOrderOfTheCalls) {
    CountingLabel& label = dlg.m_plain;
    const LOGFONTA own = FontOf(label.GetFont());
    ASSERT_STRNE(own.lfFaceName, "Arial");

    // Bold, then face and size: the named face at that size in bold.
    const int nPaints = label.nPaints;
    label.SetFontBold(TRUE, FALSE);
    label.SetFontFace("Arial", 18, FALSE);
    EXPECT_EQ(label.nPaints, nPaints);
    LOGFONTA font = FontOf(label.m_font);
    EXPECT_STREQ(font.lfFaceName, "Arial");
    EXPECT_EQ(font.lfHeight, CTextLabel::PointsToHeight(18));
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    EXPECT_EQ(font.lfCharSet, 0);
    EXPECT_EQ(font.lfWidth, 0);
    EXPECT_FALSE(font.lfItalic);
    // The control's own font stays as the dialog gave it.
    EXPECT_STREQ(FontOf(label.GetFont()).lfFaceName, own.lfFaceName);
    EXPECT_EQ(FontOf(label.GetFont()).lfWeight, own.lfWeight);

    // Bold afterwards starts again from the control's own font.
    const HFONT hArial = label.m_font;
    label.SetFontBold(FALSE, FALSE);
    font = FontOf(label.m_font);
    EXPECT_STREQ(font.lfFaceName, own.lfFaceName);
    EXPECT_EQ(font.lfHeight, own.lfHeight);
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
    EXPECT_EQ(::GetObjectType(hArial), 0u) << "the replaced font was not deleted";

    // No name: the control's face at the size asked, in the current weight.
    label.SetFontBold(TRUE, FALSE);
    label.SetFontFace(nullptr, 10, FALSE);
    font = FontOf(label.m_font);
    EXPECT_STREQ(font.lfFaceName, own.lfFaceName);
    EXPECT_EQ(font.lfHeight, CTextLabel::PointsToHeight(10));
    EXPECT_EQ(font.lfWeight, FW_BOLD);

    // A face name longer than the field is cut to its first 31 characters.
    const std::string longName = "Tavrel Plus Remote Extra Wide Condensed!";
    ASSERT_EQ(longName.size(), 40u);
    label.SetFontFace(longName.c_str(), 11, TRUE);
    EXPECT_EQ(std::string(FontOf(label.m_font).lfFaceName), longName.substr(0, 31));
    EXPECT_EQ(label.nPaints, nPaints + 1);  // only the call with redraw painted
    label.SetFontBold(FALSE, TRUE);
    EXPECT_EQ(label.nPaints, nPaints + 2);
}

TEST_F(TextLabel, PointsToHeightUsesTheScreensResolution) {
    CClientDC screen(nullptr);
    ASSERT_EQ(::GetDeviceCaps(screen, LOGPIXELSY), 96);
    EXPECT_EQ(CTextLabel::PointsToHeight(18), -24);
    EXPECT_EQ(CTextLabel::PointsToHeight(11), -15);
    EXPECT_EQ(CTextLabel::PointsToHeight(10), -13);
}

TEST_F(TextLabel, ReleasesItsBrushesAndFontAndDestroysItsControl) {
    HWND hSpare = dlg.GetDlgItem(IDC_LABEL_SPARE);
    auto label = std::make_unique<CTextLabel>();
    ASSERT_TRUE(label->SubclassWindow(hSpare));

    const HBRUSH hFirst = *label->m_pBackBrush;
    label->SetBkColor(kRed, FALSE);
    EXPECT_EQ(::GetObjectType(hFirst), 0u) << "the replaced brush was not deleted";
    EXPECT_EQ(BrushColour(*label), kRed);

    const HFONT hFont = label->m_font;
    const HBRUSH hBrush = *label->m_pBackBrush;
    ASSERT_EQ(::GetObjectType(hFont), static_cast<DWORD>(OBJ_FONT));
    label.reset();
    EXPECT_EQ(::GetObjectType(hFont), 0u);
    EXPECT_EQ(::GetObjectType(hBrush), 0u);
    EXPECT_FALSE(::IsWindow(hSpare));
    EXPECT_TRUE(::IsWindow(dlg.m_hWnd));
}

}  // namespace
