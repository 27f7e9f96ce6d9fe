// The standard controls, as objects that can be bound to a dialog's controls.
#pragma once

#include <string>

#include "framework/wnd.h"

class CStatic : public CWnd {};

class CButton : public CWnd {
  public:
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int nCheck) const { SendMessage(BM_SETCHECK, static_cast<WPARAM>(nCheck)); }
};

class CComboBox : public CWnd {
  public:
    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    int AddString(const std::string& text) const {
        return static_cast<int>(
            SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
    }
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int nIndex) const { return static_cast<int>(SendMessage(CB_SETCURSEL, nIndex)); }
    // The text of item nIndex; empty when there is no such item.
    std::string GetLBText(int nIndex) const;
};
