#include "window_checks.h"

#include <cstdio>
#include <vector>

RECT InkBox(const ClientPixels& pixels, COLORREF crBack) {
    RECT box = {pixels.Width(), pixels.Height(), 0, 0};
    for (int y = 0; y < pixels.Height(); ++y) {
        for (int x = 0; x < pixels.Width(); ++x) {
            if (pixels.At(x, y) != crBack) {
                box.left = x < box.left ? x : box.left;
                box.top = y < box.top ? y : box.top;
                box.right = x + 1 > box.right ? x + 1 : box.right;
                box.bottom = y + 1 > box.bottom ? y + 1 : box.bottom;
            }
        }
    }
    return box;
}

int InkCount(const ClientPixels& pixels, COLORREF crBack) {
    const RECT all = {0, 0, pixels.Width(), pixels.Height()};
    return pixels.Width() * pixels.Height() - pixels.Count(all, crBack);
}

bool SaveWindowBitmap(HWND hWnd, const std::string& path) {
    RECT rc = {};
    if (!::GetWindowRect(hWnd, &rc)) {
        return false;
    }
    const int w = rc.right - rc.left;
    const int h = rc.bottom - rc.top;
    if (w <= 0 || h <= 0) {
        return false;
    }
    ::RedrawWindow(hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    ::GdiFlush();

    // Bottom-up, as a .bmp file keeps its rows.
    BITMAPINFO bi = PixelFormat(w, h, 24, true);
    const DWORD nStride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
    bi.bmiHeader.biSizeImage = nStride * static_cast<DWORD>(h);

    HDC hdcWindow = ::GetWindowDC(hWnd);
    HDC hdcMem = ::CreateCompatibleDC(hdcWindow);
    void* pBits = nullptr;
    HBITMAP hbm = ::CreateDIBSection(hdcWindow, &bi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    bool bRead = false;
    std::vector<unsigned char> bits;
    if (hbm != nullptr && pBits != nullptr) {
        HGDIOBJ hOld = ::SelectObject(hdcMem, hbm);
        bRead = ::BitBlt(hdcMem, 0, 0, w, h, hdcWindow, 0, 0, SRCCOPY) != FALSE;
        ::GdiFlush();
        const auto* p = static_cast<const unsigned char*>(pBits);
        bits.assign(p, p + bi.bmiHeader.biSizeImage);
        ::SelectObject(hdcMem, hOld);
    }
    if (hbm != nullptr) {
        ::DeleteObject(hbm);
    }
    ::DeleteDC(hdcMem);
    ::ReleaseDC(hWnd, hdcWindow);
    if (!bRead) {
        return false;
    }

    BITMAPFILEHEADER bf = {};
    bf.bfType = 0x4D42;  // "BM"
    bf.bfOffBits = sizeof bf + sizeof bi.bmiHeader;
    bf.bfSize = bf.bfOffBits + bi.bmiHeader.biSizeImage;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    bool bWritten = std::fwrite(&bf, sizeof bf, 1, f) == 1 &&
                    std::fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
                    std::fwrite(bits.data(), bits.size(), 1, f) == 1;
    bWritten = std::fclose(f) == 0 && bWritten;
    return bWritten;
}

bool WaitFor(const std::function<bool()>& done, int nMilliseconds) {
    const DWORD dwStart = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - dwStart >= static_cast<DWORD>(nMilliseconds)) {
            return done();
        }
        PumpMessages(10);
    }
    return true;
}

LOGFONTA FontOf(HFONT hFont) {
    LOGFONTA lf = {};
    if (hFont == nullptr || ::GetObjectA(hFont, sizeof lf, &lf) != sizeof lf) {
        lf = {};
    }
    return lf;
}

const UINT kDefaultHotKeys[8] = {VK_F5, VK_F6, VK_F7, VK_F8, VK_F11, VK_F12, VK_F9, VK_F10};

bool HotKeyTaken(HWND hRival, UINT nModifiers, UINT vk) {
    if (::RegisterHotKey(hRival, 1, nModifiers, vk)) {
        ::UnregisterHotKey(hRival, 1);
        return false;
    }
    return true;
}

int CountDefaultHotKeysTaken(HWND hRival) {
    int n = 0;
    for (UINT vk : kDefaultHotKeys) {
        n += HotKeyTaken(hRival, MOD_CONTROL, vk) ? 1 : 0;
    }
    return n;
}

int IconWidth(HICON hIcon) {
    ICONINFO info = {};
    if (hIcon == nullptr || !::GetIconInfo(hIcon, &info)) {
        return 0;
    }
    BITMAP bm = {};
    ::GetObjectA(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
    if (info.hbmColor != nullptr) {
        ::DeleteObject(info.hbmColor);
    }
    ::DeleteObject(info.hbmMask);
    return bm.bmWidth;
}

int NotificationAreaLeft(HWND hTaskbar) {
    int nLeft = 0;
    for (HWND hChild = ::GetWindow(hTaskbar, GW_CHILD); hChild != nullptr;
         hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
        RECT rc = {};
        if (::IsWindowVisible(hChild) && ::GetWindowRect(hChild, &rc)) {
            POINT pt = {rc.right, rc.top};
            ::ScreenToClient(hTaskbar, &pt);
            nLeft = pt.x > nLeft ? pt.x : nLeft;
        }
    }
    return nLeft;
}
