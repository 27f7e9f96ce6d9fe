// The skinned dialog under Wine: its placements as the screen shows them,
// the outline cut from a bitmap, the results of its setters, the bitmaps it
// owns, and what it leaves to be repainted.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "framework/gdi.h"
#include "panel/skinned_dialog.h"
#include "pixels.h"
#include "resource.h"
#include "skin_test_ids.h"

namespace {

constexpr COLORREF kDialogColour = RGB(0, 0, 128);  // in no test bitmap
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGrey = RGB(128, 128, 128);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kKey = RGB(200, 40, 10);  // the transparent colour
constexpr COLORREF kNone = CSkinnedDialog::kNoTransparentColour;

using ColourFn = std::function<COLORREF(int x, int y)>;

// A w x h bitmap (a 32-bit DIB section) whose pixel (x, y) is fnColour(x, y).
HBITMAP MakeBitmap(int w, int h, const ColourFn& fnColour) {
    BITMAPINFO bi = PixelFormat(w, h);
    void* pBits = nullptr;
    HBITMAP hBitmap = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    if (hBitmap == nullptr || pBits == nullptr) {
        ADD_FAILURE() << "CreateDIBSection " << w << " x " << h;
        return hBitmap;
    }
    auto* p = static_cast<DWORD*>(pBits);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const COLORREF cr = fnColour(x, y);
            p[y * w + x] = (GetRValue(cr) << 16) | (GetGValue(cr) << 8) | GetBValue(cr);
        }
    }
    ::GdiFlush();
    return hBitmap;
}

HBITMAP Solid(int w, int h, COLORREF cr) {
    return MakeBitmap(w, h, [cr](int, int) { return cr; });
}

// Red top-left, green top-right, blue bottom-left, yellow bottom-right
// quarters of a w x h picture.
COLORREF Quarter(int x, int y, int w, int h) {
    if (y < h / 2) {
        return x < w / 2 ? kRed : kGreen;
    }
    return x < w / 2 ? kBlue : kYellow;
}

HBITMAP Quarters(int w, int h) {
    return MakeBitmap(w, h, [w, h](int x, int y) { return Quarter(x, y, w, h); });
}

bool Alive(HBITMAP hBitmap) {
    BITMAP bm = {};
    return ::GetObjectA(hBitmap, sizeof bm, &bm) == sizeof bm;
}

std::vector<LONG> Box(const RECT& rc) {
    return {rc.left, rc.top, rc.right, rc.bottom};
}

// How many pixels of the client area differ from fnExpected.
int Mismatches(const ClientPixels& px, const ColourFn& fnExpected) {
    int n = 0;
    for (int y = 0; y < px.Height(); ++y) {
        for (int x = 0; x < px.Width(); ++x) {
            n += px.At(x, y) == fnExpected(x, y) ? 0 : 1;
        }
    }
    return px.Empty() ? -1 : n;
}

// The dialog with a colour of its own, set as the system's default handling
// sets it: the brush for the erase and the device context's background.
class SkinDialog : public CSkinnedDialog {
  public:
    SkinDialog() : CSkinnedDialog(IDD_SKIN_TEST) {}

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_CTLCOLORDLG) {
            ::SetBkColor(reinterpret_cast<HDC>(wParam), kDialogColour);
            return reinterpret_cast<LRESULT>(m_brush.Get());
        }
        return CSkinnedDialog::WindowProc(message, wParam, lParam);
    }

  private:
    CBrush m_brush{::CreateSolidBrush(kDialogColour)};
};

class SkinnedDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dlg.Create());
        SetClientSize(37, 29);  // no multiple of 4 either way
        m_dlg.ShowWindow(SW_SHOWNORMAL);
    }

    void SetClientSize(int cx, int cy) {
        RECT rc = {0, 0, cx, cy};
        ::AdjustWindowRectEx(&rc, static_cast<DWORD>(m_dlg.GetStyle()), FALSE,
                             static_cast<DWORD>(::GetWindowLongA(m_dlg, GWL_EXSTYLE)));
        ::SetWindowPos(m_dlg, nullptr, 40, 40, rc.right - rc.left, rc.bottom - rc.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        ASSERT_EQ(Box(m_dlg.GetClientRect()), (std::vector<LONG>{0, 0, cx, cy}));
    }

    // Reads the client area until it shows fnExpected everywhere (or
    // satisfies fnDone), for up to five seconds; the last reading is
    // returned for the checks.
    ClientPixels WaitForPixels(const ColourFn& fnExpected) {
        return WaitFor([&](const ClientPixels& px) { return Mismatches(px, fnExpected) == 0; });
    }
    ClientPixels WaitFor(const std::function<bool(const ClientPixels&)>& fnDone) {
        const DWORD dwStart = ::GetTickCount();
        for (;;) {
            ClientPixels px(m_dlg);
            if (fnDone(px) || ::GetTickCount() - dwStart > 5000) {
                return px;
            }
            PumpMessages(20);
        }
    }

    void ExpectShows(const ColourFn& fnExpected, const char* pszWhat) {
        const ClientPixels px = WaitForPixels(fnExpected);
        EXPECT_EQ(Mismatches(px, fnExpected), 0) << pszWhat;
    }

    // Paints what is pending and leaves nothing to be painted.
    void Validate() {
        ::UpdateWindow(m_dlg);
        ::ValidateRect(m_dlg, nullptr);
        ASSERT_FALSE(::GetUpdateRect(m_dlg, nullptr, FALSE));
    }

    // The update region's bounds; empty when nothing waits to be painted.
    std::vector<LONG> Pending() {
        RECT rc = {};
        return ::GetUpdateRect(m_dlg, &rc, FALSE) ? Box(rc) : std::vector<LONG>{};
    }

    int SetBitmap(HBITMAP hBitmap, COLORREF crTransparent = kNone) {
        return m_dlg.SetBitmap(hBitmap, crTransparent);
    }

    SkinDialog m_dlg;
};

