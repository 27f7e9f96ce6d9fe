#include "framework/wnd.h"

#include "base/failure_log_win.h"
#include "base/placement.h"
#include "base/utf16.h"

#include <commctrl.h>

#include <cstdio>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

namespace {

constexpr UINT_PTR kSubclassId = 0x7A17;  // the layer's subclass on every window it knows

// HWND to object, for the windows of the user-interface thread.
std::unordered_map<HWND, CWnd*>& Objects() {
    static std::unordered_map<HWND, CWnd*> objects;
    return objects;
}

thread_local CWnd* t_pMainWnd = nullptr;

}  // namespace

CWnd* GetMainWnd() {
    return t_pMainWnd;
}

void SetMainWnd(CWnd* pWnd) {
    t_pMainWnd = pWnd;
}

namespace {
std::function<bool(UINT)>& AppCommandHandler() {
    static std::function<bool(UINT)> handler;
    return handler;
}
}  // namespace

void SetAppCommandHandler(std::function<bool(UINT nId)> handler) {
    AppCommandHandler() = std::move(handler);
}

bool RouteAppCommand(UINT nId) {
    const std::function<bool(UINT)>& handler = AppCommandHandler();
    return handler && handler(nId);
}

LPCSTR RegisterWndClass(UINT nClassStyle) {
    static std::map<UINT, std::string> names;
    auto it = names.find(nClassStyle);
    if (it != names.end()) {
        return it->second.c_str();
    }
    char name[32];
    std::snprintf(name, sizeof name, "TavrelWnd:%x", nClassStyle);
    WNDCLASSA wc = {};
    wc.style = nClassStyle;
    wc.lpfnWndProc = CWnd::CreationProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = name;
    if (!::RegisterClassA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return nullptr;
    }
    return names.emplace(nClassStyle, name).first->second.c_str();
}

bool IsCtlColorMessage(UINT message) {
    switch (message) {
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORMSGBOX:
            return true;
        default:
            return false;
    }
}

namespace {

// The control a parent-bound notification comes from, or null.
HWND NotifyingChild(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            // lParam is the control for a control's notification; menus and
            // accelerators send none.
            return reinterpret_cast<HWND>(lParam);
        case WM_DRAWITEM: {
            const auto* pItem = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            return wParam != 0 && pItem != nullptr && pItem->CtlType != ODT_MENU ? pItem->hwndItem
                                                                                 : nullptr;
        }
        default:
            return IsCtlColorMessage(message) ? reinterpret_cast<HWND>(lParam) : nullptr;
    }
}

}  // namespace

CWnd::~CWnd() {
    if (t_pMainWnd == this) {
        t_pMainWnd = nullptr;
    }
    if (m_hWnd != nullptr) {
        // The object goes before its window: hand the window back so that no
        // message reaches a destroyed object.
        UnsubclassWindow();
    }
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    auto it = Objects().find(hWnd);
    return it == Objects().end() ? nullptr : it->second;
}

bool CWnd::Attach(HWND hWnd) {
    if (hWnd == nullptr || m_hWnd != nullptr || FromHandle(hWnd) != nullptr) {
        return false;
    }
    if (!::SetWindowSubclass(hWnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        const DWORD dwError = ::GetLastError();
        TraceFailure("window " + std::to_string(HandleToLong(hWnd)), "SetWindowSubclass", dwError);
        return false;
    }
    m_hWnd = hWnd;
    Objects()[hWnd] = this;
    return true;
}

bool CWnd::SubclassWindow(HWND hWnd) {
    if (hWnd == nullptr || m_hWnd != nullptr || FromHandle(hWnd) != nullptr) {
        return false;
    }
    m_hWnd = hWnd;  // the attach hook may look at its window already
    PreSubclassWindow();
    m_hWnd = nullptr;
    return Attach(hWnd);
}

bool CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                    int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu) {
    if (m_hWnd != nullptr || lpszClassName == nullptr) {
        return false;
    }
    HWND hWnd = ::CreateWindowExA(dwExStyle, lpszClassName, lpszWindowName, dwStyle, x, y, nWidth,
                                  nHeight, hWndParent, hMenu, ::GetModuleHandleA(nullptr), this);
    if (hWnd == nullptr) {
        return false;
    }
    // A class of another procedure did not hand the window over while it
    // was being created.
    if (m_hWnd == nullptr && !Attach(hWnd)) {
        ::DestroyWindow(hWnd);
        return false;
    }
    return true;
}

LRESULT CALLBACK CWnd::CreationProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        // The object comes with the creation data; from here on the layer's
        // subclass sees the window's messages first.
        auto* pCreate = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        auto* pWnd = static_cast<CWnd*>(pCreate->lpCreateParams);
        if (pWnd != nullptr && !pWnd->Attach(hWnd)) {
            return FALSE;
        }
    }
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

