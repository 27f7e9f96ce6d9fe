// Dialogs from the program's dialog templates: modal, with the layer's own
// message loop so that PreTranslateMessage runs before the dialog manager,
// and modeless.
#pragma once

#include "framework/wnd.h"

class CDialog : public CWnd {
  public:
    CDialog(UINT nIdTemplate, CWnd* pParent = nullptr)
        : m_nIdTemplate(nIdTemplate), m_pParentWnd(pParent) {}
    ~CDialog() override;

    // Creates the dialog, disables its owner, runs the modal loop until
    // EndDialog, and destroys the dialog. Returns the EndDialog result, or -1
    // when the dialog could not be created.
    INT_PTR DoModal();
    // Creates the dialog modeless with pParent (or the constructor's parent)
    // as its owner. It is visible only if its template says so.
    bool Create(CWnd* pParent = nullptr);
    // Ends a modal dialog with nResult (a modeless one is only hidden).
    void EndDialog(INT_PTR nResult);

    UINT TemplateId() const { return m_nIdTemplate; }
    bool IsModal() const { return m_bModal; }

  protected:
    // WM_INITDIALOG: binds the controls (DoDataExchange). True: the system
    // sets the focus to the first tab stop.
    virtual BOOL OnInitDialog();
    // Binds template controls to member objects, in the order written.
    virtual void DoDataExchange() {}
    void BindControl(int nId, CWnd& control);
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_nIdTemplate;
    CWnd* m_pParentWnd;
    bool m_bModal = false;
    bool m_bEndModal = false;
    INT_PTR m_nResult = -1;
};

// The module that holds the program's resources.
HINSTANCE ResourceModule();
