#include "skin/popup_warning_win.h"

#include "framework/high_contrast.h"

void CPopupWarning::DoDataExchange() {
    BindControl(IDC_WARNING_TEXT, m_label);
}

BOOL CPopupWarning::OnInitDialog() {
    CDialog::OnInitDialog();
    // Bold first: SetFontBold starts from the control's own font, and the
    // face and size are set on top of it.
    m_label.SetFontBold(TRUE, FALSE);
    m_label.SetFontFace("Arial", 18, FALSE);
    ApplyColors(FALSE);
    m_layout.Record(m_hWnd);
    return TRUE;
}

void CPopupWarning::ApplyColors(BOOL bRedraw) {
    m_label.SetTextColor(LabelTextColor(), FALSE);
    m_label.SetBkColor(LabelBackColor(), bRedraw);
}

void CPopupWarning::Show() {
    ShowWindow(SW_SHOWNOACTIVATE);
    // Screen readers speak an alert's name: the message's text. Each attempt
    // is told, as each one is shown.
    ::NotifyWinEvent(EVENT_SYSTEM_ALERT, m_label.m_hWnd, OBJID_CLIENT, CHILDID_SELF);
}

LRESULT CPopupWarning::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCHITTEST) {
        // The hit test goes on to this thread's windows beneath: the
        // panel's buttons and bars get the click.
        return HTTRANSPARENT;
    }
    if (message == WM_MOUSEACTIVATE) {
        return MA_NOACTIVATE;
    }
    if ((message == WM_SETTINGCHANGE && wParam == SPI_SETHIGHCONTRAST) ||
        message == WM_SYSCOLORCHANGE) {
        ApplyColors(TRUE);
    }
    if (message == WM_DPICHANGED) {
        // The system suggests the window's new rectangle; the label is laid
        // out again and its font made anew for the new scale.
        const UINT nDpi = HIWORD(wParam);
        MoveToSuggestedRect(m_hWnd, lParam);
        m_layout.Apply(m_hWnd, nDpi);
        m_label.RescaleFont(nDpi, TRUE);
        return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}
