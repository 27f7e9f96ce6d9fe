#include "tray/system_tray.h"

#include <windowsx.h>

#include <cstring>
#include <string>

#include "framework/dialog.h"
#include "base/failure_log_win.h"

namespace {

// The record's size as the shell of this platform expects it for the form
// that has the icon's state (and the balloon fields, which the program does
// not use): 488 bytes on 32-bit Windows, more on 64-bit, where the handles
// are wider.
constexpr DWORD kRecordSize = NOTIFYICONDATAA_V2_SIZE;

// Copies at most nMax - 1 characters of lpszSource, zeroing the rest of
// them (strncpy); the last byte, zero since construction, is never written.
void CopyCut(char* pDest, LPCSTR lpszSource, size_t nMax) {
    if (lpszSource != nullptr && nMax > 0) {
        std::strncpy(pDest, lpszSource, nMax - 1);
    }
}

bool IsShell5() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)  // the version as the system reports it to this program
#endif
    if (!::GetVersionExA(&info)) {
        return false;
    }
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 5;
}

}  // namespace

int CSystemTray::s_nTipMax = 128;
// Registered before the program starts, as every window of the program may
// need it from its first message on.
const UINT CSystemTray::s_uShellRestartMsg = ::RegisterWindowMessageA("TaskbarCreated");

CSystemTray::CSystemTray() {
    std::memset(&m_nid, 0, sizeof m_nid);
    m_bShell5 = IsShell5() ? TRUE : FALSE;
}

CSystemTray::~CSystemTray() {
    RemoveTrayIcon();
    DestroyWindow();
}

