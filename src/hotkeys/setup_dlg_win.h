// The Setup Hot Keys dialog (dialog 135): a key and Ctrl/Alt/Shift/Win for
// each of the eight hot-key actions, and a switch for all of them. It shows
// what the registry holds, stores the rows on OK and reloads the stored
// assignment on Cancel; its own screen position is kept in "HotKeyWindow".
//
// The panel's "Hot Keys..." command runs it modally between unregistering
// the hot keys and registering them again.
#pragma once

#include <windows.h>

#include <string>

#include "settings/settings_store.h"
#include "controls/group_enable_check.h"
#include "controls/wide_drop_combo.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "base/gdi_win.h"
#include "framework/window_dpi.h"
#include "hotkeys/hot_key_settings.h"
#include "resource.h"

class CSetupDlg : public CDialog {
  public:
    static constexpr UINT IDD = IDD_SETUP_HOTKEYS;
    // A row's check boxes, in the order Ctrl, Alt, Shift, Win.
    static constexpr int kChecksPerRow = 4;
    using ModifierGroup = CButton[kChecksPerRow];

    // Without a parent the application's main window owns the dialog.
    explicit CSetupDlg(CWnd* pParent = nullptr);
    ~CSetupDlg() override;

    // The list of every key box: "n/u", "A" to "Z", "0" to "9", then the
    // named keys, appended unsorted.
    static void FillKeyCombo(CComboBox& combo);
    // Selects the item that matches strKey without regard to letter case, or
    // "n/u" (item 0) when none does.
    static void SelectKeyInCombo(CComboBox& combo, const std::string& strKey);
    // Copies the selected item's text into strKey; leaves strKey as it is
    // when nothing is selected.
    static void GetKeyFromCombo(CComboBox& combo, std::string& strKey);
    // Checks each box whose modifier bit is set in nModifiers; bits without
    // a box are not shown.
    static void SetModifierChecks(ModifierGroup& checks, RegDword nModifiers);
    // The modifier set of the checked boxes, replacing nModifiers whole.
    static void GetModifierChecks(ModifierGroup& checks, RegDword& nModifiers);

    CGroupEnableCheck m_chkEnable;
    CWideDropCombo m_cboKey[kHotKeyCount];
    ModifierGroup m_chkModifiers[kHotKeyCount];
    CFont m_fontGroup;    // the six group boxes
    CFont m_fontItem;     // every other control that gets a font
    CDpiLayout m_layout;  // the controls' places, to carry to a screen of another scale

  protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnDestroy();
    // WM_DPICHANGED: the dialog has moved to a screen of nDpi dots per inch.
    // It takes the rectangle the system suggests, lays its controls out
    // again and makes its two fonts anew for the new scale.
    void OnDpiChanged(UINT nDpi, LPARAM lParam);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    // m_fontGroup to the group boxes, m_fontItem to the other controls that
    // get a font (OK and Cancel keep the dialog's).
    void GiveFonts();
    // Puts the dialog where it was last closed, or centred over its visible
    // owner (else on the work area) when no position is stored or the stored
    // one would leave it on no screen at all.
    void Place();
};