TEST_F(SkinnedDialog, WithoutABitmapThePlainDialogBackgroundShows) {
    ExpectShows([](int, int) { return kDialogColour; }, "before any bitmap");
    ASSERT_EQ(SetBitmap(Solid(4, 4, kWhite)), 0);
    ExpectShows([](int, int) { return kWhite; }, "white tiles");

    EXPECT_EQ(SetBitmap(nullptr), 0);
    EXPECT_EQ(m_dlg.m_hBitmap, nullptr);
    ExpectShows([](int, int) { return kDialogColour; }, "the bitmap taken away");

    // A bitmap resource that does not exist counts as none.
    ASSERT_EQ(SetBitmap(Solid(4, 4, kWhite)), 0);
    EXPECT_EQ(m_dlg.SetBitmap(static_cast<WORD>(IDB_SKIN_MISSING), kNone), 0);
    EXPECT_EQ(m_dlg.m_hBitmap, nullptr);
    ExpectShows([](int, int) { return kDialogColour; }, "a missing resource");
}

TEST_F(SkinnedDialog, TilesFillTheAreaIncludingThePartialLastRowAndColumn) {
    ASSERT_EQ(SetBitmap(Solid(4, 4, kWhite)), 0);
    EXPECT_EQ(m_dlg.m_nStyle, 0);
    ExpectShows([](int, int) { return kWhite; }, "a white tile");

    // The panel's own background, from the program's resources, as it sets it.
    ASSERT_EQ(m_dlg.SetBitmap(static_cast<WORD>(IDB_PANEL_BACKGROUND), kNone), 0);
    ASSERT_EQ(m_dlg.SetBitmapStyle(0, 1), 0);
    EXPECT_EQ(m_dlg.m_nBitmapWidth, 4);
    EXPECT_EQ(m_dlg.m_nBitmapHeight, 4);
    EXPECT_EQ(m_dlg.m_hRegion, nullptr);
    ExpectShows([](int, int) { return kWhite; }, "bitmap 141");

    // Where the copies go: the quartered bitmap from the resources repeats
    // every 4 pixels from the top-left corner.
    ASSERT_EQ(m_dlg.SetBitmap(static_cast<WORD>(IDB_SKIN_QUADRANTS), kNone), 0);
    EXPECT_EQ(m_dlg.m_nBitmapWidth, 4);
    EXPECT_EQ(m_dlg.m_nBitmapHeight, 4);
    ExpectShows([](int x, int y) { return Quarter(x % 4, y % 4, 4, 4); }, "quartered tiles");
}

TEST_F(SkinnedDialog, CentreShowsTheMiddleOfALargerBitmap) {
    SetClientSize(50, 50);
    ASSERT_EQ(SetBitmap(Quarters(100, 100)), 0);
    ASSERT_EQ(m_dlg.SetBitmapStyle(1, 1), 0);
    // Drawn at (-25, -25): a quarter of each colour.
    ExpectShows([](int x, int y) { return Quarter(x + 25, y + 25, 100, 100); }, "centred");
}

