// The About box: dialog 100 with the program's icon, the line "Tavrel Plus
// Remote Version 1.10" and an OK button. It is run modally from the panel's
// Help menu, its system menu and the tray menu; OK ends it with IDOK, Escape
// and the close box with IDCANCEL.
#pragma once

#include "framework/dialog.h"
#include "resource.h"

class CAboutDlg : public CDialog {
  public:
    static constexpr UINT IDD = IDD_ABOUTBOX;

    explicit CAboutDlg(CWnd* pParent = nullptr) : CDialog(IDD, pParent) {}
};
