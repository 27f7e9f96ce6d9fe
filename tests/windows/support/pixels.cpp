#include "pixels.h"

ClientPixels::ClientPixels(HWND hWnd) {
    ::RedrawWindow(hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT rc = {};
    ::GetClientRect(hWnd, &rc);
    const int w = rc.right, h = rc.bottom;
    if (w <= 0 || h <= 0) {
        return;
    }
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof bi.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC hdcWindow = ::GetDC(hWnd);
    HDC hdcMem = ::CreateCompatibleDC(hdcWindow);
    void* pBits = nullptr;
    HBITMAP hbm = ::CreateDIBSection(hdcWindow, &bi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    if (hbm != nullptr && pBits != nullptr) {
        HGDIOBJ hOld = ::SelectObject(hdcMem, hbm);
        ::BitBlt(hdcMem, 0, 0, w, h, hdcWindow, 0, 0, SRCCOPY);
        ::GdiFlush();
        const auto* p = static_cast<const DWORD*>(pBits);
        m_pixels.assign(p, p + static_cast<size_t>(w) * h);
        m_nWidth = w;
        m_nHeight = h;
        ::SelectObject(hdcMem, hOld);
    }
    if (hbm != nullptr) {
        ::DeleteObject(hbm);
    }
    ::DeleteDC(hdcMem);
    ::ReleaseDC(hWnd, hdcWindow);
}

COLORREF ClientPixels::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight) {
        return CLR_INVALID;
    }
    const DWORD v = m_pixels[static_cast<size_t>(y) * m_nWidth + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

int ClientPixels::Count(const RECT& rc, COLORREF cr) const {
    int n = 0;
    for (int y = rc.top; y < rc.bottom; ++y) {
        for (int x = rc.left; x < rc.right; ++x) {
            n += At(x, y) == cr ? 1 : 0;
        }
    }
    return n;
}

void PumpMessages(int nMilliseconds) {
    const DWORD dwEnd = ::GetTickCount() + static_cast<DWORD>(nMilliseconds);
    MSG msg;
    while (static_cast<LONG>(dwEnd - ::GetTickCount()) > 0) {
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}
