#include "framework/dialog.h"

#include <string>

#include "base/failure_log_win.h"

HINSTANCE ResourceModule() {
    return ::GetModuleHandleA(nullptr);
}

CDialog::~CDialog() {
    if (m_hWnd != nullptr) {
        HWND hWnd = UnsubclassWindow();
        ::DestroyWindow(hWnd);
    }
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG) {
        // Everything else went through the object's subclass first; what it
        // passed on gets the dialog manager's default handling.
        return FALSE;
    }
    auto* pDialog = reinterpret_cast<CDialog*>(lParam);
    if (pDialog == nullptr || !pDialog->Attach(hWnd)) {
        return TRUE;
    }
    RECT rcBefore = {};
    ::GetWindowRect(hWnd, &rcBefore);
    INT_PTR result = TRUE;
    try {
        result = pDialog->OnInitDialog();
    } catch (...) {
    }
    // A top-level dialog that neither its template (DS_CENTER...) nor its
    // initialisation placed is centred, over its owner when that is on screen.
    RECT rcAfter = {};
    const LONG nStyle = ::IsWindow(hWnd) ? ::GetWindowLongA(hWnd, GWL_STYLE) : WS_CHILD;
    if ((nStyle & (WS_CHILD | DS_CENTER | DS_CENTERMOUSE)) == 0 &&
        ::GetWindowRect(hWnd, &rcAfter) && ::EqualRect(&rcBefore, &rcAfter)) {
        pDialog->CenterWindow();
    }
    return result;
}

BOOL CDialog::OnInitDialog() {
    DoDataExchange();
    return TRUE;
}

void CDialog::BindControl(int nId, CWnd& control) {
    // The dialog goes on without the control's object.
    if (!control.SubclassDlgItem(nId, this)) {
        const DWORD dwError = ::GetLastError();
        TraceFailure("dialog " + std::to_string(m_nIdTemplate) + " control " + std::to_string(nId),
                     "SubclassDlgItem", dwError);
    }
}

bool CDialog::Create(CWnd* pParent) {
    if (pParent != nullptr) {
        m_pParentWnd = pParent;
    }
    m_bModal = false;
    HWND hOwner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    return ::CreateDialogParamA(ResourceModule(), MAKEINTRESOURCEA(m_nIdTemplate), hOwner,
                                DialogProc, reinterpret_cast<LPARAM>(this)) != nullptr;
}

INT_PTR CDialog::DoModal() {
    HWND hOwner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    m_bModal = true;
    m_bEndModal = false;
    m_nResult = -1;
    HWND hDialog = ::CreateDialogParamA(ResourceModule(), MAKEINTRESOURCEA(m_nIdTemplate), hOwner,
                                        DialogProc, reinterpret_cast<LPARAM>(this));
    if (hDialog == nullptr || m_hWnd != hDialog) {
        if (hDialog != nullptr) {
            ::DestroyWindow(hDialog);
        }
        m_bModal = false;
        return -1;
    }
    const bool bOwnerWasEnabled = hOwner != nullptr && ::IsWindowEnabled(hOwner);
    if (bOwnerWasEnabled) {
        ::EnableWindow(hOwner, FALSE);
    }
    // A modal dialog is shown when its loop starts, even if its template is
    // not visible; it may hide itself later.
    if (!m_bEndModal && !::IsWindowVisible(hDialog)) {
        ::ShowWindow(hDialog, SW_SHOWNORMAL);
    }

    MSG msg;
    while (!m_bEndModal && m_hWnd == hDialog) {
        const BOOL bGot = ::GetMessageA(&msg, nullptr, 0, 0);
        if (bGot == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));  // for the loop outside
            break;
        }
        if (bGot == -1) {
            break;
        }
        if (PreTranslateChain(&msg, hDialog)) {
            continue;
        }
        if (!::IsDialogMessageA(hDialog, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }

    // Give the owner back its input before the dialog goes, so that the
    // activation returns to it.
    if (bOwnerWasEnabled) {
        ::EnableWindow(hOwner, TRUE);
    }
    if (m_hWnd == hDialog) {
        ::SetWindowPos(hDialog, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        if (hOwner != nullptr && ::GetActiveWindow() == hDialog) {
            ::SetActiveWindow(hOwner);
        }
        ::DestroyWindow(hDialog);
    }
    m_bModal = false;
    return m_nResult;
}

void CDialog::EndDialog(INT_PTR nResult) {
    m_nResult = nResult;
    if (m_bModal) {
        m_bEndModal = true;
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);  // wake the loop
    } else {
        // A modeless dialog only hides, as the system's EndDialog does; its
        // owner destroys it.
        ShowWindow(SW_HIDE);
    }
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // OK and Cancel: the buttons, Enter and Escape, and the close box.
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
            case IDOK:
                OnOK();
                return 0;
            case IDCANCEL:
                OnCancel();
                return 0;
            default:
                break;
        }
    }
    // A menu or accelerator command the main window left goes to the
    // application object.
    if (message == WM_COMMAND && lParam == 0 && GetMainWnd() == this &&
        RouteAppCommand(LOWORD(wParam))) {
        return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}
