#include "panel/popup_warning.h"

void CPopupWarning::DoDataExchange() {
    BindControl(IDC_WARNING_TEXT, m_label);
}

BOOL CPopupWarning::OnInitDialog() {
    CDialog::OnInitDialog();
    // Bold first: SetFontBold starts from the control's own font, and the
    // face and size are set on top of it.
    m_label.SetFontBold(TRUE, FALSE);
    m_label.SetFontFace("Arial", 18, FALSE);
    return TRUE;
}
