#include "skin/skinned_dialog_win.h"

#include <cstddef>
#include <new>
#include <utility>
#include <vector>

#include "base/gdi_win.h"
#include "framework/high_contrast.h"
#include "skin/skin_placement.h"

namespace {

// A bitmap's pixels as 24-bit top-down rows of nWidth4 pixels (its width cut
// down to a multiple of 4, so rows have no filler), blue, green, red each.
struct BitmapPixels {
    std::vector<BYTE> bits;
    int nWidth4 = 0;
    int nHeight = 0;
};

bool ReadBitmapPixels(HBITMAP hBitmap, BitmapPixels& pixels) {
    BITMAP bm = {};
    if (::GetObjectA(hBitmap, sizeof bm, &bm) != sizeof bm || bm.bmWidth < 0 || bm.bmHeight < 0) {
        return false;
    }
    const int nWidth4 = bm.bmWidth - bm.bmWidth % 4;
    const int nHeight = bm.bmHeight;
    const std::size_t nBytes = static_cast<std::size_t>(nWidth4) * nHeight * 3;
    std::vector<BYTE> bits;
    try {
        bits.resize(nBytes);
    } catch (const std::bad_alloc&) {
        return false;  // no outline rather than an exception out of a window procedure
    }

    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = nWidth4;
    bi.bmiHeader.biHeight = -nHeight;  // top-down rows
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    bi.bmiHeader.biSizeImage = static_cast<DWORD>(nBytes);
    HDC hdcScreen = ::GetWindowDC(nullptr);
    const int nLines = ::GetDIBits(hdcScreen, hBitmap, 0, static_cast<UINT>(nHeight), bits.data(),
                                   &bi, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, hdcScreen);
    if (nLines <= 0) {
        return false;
    }
    pixels.bits = std::move(bits);
    pixels.nWidth4 = nWidth4;
    pixels.nHeight = nHeight;
    return true;
}

}  // namespace

CSkinnedDialog::CSkinnedDialog(UINT nIdTemplate, CWnd* pParent) : CDialog(nIdTemplate, pParent) {}

CSkinnedDialog::~CSkinnedDialog() {
    FreeResources(1);
    if (m_hWnd != nullptr) {
        // As the base does: no message may reach the object from here on.
        HWND hWnd = UnsubclassWindow();
        ::DestroyWindow(hWnd);
    }
}

int CSkinnedDialog::SetBitmap(WORD nIdResource, COLORREF crTransparent) {
    auto hBitmap = static_cast<HBITMAP>(
        ::LoadImageA(ResourceModule(), MAKEINTRESOURCEA(nIdResource), IMAGE_BITMAP, 0, 0, 0));
    return SetBitmap(hBitmap, crTransparent);
}

int CSkinnedDialog::SetBitmap(HBITMAP hBitmap, COLORREF crTransparent) {
    FreeResources(1);
    if (hBitmap == nullptr) {
        RedrawBackground();
        return SKIN_OK;
    }
    m_hBitmap.Attach(hBitmap);
    BITMAP bm = {};
    if (::GetObjectA(hBitmap, sizeof bm, &bm) != sizeof bm) {
        return Fail(SKIN_BAD_HEADER);
    }
    m_nBitmapWidth = bm.bmWidth;
    m_nBitmapHeight = bm.bmHeight;

    if (crTransparent != kNoTransparentColour) {
        CRgn region = BuildRegion(hBitmap, GetRValue(crTransparent), GetGValue(crTransparent),
                                  GetBValue(crTransparent));
        if (!region) {
            return Fail(SKIN_NO_REGION);
        }
        if (::SetWindowRgn(m_hWnd, region, FALSE)) {
            m_hRegion = region.Detach();  // the window's now
        }
        // Otherwise no window took it: it is deleted here.
    }
    RedrawBackground();
    return SKIN_OK;
}

int CSkinnedDialog::Fail(int nResult) {
    FreeResources(1);
    // The old background may still be on screen (and the old outline has
    // just been lifted without a redraw): show the plain one.
    RedrawBackground();
    return nResult;
}