BOOL CSystemTray::CreateTrayIcon(CWnd* pParent, UINT uCallbackMessage, LPCSTR lpszTip, HICON hIcon,
                                 UINT uID, BOOL bHidden) {
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#endif
    const DWORD dwVersion = ::GetVersion();
    m_bTrayAvailable = LOBYTE(LOWORD(dwVersion)) >= 4 ? TRUE : FALSE;
    if (!m_bTrayAvailable) {
        return FALSE;
    }
    s_nTipMax = static_cast<int>(sizeof m_nid.szTip);

    // Never visible: it only talks to the shell. A second creation keeps
    // the window it has.
    CreateEx(0, RegisterWndClass(0), "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr);

    m_nid.cbSize = kRecordSize;
    m_nid.hWnd = pParent != nullptr && pParent->m_hWnd != nullptr ? pParent->m_hWnd : m_hWnd;
    m_nid.uID = uID;
    m_nid.hIcon = hIcon;
    // The shell shows the tip with the keyboard-aware callbacks only when asked.
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    m_nid.uCallbackMessage = uCallbackMessage;
    CopyCut(m_nid.szTip, lpszTip, static_cast<size_t>(s_nTipMax));

    m_bIconHidden = bHidden;
    m_bIconRemoved = FALSE;
    if (m_bShell5 && bHidden) {
        m_nid.uFlags = NIF_STATE;
        m_nid.dwState = NIS_HIDDEN;
        m_nid.dwStateMask = NIS_HIDDEN;
    }
    m_nAddFlags = m_nid.uFlags;

    BOOL bResult = TRUE;
    if (!bHidden || m_bShell5) {
        bResult = NotifyShell(NIM_ADD);
        KeepAddResult(bResult != FALSE);
        if (bResult) {
            AskShellVersion();
        } else {
            // The shell is not ready yet (a start at sign-in): asked again
            // every few seconds until it takes the icon.
            m_bAddPending = TRUE;
            SetTimer(kAddRetryTimer, kAddRetryMs);
        }
    }
    return bResult;
}

HICON CSystemTray::LoadIconForTray(HINSTANCE hModule, LPCSTR pszName) {
    const int cx = ::GetSystemMetrics(SM_CXSMICON);
    const int cy = ::GetSystemMetrics(SM_CYSMICON);
    return static_cast<HICON>(
        ::LoadImageA(hModule, pszName, IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR | LR_SHARED));
}

HMENU CSystemTray::LoadPopup(HMENU* phPopup) const {
    *phPopup = nullptr;
    HMENU hMenu = ::LoadMenuA(ResourceModule(), MAKEINTRESOURCEA(m_nid.uID));
    if (hMenu == nullptr) {
        return nullptr;
    }
    HMENU hPopup = ::GetSubMenu(hMenu, 0);
    if (hPopup == nullptr) {
        ::DestroyMenu(hMenu);
        return nullptr;
    }
    *phPopup = hPopup;
    return hMenu;
}

BOOL CSystemTray::SetDefaultItem(UINT uItem, BOOL bByPos) {
    if (uItem == m_nDefaultItem && bByPos == m_bDefaultByPosition) {
        return TRUE;
    }
    m_nDefaultItem = uItem;
    m_bDefaultByPosition = bByPos;
    HMENU hPopup = nullptr;
    HMENU hMenu = LoadPopup(&hPopup);
    if (hMenu == nullptr) {
        return FALSE;
    }
    // Only a check that the item exists: the menu is loaded anew for each
    // showing, and the stored values are applied then.
    ::SetMenuDefaultItem(hPopup, uItem, bByPos);
    ::DestroyMenu(hMenu);
    return TRUE;
}

BOOL CSystemTray::RemoveTrayIcon() {
    const BOOL bWasPending = m_bAddPending;
    m_bAddPending = FALSE;
    if (m_hWnd != nullptr) {
        KillTimer(kAddRetryTimer);
    }
    if (!m_bTrayAvailable || m_bIconRemoved) {
        return TRUE;
    }
    // No longer wanted, whether the shell had it or not: no later taskbar
    // gets it back.
    m_bIconRemoved = TRUE;
    m_nid.uFlags = 0;
    return NotifyShell(NIM_DELETE) || bWasPending;
}

BOOL CSystemTray::ChangeTrayIcon(HICON hIcon, LPCSTR lpszTip) {
    if (!m_bTrayAvailable) {
        return FALSE;
    }
    m_nid.hIcon = hIcon;
    m_nid.uFlags = NIF_ICON;
    if (lpszTip != nullptr) {
        CopyCut(m_nid.szTip, lpszTip, static_cast<size_t>(s_nTipMax));
        m_nid.uFlags |= NIF_TIP | NIF_SHOWTIP;
    }
    if (m_bIconHidden) {
        return TRUE;
    }
    return NotifyShell(NIM_MODIFY);
}

void CSystemTray::ReAddIcon() {
    if (!m_bAddPending || m_bIconRemoved || (m_bIconHidden && !m_bShell5)) {
        return;
    }
    m_nid.uFlags = m_nAddFlags;
    // The shell refuses to add an icon it still shows (a work-area change
    // with the taskbar in place). The icon is there all the same: taking it
    // for lost would keep every later taskbar from getting it back.
    const bool bAdded = NotifyShell(NIM_ADD) != FALSE;
    const bool bShown = bAdded || NotifyShell(NIM_MODIFY);
    KeepAddResult(bShown);
    if (bAdded) {
        AskShellVersion();
    }
    m_bAddPending = bShown ? FALSE : TRUE;
    if (bShown) {
        KillTimer(kAddRetryTimer);
    } else {
        SetTimer(kAddRetryTimer, kAddRetryMs);
    }
}

void CSystemTray::KeepAddResult(bool bShown) const {
    const DWORD dwError = ::GetLastError();
    const std::string strSubject = "tray icon " + std::to_string(m_nid.uID);
    if (bShown) {
        ForgetFailure(strSubject);
    } else {
        KeepFailure(strSubject, "Shell_NotifyIcon", dwError);
    }
}

CWnd* CSystemTray::GetNotifyTarget() const {
    return m_pNotifyTarget != nullptr ? m_pNotifyTarget : GetMainWnd();
}

BOOL CSystemTray::NotifyShell(DWORD dwMessage) {
    return ::Shell_NotifyIconA(dwMessage, &m_nid);
}

void CSystemTray::OnPrepareMenu(HMENU) {}

void CSystemTray::AskShellVersion() {
    // A new icon starts with the old callbacks; the version holds until it
    // is deleted, so it is asked again after every add.
    m_nid.uVersion = NOTIFYICON_VERSION_4;
    m_nShellVersion = NotifyShell(NIM_SETVERSION) ? NOTIFYICON_VERSION_4 : 0;
}

void CSystemTray::ShowMenu(HWND hTarget, POINT pt, bool bByKey) {
    HMENU hPopup = nullptr;
    HMENU hMenu = LoadPopup(&hPopup);
    if (hMenu == nullptr) {
        return;
    }
    ::SetMenuDefaultItem(hPopup, m_nDefaultItem, m_bDefaultByPosition);
    OnPrepareMenu(hPopup);
    // The menu closes when the user clicks elsewhere only if its owner is in
    // front; the null message afterwards lets the owner's thread notice that
    // the menu is gone.
    ::SetForegroundWindow(hTarget);
    const UINT uAlign = ::GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
    const UINT uCommand = static_cast<UINT>(::TrackPopupMenu(
        hPopup, uAlign | TPM_RIGHTBUTTON | TPM_RETURNCMD, pt.x, pt.y, 0, hTarget, nullptr));
    ::PostMessageA(hTarget, WM_NULL, 0, 0);
    ::DestroyMenu(hMenu);
    if (uCommand != 0) {
        ::PostMessageA(hTarget, WM_COMMAND, uCommand, 0);
    } else if (bByKey) {
        // Escape: the keyboard user goes on among the notification icons.
        NotifyShell(NIM_SETFOCUS);
    }
}

void CSystemTray::RunDefault(HWND hTarget) {
    ::SetForegroundWindow(hTarget);
    UINT uCommand = m_nDefaultItem;
    if (m_bDefaultByPosition) {
        HMENU hPopup = nullptr;
        HMENU hMenu = LoadPopup(&hPopup);
        if (hMenu == nullptr) {
            return;
        }
        uCommand = ::GetMenuItemID(hPopup, static_cast<int>(m_nDefaultItem));
        ::DestroyMenu(hMenu);
    }
    ::PostMessageA(hTarget, WM_COMMAND, uCommand, 0);
}

LRESULT CSystemTray::OnTrayNotify(WPARAM wParam, LPARAM lParam) {
    const bool bVersion4 = m_nShellVersion >= NOTIFYICON_VERSION_4;
    const UINT uId = bVersion4 ? HIWORD(lParam) : static_cast<UINT>(wParam);
    if (uId != m_nid.uID) {
        return 0;
    }
    CWnd* pTarget = GetNotifyTarget();
    if (pTarget == nullptr || pTarget->m_hWnd == nullptr) {
        return 0;
    }
    HWND hTarget = pTarget->m_hWnd;
    POINT pt = {};
    if (bVersion4) {
        pt = {GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam)};
    } else {
        ::GetCursorPos(&pt);
    }

    switch (LOWORD(lParam)) {
        case WM_RBUTTONUP:
            if (bVersion4) {
                // The shell follows it with WM_CONTEXTMENU.
                m_bMouseContext = TRUE;
                return 1;
            }
            ShowMenu(hTarget, pt, false);
            return 1;
        case WM_CONTEXTMENU: {
            const bool bByKey = !m_bMouseContext;
            m_bMouseContext = FALSE;
            ShowMenu(hTarget, pt, bByKey);
            return 1;
        }
        case NIN_SELECT:
        case NIN_KEYSELECT:
        case WM_LBUTTONDBLCLK:
            RunDefault(hTarget);
            return 1;
        default:
            return 1;
    }
}

LRESULT CSystemTray::OnShellRestart() {
    // The new taskbar knows no icons: add ours again, whatever became of
    // the adds before.
    m_bAddPending = m_bIconRemoved ? FALSE : TRUE;
    ReAddIcon();
    return 0;
}

void CSystemTray::OnSettingChange(WPARAM wParam) {
    if (wParam == SPI_SETWORKAREA) {
        m_bAddPending = m_bIconRemoved ? FALSE : TRUE;
        ReAddIcon();
    }
}

LRESULT CSystemTray::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == m_nid.uCallbackMessage && message != 0) {
        return OnTrayNotify(wParam, lParam);
    }
    if (message == s_uShellRestartMsg && s_uShellRestartMsg != 0) {
        return OnShellRestart();
    }
    if (message == WM_TIMER && wParam == kAddRetryTimer) {
        ReAddIcon();
        return 0;
    }
    if (message == WM_SETTINGCHANGE) {
        const LRESULT result = Default();
        OnSettingChange(wParam);
        return result;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}
