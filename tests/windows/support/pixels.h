// Reading what a window shows: its client area copied from the screen into a
// 32-bit top-down bitmap, for tests that check colours.
#pragma once

#include <windows.h>

#include <vector>

// The description of a bitmap of nWidth x nHeight pixels of nBits each
// (32: 0x00RRGGBB), its rows top to bottom unless bBottomUp.
BITMAPINFO PixelFormat(int nWidth, int nHeight, int nBits = 32, bool bBottomUp = false);

class ClientPixels {
  public:
    // Paints hWnd now (pending paints included) and copies its client area.
    // The window must be visible and not covered.
    explicit ClientPixels(HWND hWnd);

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    bool Empty() const { return m_pixels.empty(); }
    // The colour at (x, y) of the client area, as a COLORREF; CLR_INVALID outside.
    COLORREF At(int x, int y) const;
    // How many pixels of the rectangle (client coordinates) have colour cr.
    int Count(const RECT& rc, COLORREF cr) const;
    // True when every pixel of the rectangle has colour cr.
    bool All(const RECT& rc, COLORREF cr) const;

  private:
    int m_nWidth = 0;
    int m_nHeight = 0;
    std::vector<DWORD> m_pixels;  // 0x00RRGGBB, rows top to bottom
};

// Pumps the thread's messages for about nMilliseconds (timers, paints,
// posted messages), without a fixed sleep deciding any outcome.
void PumpMessages(int nMilliseconds);
