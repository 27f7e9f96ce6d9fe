// What a window shows: its client area copied from the screen, for tests that
// check colours.
#pragma once

#include <windows.h>

#include <vector>

class ClientPixels {
  public:
    // Paints hWnd now (pending paints included) and copies its client area.
    // The window must be visible and not covered.
    explicit ClientPixels(HWND hWnd);

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    // The colour at (x, y) of the client area; CLR_INVALID outside.
    COLORREF At(int x, int y) const;
    // How many pixels of the rectangle (client coordinates) have colour cr.
    int Count(const RECT& rc, COLORREF cr) const;
    bool operator==(const ClientPixels&) const = default;

  private:
    int m_nWidth = 0;
    int m_nHeight = 0;
    std::vector<DWORD> m_pixels;  // 0x00RRGGBB, rows top to bottom
};

// Dispatches the thread's messages for about nMilliseconds.
void PumpMessages(int nMilliseconds);