TEST_F(SkinnedDialog, EdgesCornersAndStretchOnScreen) {
    // An 8 x 6 picture in 37 x 29; the rest is the dialog colour.
    ASSERT_EQ(SetBitmap(Quarters(8, 6)), 0);
    struct Case {
        BYTE nMode;
        int x;
        int y;
        bool bColumn;  // repeated down the column at x
    };
    const Case cases[] = {
        {6, 29, 0, true},   // down the right edge, the last copy cut at the bottom
        {9, 14, 0, false},  // centred on the top edge: half of 29 rounded down
        {11, 29, 23, false},
        {12, 14, 23, false},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(m_dlg.SetBitmapStyle(c.nMode, 1), 0);
        ExpectShows(
            [&c](int x, int y) {
                const int dx = x - c.x;
                const int dy = c.bColumn ? y % 6 : y - c.y;
                return dx >= 0 && dx < 8 && dy >= 0 && dy < 6 ? Quarter(dx, dy, 8, 6)
                                                              : kDialogColour;
            },
            ("mode " + std::to_string(c.nMode)).c_str());
    }

    ASSERT_EQ(m_dlg.SetBitmapStyle(2, 1), 0);
    const ClientPixels px = WaitFor(
        [](const ClientPixels& p) { return p.At(0, 0) == kRed && p.At(36, 28) == kYellow; });
    EXPECT_EQ(px.At(0, 0), kRed);
    EXPECT_EQ(px.At(36, 0), kGreen);
    EXPECT_EQ(px.At(0, 28), kBlue);
    EXPECT_EQ(px.At(36, 28), kYellow);
    EXPECT_EQ(px.Count({0, 0, 37, 29}, kDialogColour), 0) << "the stretch covers everything";
}

TEST_F(SkinnedDialog, TheOutlineLosesEveryPixelOfTheTransparentColour) {
    // 10 x 6: the top row and (2, 1) have the key; near misses in each
    // component, and the key with red and blue swapped, stay.
    const HBITMAP hBitmap = MakeBitmap(10, 6, [](int x, int y) {
        if (y == 0 || (x == 2 && y == 1)) {
            return kKey;
        }
        if (y == 3 && x >= 4 && x <= 7) {
            const COLORREF misses[] = {RGB(201, 40, 10), RGB(200, 41, 10), RGB(200, 40, 11),
                                       RGB(10, 40, 200)};
            return misses[x - 4];
        }
        return kGrey;
    });
    ASSERT_EQ(SetBitmap(hBitmap, kKey), 0);
    EXPECT_NE(m_dlg.m_hRegion, nullptr);

    CGdiObject<HRGN> rgn(::CreateRectRgn(0, 0, 0, 0));
    ASSERT_EQ(::GetWindowRgn(m_dlg, rgn), COMPLEXREGION);
    RECT box = {};
    ::GetRgnBox(rgn, &box);
    // Columns 8 and 9 lie beyond the last whole group of four.
    EXPECT_EQ(Box(box), (std::vector<LONG>{0, 1, 8, 6}));
    EXPECT_FALSE(::PtInRegion(rgn, 2, 1));
    EXPECT_TRUE(::PtInRegion(rgn, 3, 1));
    EXPECT_TRUE(::PtInRegion(rgn, 1, 1));
    for (int x = 4; x <= 7; ++x) {
        EXPECT_TRUE(::PtInRegion(rgn, x, 3)) << "near miss at " << x;
    }
    EXPECT_TRUE(::PtInRegion(rgn, 7, 5));
    EXPECT_FALSE(::PtInRegion(rgn, 8, 5));

    // All of it transparent: nothing of the window is left.
    ASSERT_EQ(SetBitmap(Solid(12, 5, kKey), kKey), 0);
    EXPECT_EQ(::GetWindowRgn(m_dlg, rgn), NULLREGION);

    // No transparent colour: the window is rectangular again.
    ASSERT_EQ(SetBitmap(Solid(12, 5, kKey), kNone), 0);
    EXPECT_EQ(m_dlg.m_hRegion, nullptr);
    EXPECT_EQ(::GetWindowRgn(m_dlg, rgn), ERROR);
}