bool CWnd::SubclassDlgItem(int nId, CWnd* pParent) {
    return pParent != nullptr && SubclassWindow(::GetDlgItem(pParent->m_hWnd, nId));
}

HWND CWnd::UnsubclassWindow() {
    HWND hWnd = m_hWnd;
    if (hWnd != nullptr) {
        ::RemoveWindowSubclass(hWnd, SubclassProc, kSubclassId);
        Forget();
    }
    return hWnd;
}

void CWnd::Forget() {
    Objects().erase(m_hWnd);
    m_hWnd = nullptr;
}

BOOL CWnd::DestroyWindow() {
    return m_hWnd != nullptr && ::DestroyWindow(m_hWnd);
}

std::string CWnd::GetWindowText() const {
    const int nLength = ::GetWindowTextLengthW(m_hWnd);
    std::wstring text(static_cast<size_t>(nLength > 0 ? nLength : 0) + 1, L'\0');
    const int nCopied = ::GetWindowTextW(m_hWnd, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(nCopied > 0 ? nCopied : 0));
    return Utf8(text);
}

void CWnd::SetWindowText(const std::string& text) const {
    ::SetWindowTextW(m_hWnd, Utf16(text).c_str());
}

RECT CWnd::GetClientRect() const {
    RECT rc = {};
    ::GetClientRect(m_hWnd, &rc);
    return rc;
}

RECT CWnd::GetWindowRect() const {
    RECT rc = {};
    ::GetWindowRect(m_hWnd, &rc);
    return rc;
}

void CWnd::CenterWindow() const {
    const auto toRect = [](const RECT& rc) {
        return placement::Rect{rc.left, rc.top, rc.right, rc.bottom};
    };
    HWND hOwner = ::GetWindow(m_hWnd, GW_OWNER);
    const bool bOverOwner = hOwner != nullptr && ::IsWindowVisible(hOwner) && !::IsIconic(hOwner);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoA(::MonitorFromWindow(bOverOwner ? hOwner : m_hWnd, MONITOR_DEFAULTTOPRIMARY),
                      &monitor);
    RECT rcArea = monitor.rcWork;
    if (bOverOwner) {
        ::GetWindowRect(hOwner, &rcArea);
    }
    const placement::Point corner =
        placement::CentredCorner(toRect(GetWindowRect()), toRect(rcArea), toRect(monitor.rcWork));
    ::SetWindowPos(m_hWnd, nullptr, corner.x, corner.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CWnd::PreTranslateMessage(MSG*) {
    return false;
}

bool CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) {
    return false;
}

LRESULT CWnd::WindowProc(UINT, WPARAM, LPARAM) {
    return Default();
}

LRESULT CWnd::Default() {
    return ::DefSubclassProc(m_hWnd, m_current.message, m_current.wParam, m_current.lParam);
}

bool CWnd::ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    HWND hChild = NotifyingChild(message, wParam, lParam);
    if (hChild == nullptr || hChild == m_hWnd) {
        return false;
    }
    CWnd* pChild = FromHandle(hChild);
    return pChild != nullptr && pChild->OnChildNotify(message, wParam, lParam, pResult);
}

LRESULT CWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    // Window procedures nest: the message being handled is put back afterwards.
    struct Restore {
        CurrentMessage& current;
        CurrentMessage saved;
        ~Restore() { current = saved; }
    } restore{m_current, m_current};
    m_current = {message, wParam, lParam};
    LRESULT result = 0;
    if (!ReflectToChild(message, wParam, lParam, &result)) {
        result = WindowProc(message, wParam, lParam);
    }
    return result;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR dwRefData) {
    auto* pWnd = reinterpret_cast<CWnd*>(dwRefData);
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hWnd, SubclassProc, kSubclassId);
        const LRESULT result = ::DefSubclassProc(hWnd, message, wParam, lParam);
        if (pWnd->m_hWnd == hWnd) {
            pWnd->Forget();
            pWnd->PostNcDestroy();
        }
        return result;
    }
    try {
        return pWnd->Dispatch(message, wParam, lParam);
    } catch (...) {
        // Nothing is thrown on purpose; should anything be, the message gets
        // the window's own handling instead of unwinding through the system.
        return ::DefSubclassProc(hWnd, message, wParam, lParam);
    }
}

bool PreTranslateChain(MSG* pMsg, HWND hTop) {
    for (HWND hWnd = pMsg->hwnd; hWnd != nullptr; hWnd = ::GetParent(hWnd)) {
        CWnd* pWnd = CWnd::FromHandle(hWnd);
        if (pWnd != nullptr && pWnd->PreTranslateMessage(pMsg)) {
            return true;
        }
        if (hWnd == hTop) {
            break;
        }
    }
    return false;
}
