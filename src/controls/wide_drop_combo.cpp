#include "controls/wide_drop_combo.h"

#include <algorithm>
#include <string>

#include "base/gdi_win.h"
#include "framework/window_dpi.h"

CWideDropCombo::~CWideDropCombo() = default;

void CWideDropCombo::FitDropWidth() {
    if (m_hWnd == nullptr) {
        return;
    }
    const int nCount = GetCount();  // CB_ERR (negative) counts as empty
    int nWidest = 0;
    {
        CClientDC dc(m_hWnd);
        CSaveDC saved(dc);
        ::SelectObject(dc, GetFont());
        // Room for a scroll bar is kept even when the list needs none, at the
        // scale of the combo box's screen.
        const int nBar = SystemMetricForDpi(SM_CXVSCROLL, DpiOfWindow(m_hWnd));
        for (int i = 0; i < nCount; ++i) {
            const std::string text = GetLBText(i);
            SIZE extent = {};
            ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
            nWidest = std::max(nWidest, static_cast<int>(extent.cx) + nBar);
        }
        SIZE zero = {};
        ::GetTextExtentPoint32A(dc, "0", 1, &zero);
        nWidest += zero.cx;
    }  // the DC is restored before the width is set
    SendMessage(CB_SETDROPPEDWIDTH, static_cast<WPARAM>(nWidest));
}

bool CWideDropCombo::OnChildNotify(UINT message, WPARAM wParam, LPARAM, LRESULT* pResult) {
    if (message == WM_COMMAND && HIWORD(wParam) == CBN_DROPDOWN) {
        FitDropWidth();
        *pResult = 0;
        return true;
    }
    return false;
}
