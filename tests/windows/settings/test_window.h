// A plain top-level window for the settings tests, known to the window layer,
// that notes the hot keys it receives.
#pragma once

#include <windows.h>

#include <vector>

#include "framework/wnd.h"

class CTestWindow : public CWnd {
  public:
    // A popup window at (x, y), visible or not.
    CTestWindow(int x, int y, int nWidth, int nHeight, bool bVisible) {
        static const char* const kClass = "TavrelSettingsTestWindow";
        static bool bRegistered = false;
        if (!bRegistered) {
            WNDCLASSA wc = {};
            wc.lpfnWndProc = ::DefWindowProcA;
            wc.hInstance = ::GetModuleHandleA(nullptr);
            wc.lpszClassName = kClass;
            wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
            bRegistered = ::RegisterClassA(&wc) != 0;
        }
        HWND hWnd = ::CreateWindowExA(
            0, kClass, "settings test", WS_OVERLAPPEDWINDOW | (bVisible ? WS_VISIBLE : 0), x, y,
            nWidth, nHeight, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        SubclassWindow(hWnd);
    }
    ~CTestWindow() override {
        HWND hWnd = m_hWnd;
        UnsubclassWindow();
        ::DestroyWindow(hWnd);
    }

    std::vector<WPARAM> m_hotKeys;  // ids of the WM_HOTKEY messages received

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_HOTKEY) {
            m_hotKeys.push_back(wParam);
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

// Dispatches this thread's messages until done() holds or nMilliseconds
// have passed; done()'s last answer.
template <typename Done>
bool PumpUntil(Done done, DWORD nMilliseconds) {
    const DWORD dwStart = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        if (done()) {
            return true;
        }
        if (::GetTickCount() - dwStart >= nMilliseconds) {
            return false;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}