TEST_F(SkinnedDialog, SetBitmapResultsAndWhatAFailureFrees) {
    const HBITMAP hFirst = MakeBitmap(8, 4, [](int x, int) { return x == 0 ? kKey : kGrey; });
    ASSERT_EQ(SetBitmap(hFirst, kKey), 0);
    EXPECT_EQ(m_dlg.m_nBitmapWidth, 8);
    EXPECT_EQ(m_dlg.m_nBitmapHeight, 4);
    CGdiObject<HRGN> rgn(::CreateRectRgn(0, 0, 0, 0));
    ASSERT_EQ(::GetWindowRgn(m_dlg, rgn), SIMPLEREGION);

    // A handle whose header cannot be read: 1, and nothing is left.
    const HBITMAP hStale = Solid(4, 4, kWhite);
    ::DeleteObject(hStale);
    EXPECT_EQ(SetBitmap(hStale, kKey), 1);
    EXPECT_FALSE(Alive(hFirst));
    EXPECT_EQ(m_dlg.m_hBitmap, nullptr);
    EXPECT_EQ(m_dlg.m_hRegion, nullptr);
    EXPECT_EQ(m_dlg.m_nBitmapWidth, 0);
    EXPECT_EQ(m_dlg.m_nBitmapHeight, 0);
    EXPECT_EQ(::GetWindowRgn(m_dlg, rgn), ERROR);
    ExpectShows([](int, int) { return kDialogColour; }, "after result 1");

    // Something that is not a bitmap is no bitmap either, and is still taken over.
    const HBRUSH hBrush = ::CreateSolidBrush(kGrey);
    EXPECT_EQ(SetBitmap(reinterpret_cast<HBITMAP>(hBrush)), 1);
    LOGBRUSH lb = {};
    EXPECT_EQ(::GetObjectA(hBrush, sizeof lb, &lb), 0);

    // A bitmap narrower than 4 has no pixels to build an outline from: 3,
    // and the bitmap goes too. Without a transparent colour it is fine.
    const HBITMAP hNarrow = Solid(3, 4, kGrey);
    EXPECT_EQ(SetBitmap(hNarrow, kKey), 3);
    EXPECT_FALSE(Alive(hNarrow));
    EXPECT_EQ(m_dlg.m_hBitmap, nullptr);
    EXPECT_EQ(::GetWindowRgn(m_dlg, rgn), ERROR);
    const HBITMAP hNarrowPlain = Solid(3, 4, kGrey);
    EXPECT_EQ(SetBitmap(hNarrowPlain), 0);
    EXPECT_EQ(m_dlg.m_hBitmap, hNarrowPlain);
    EXPECT_EQ(m_dlg.m_nBitmapWidth, 3);
}

TEST_F(SkinnedDialog, ReplacedBitmapsAreDeletedAndTheLastOneWithTheObject) {
    const HBITMAP hFirst = Solid(4, 4, kWhite);
    const HBITMAP hSecond = Solid(4, 4, kGrey);
    ASSERT_EQ(SetBitmap(hFirst), 0);
    ASSERT_EQ(m_dlg.SetBitmapStyle(7, 0), 0);
    ASSERT_EQ(SetBitmap(hSecond), 0);
    EXPECT_FALSE(Alive(hFirst));
    EXPECT_TRUE(Alive(hSecond));
    EXPECT_EQ(m_dlg.m_nStyle, 7) << "the mode outlives the bitmap";

    HWND hWnd = nullptr;
    const HBITMAP hThird = Solid(4, 4, kWhite);
    {
        SkinDialog other;
        ASSERT_TRUE(other.Create());
        hWnd = other;
        ASSERT_EQ(other.SetBitmap(hThird, kNone), 0);
    }
    EXPECT_FALSE(Alive(hThird));
    EXPECT_FALSE(::IsWindow(hWnd));
}

TEST_F(SkinnedDialog, SetBitmapStyleChecksTheModeAndRedrawsOnlyForOne) {
    Validate();
    EXPECT_EQ(m_dlg.SetBitmapStyle(12, 0), 0);
    EXPECT_EQ(m_dlg.m_nStyle, 12);
    EXPECT_EQ(m_dlg.SetBitmapStyle(13, 1), 2);
    EXPECT_EQ(m_dlg.SetBitmapStyle(255, 1), 2);
    EXPECT_EQ(m_dlg.m_nStyle, 12);
    EXPECT_EQ(m_dlg.SetBitmapStyle(5, 2), 0);
    EXPECT_EQ(m_dlg.m_nStyle, 5);
    EXPECT_EQ(Pending(), std::vector<LONG>{}) << "no redraw without the value 1";

    EXPECT_EQ(m_dlg.SetBitmapStyle(3, 1), 0);
    EXPECT_EQ(Pending(), (std::vector<LONG>{0, 0, 37, 29}));
}

TEST_F(SkinnedDialog, SizingRedrawsTheWholeBackgroundOnlyWithABitmap) {
    Validate();
    m_dlg.SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(37, 29));
    EXPECT_EQ(Pending(), std::vector<LONG>{});

    ASSERT_EQ(SetBitmap(Solid(4, 4, kWhite)), 0);
    Validate();
    m_dlg.SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(37, 29));
    EXPECT_EQ(Pending(), (std::vector<LONG>{0, 0, 37, 29}));

    // A centred picture moves with the size, also where the window shrank
    // and the system itself would repaint nothing.
    SetClientSize(60, 60);
    ASSERT_EQ(SetBitmap(Quarters(100, 100)), 0);
    ASSERT_EQ(m_dlg.SetBitmapStyle(1, 1), 0);
    ExpectShows([](int x, int y) { return Quarter(x + 20, y + 20, 100, 100); }, "60 x 60");
    SetClientSize(50, 50);
    ExpectShows([](int x, int y) { return Quarter(x + 25, y + 25, 100, 100); }, "shrunk");
}

}  // namespace
