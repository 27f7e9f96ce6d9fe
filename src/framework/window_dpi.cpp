#include "framework/window_dpi.h"

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);

// A function of user32 by name, or null where this system has none.
template <typename Fn>
Fn User32Function(const char* pszName) {
    HMODULE hUser = ::GetModuleHandleA("user32.dll");
    if (hUser == nullptr) {
        return nullptr;
    }
    // The cast through void (*)() is how a looked-up address becomes a typed
    // function pointer without a compiler's cast-function-type complaint.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(hUser, pszName)));
}

UINT DeviceDpi(HWND hWnd) {
    HDC hdc = ::GetDC(hWnd);
    if (hdc == nullptr) {
        return 0;
    }
    const int nDpi = ::GetDeviceCaps(hdc, LOGPIXELSY);
    ::ReleaseDC(hWnd, hdc);
    return nDpi > 0 ? static_cast<UINT>(nDpi) : 0;
}

// A combo box, also of a version the activation context chose: its class
// name may then carry the version before a '!'.
bool IsComboBox(HWND hWnd) {
    char szClass[256] = {};
    const int nLength = ::GetClassNameA(hWnd, szClass, sizeof szClass);
    constexpr int kName = 8;  // "ComboBox"
    return nLength >= kName && ::lstrcmpiA(szClass + nLength - kName, "ComboBox") == 0 &&
           (nLength == kName || szClass[nLength - kName - 1] == '!');
}

}  // namespace

UINT DpiOfWindow(HWND hWnd) {
    static const auto pGetDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
    UINT nDpi = 0;
    if (hWnd != nullptr && pGetDpiForWindow != nullptr) {
        nDpi = pGetDpiForWindow(hWnd);
    }
    if (nDpi == 0) {
        nDpi = DeviceDpi(hWnd);
    }
    return static_cast<UINT>(dpi_scale::ValidDpi(static_cast<int>(nDpi)));
}

int SystemMetricForDpi(int nIndex, UINT nDpi) {
    static const auto pForDpi = User32Function<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    if (pForDpi != nullptr) {
        return pForDpi(nIndex, nDpi);
    }
    // Without per-monitor metrics the system's are for its own resolution.
    return dpi_scale::RescaleDpi(::GetSystemMetrics(nIndex), static_cast<int>(DpiOfWindow(nullptr)),
                                 static_cast<int>(nDpi));
}

void MoveToSuggestedRect(HWND hWnd, LPARAM lParam) {
    const RECT* pRect = reinterpret_cast<const RECT*>(lParam);
    if (pRect == nullptr) {
        return;
    }
    ::SetWindowPos(hWnd, nullptr, pRect->left, pRect->top, pRect->right - pRect->left,
                   pRect->bottom - pRect->top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDpiLayout::Record(HWND hDlg) {
    m_children.clear();
    m_nDpi = DpiOfWindow(hDlg);
    for (HWND hChild = ::GetWindow(hDlg, GW_CHILD); hChild != nullptr;
         hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
        RECT rc = {};
        ::GetWindowRect(hChild, &rc);
        if (IsComboBox(hChild)) {
            // The list's rectangle from the box's top edge; only its height
            // is taken, as not every system reports it in screen coordinates.
            // Its result is not looked at: some systems answer 0 (CB_OKAY).
            RECT rcDropped = {};
            ::SendMessageA(hChild, CB_GETDROPPEDCONTROLRECT, 0,
                           reinterpret_cast<LPARAM>(&rcDropped));
            if (rcDropped.bottom - rcDropped.top > rc.bottom - rc.top) {
                rc.bottom = rc.top + (rcDropped.bottom - rcDropped.top);
            }
        }
        ::MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&rc), 2);
        m_children.push_back({hChild, {rc.left, rc.top, rc.right, rc.bottom}});
    }
}

void CDpiLayout::Apply(HWND hDlg, UINT nDpi) const {
    HDWP hPos = ::BeginDeferWindowPos(static_cast<int>(m_children.size()));
    for (const Child& child : m_children) {
        if (!::IsWindow(child.hWnd) || ::GetParent(child.hWnd) != hDlg) {
            continue;
        }
        const dpi_scale::Rect rc =
            dpi_scale::RescaleRect(child.rc, static_cast<int>(m_nDpi), static_cast<int>(nDpi));
        const UINT nFlags = SWP_NOZORDER | SWP_NOACTIVATE;
        if (hPos != nullptr) {
            hPos = ::DeferWindowPos(hPos, child.hWnd, nullptr, rc.left, rc.top, rc.right - rc.left,
                                    rc.bottom - rc.top, nFlags);
        } else {
            ::SetWindowPos(child.hWnd, nullptr, rc.left, rc.top, rc.right - rc.left,
                           rc.bottom - rc.top, nFlags);
        }
    }
    if (hPos != nullptr) {
        ::EndDeferWindowPos(hPos);
    }
}