int CSkinnedDialog::SetBitmapStyle(BYTE nStyle, int nRedraw) {
    if (nStyle >= SKIN_MODE_COUNT) {
        return SKIN_BAD_MODE;
    }
    m_nStyle = nStyle;
    if (nRedraw == 1) {
        RedrawBackground();
    }
    return SKIN_OK;
}

void CSkinnedDialog::FreeResources(int nDelete) {
    if (nDelete == 1) {
        m_hBitmap.DeleteObject();
        // The window owns the region and releases it when it is taken off;
        // a destroyed window has released it already.
        if (m_hRegion != nullptr && m_hWnd != nullptr && ::IsWindow(m_hWnd)) {
            ::SetWindowRgn(m_hWnd, nullptr, FALSE);
        }
    }
    m_hBitmap.Detach();
    m_hRegion = nullptr;
    m_nBitmapWidth = 0;
    m_nBitmapHeight = 0;
}

CRgn CSkinnedDialog::BuildRegion(HBITMAP hBitmap, BYTE red, BYTE green, BYTE blue) {
    BitmapPixels pixels;
    if (!ReadBitmapPixels(hBitmap, pixels)) {
        return CRgn();
    }
    CRgn region(::CreateRectRgn(0, 0, pixels.nWidth4, pixels.nHeight));
    if (!region) {
        return region;
    }
    const BYTE* p = pixels.bits.data();
    for (int y = 0; y < pixels.nHeight; ++y) {
        for (int x = 0; x < pixels.nWidth4; ++x, p += 3) {
            if (p[0] == blue && p[1] == green && p[2] == red) {
                const CRgn pixel(::CreateRectRgn(x, y, x + 1, y + 1));
                ::CombineRgn(region, region, pixel, RGN_XOR);
            }
        }
    }
    return region;
}

void CSkinnedDialog::RedrawBackground() const {
    // Without a window, InvalidateRect would redraw every window there is.
    if (m_hWnd != nullptr) {
        Invalidate(true);
    }
}

LRESULT CSkinnedDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
        case WM_SIZE:
            return OnSize();
        default:
            return CDialog::WindowProc(message, wParam, lParam);
    }
}

LRESULT CSkinnedDialog::OnEraseBkgnd(HDC hdc) {
    if (IsHighContrastOn()) {
        // The user's colours only: no picture behind the controls. The
        // bitmap is kept for when high contrast is switched off.
        const RECT rc = GetClientRect();
        ::FillRect(hdc, &rc, ::GetSysColorBrush(COLOR_WINDOW));
        return TRUE;
    }
    const LRESULT result = Default();
    if (!m_hBitmap) {
        return result;
    }
    const RECT rc = GetClientRect();
    const int nWidth = rc.right - rc.left;
    const int nHeight = rc.bottom - rc.top;

    // Compose the whole background off screen, then copy it in one go.
    CMemoryDC dcBack(hdc);
    CBitmap bmBack(::CreateCompatibleBitmap(hdc, nWidth, nHeight));
    CSelectObject selectBack(dcBack, bmBack);
    ::SetBkColor(dcBack, ::GetBkColor(hdc));
    ::ExtTextOutA(dcBack, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);

    CMemoryDC dcBitmap(hdc);
    CSelectObject selectBitmap(dcBitmap, m_hBitmap);
    for (const SkinCopy& copy :
         SkinPlacement(m_nStyle, nWidth, nHeight, m_nBitmapWidth, m_nBitmapHeight)) {
        if (copy.bStretch) {
            ::StretchBlt(dcBack, copy.x, copy.y, copy.cx, copy.cy, dcBitmap, 0, 0, m_nBitmapWidth,
                         m_nBitmapHeight, SRCCOPY);
        } else {
            ::BitBlt(dcBack, copy.x, copy.y, copy.cx, copy.cy, dcBitmap, 0, 0, SRCCOPY);
        }
    }
    ::BitBlt(hdc, 0, 0, nWidth, nHeight, dcBack, 0, 0, SRCCOPY);
    return result;
}

LRESULT CSkinnedDialog::OnSize() {
    const LRESULT result = Default();
    if (m_hBitmap) {
        // The placement depends on the client area's size: lay it out anew.
        RedrawBackground();
    }
    return result;
}
