#include "hotkeys/setup_dlg_win.h"

#include <string>
#include <utility>

#include "settings/window_pos_section.h"
#include "framework/message_box.h"
#include "framework/screen_reader.h"
#include "framework/window_dpi.h"
#include "hotkeys/setup_logic.h"

namespace {

// What a sighted user reads beside each row (its group, and Decrease or
// Increase in the slider groups) is the action's row name: screen readers
// name the row's boxes and key list after it ("Window Button Ctrl",
// "Window Button key").
constexpr const char* kColumnNames[CSetupDlg::kChecksPerRow] = {"Ctrl", "Alt", "Shift", "Win"};

constexpr int kGroupBoxes[] = {IDC_POPUP_GROUP,   IDC_WINDOW_GROUP,   IDC_LINES_GROUP,
                               IDC_OPTIONS_GROUP, IDC_POSITION_GROUP, IDC_WIDTH_GROUP};
constexpr int kLabels[] = {IDC_POSDOWN_LABEL, IDC_POSUP_LABEL, IDC_WIDTHDOWN_LABEL,
                           IDC_WIDTHUP_LABEL};

constexpr int kGroupPointTenths = 120;
constexpr int kItemPointTenths = 100;

// Arial bold at a size in tenths of a point, its pixel height taken from the
// vertical resolution of the dialog's screen.
void CreatePointFont(CFont& font, int nPointTenths, UINT nDpi) {
    LOGFONTA lf = {};
    lf.lfHeight = -::MulDiv(nPointTenths, static_cast<int>(nDpi), 720);
    lf.lfWeight = FW_BOLD;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = PROOF_QUALITY;
    ::lstrcpynA(lf.lfFaceName, "Arial", LF_FACESIZE);
    font.CreateFontIndirect(lf);
}

void SetFontOf(HWND hControl, const CFont& font) {
    ::SendMessageA(hControl, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
}

}  // namespace

CSetupDlg::CSetupDlg(CWnd* pParent) : CDialog(IDD, pParent != nullptr ? pParent : GetMainWnd()) {}

CSetupDlg::~CSetupDlg() {
    // A dialog still open (modeless) goes before its fonts and controls do.
    if (m_hWnd != nullptr) {
        DestroyWindow();
    }
}

void CSetupDlg::FillKeyCombo(CComboBox& combo) {
    for (const std::string& item : setup_logic::KeyListItems()) {
        combo.SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(-1),
                          reinterpret_cast<LPARAM>(item.c_str()));
    }
}

void CSetupDlg::SelectKeyInCombo(CComboBox& combo, const std::string& strKey) {
    // The search ignores letter case: a hand-edited "f7" shows as "F7".
    const LRESULT nFound = combo.SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                             reinterpret_cast<LPARAM>(strKey.c_str()));
    combo.SetCurSel(nFound >= 0 ? static_cast<int>(nFound) : 0);
}

void CSetupDlg::GetKeyFromCombo(CComboBox& combo, std::string& strKey) {
    const int nSel = combo.GetCurSel();
    if (nSel >= 0) {
        strKey = combo.GetLBText(nSel);
    }
}

void CSetupDlg::SetModifierChecks(ModifierGroup& checks, RegDword nModifiers) {
    const setup_logic::ModifierChecks shown = setup_logic::ChecksOfModifiers(nModifiers);
    for (int i = 0; i < kChecksPerRow; ++i) {
        checks[i].SetCheck(shown[i] ? BST_CHECKED : BST_UNCHECKED);
    }
}

void CSetupDlg::GetModifierChecks(ModifierGroup& checks, RegDword& nModifiers) {
    setup_logic::ModifierChecks checked = {};
    for (int i = 0; i < kChecksPerRow; ++i) {
        checked[i] = checks[i].GetCheck() != BST_UNCHECKED;
    }
    nModifiers = setup_logic::ModifiersOfChecks(checked);
}

void CSetupDlg::DoDataExchange() {
    BindControl(IDC_ENABLE_HOTKEYS, m_chkEnable);
    for (int i = 0; i < kHotKeyCount; ++i) {
        BindControl(g_hotKeyActions[i].nSetupIds[kChecksPerRow], m_cboKey[i]);
    }
    for (int i = 0; i < kHotKeyCount; ++i) {
        for (int j = 0; j < kChecksPerRow; ++j) {
            BindControl(g_hotKeyActions[i].nSetupIds[j], m_chkModifiers[i][j]);
        }
    }
}

BOOL CSetupDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    Place();
    g_hotKeySettings.Load();

    const UINT nDpi = DpiOfWindow(m_hWnd);
    CreatePointFont(m_fontGroup, kGroupPointTenths, nDpi);
    CreatePointFont(m_fontItem, kItemPointTenths, nDpi);
    // Sized to its caption in the dialog's own font, before it gets its own.
    m_chkEnable.AttachGroupById(IDC_HOTKEYS_AREA, FALSE);
    GiveFonts();

    m_chkEnable.SetChecked(g_hotKeySettings.m_bEnabled ? BST_CHECKED : BST_UNCHECKED);
    for (CWideDropCombo& combo : m_cboKey) {
        FillKeyCombo(combo);
    }
    for (int i = 0; i < kHotKeyCount; ++i) {
        SelectKeyInCombo(m_cboKey[i], g_hotKeySettings.m_strKey[i]);
    }
    for (int i = 0; i < kHotKeyCount; ++i) {
        SetModifierChecks(m_chkModifiers[i], g_hotKeySettings.m_nModifiers[i]);
    }
    for (int i = 0; i < kHotKeyCount; ++i) {
        const std::string strRow = g_hotKeyActions[i].pszRowName;
        for (int j = 0; j < kChecksPerRow; ++j) {
            SetAccessibleName(m_chkModifiers[i][j].m_hWnd, strRow + " " + kColumnNames[j]);
        }
        SetAccessibleName(m_cboKey[i].m_hWnd, strRow + " key");
    }
    m_layout.Record(m_hWnd);
    return TRUE;  // the focus goes to the first control, OK
}

void CSetupDlg::GiveFonts() {
    SetFontOf(m_chkEnable, m_fontItem);
    for (int nId : kGroupBoxes) {
        SetFontOf(GetDlgItem(nId), m_fontGroup);
    }
    for (int nId : kLabels) {
        SetFontOf(GetDlgItem(nId), m_fontItem);
    }
    for (int i = 0; i < kHotKeyCount; ++i) {
        for (CButton& check : m_chkModifiers[i]) {
            SetFontOf(check, m_fontItem);
        }
    }
    for (CWideDropCombo& combo : m_cboKey) {
        SetFontOf(combo, m_fontItem);
    }
}

void CSetupDlg::OnDpiChanged(UINT nDpi, LPARAM lParam) {
    MoveToSuggestedRect(m_hWnd, lParam);
    // The system may have laid the template out again itself; the dialog's
    // own record makes the result the same wherever it runs.
    m_layout.Apply(m_hWnd, nDpi);
    // The fonts the dialog made are its own to make anew; the controls get
    // the new ones before the old ones are deleted.
    CFont fontGroup;
    CFont fontItem;
    CreatePointFont(fontGroup, kGroupPointTenths, nDpi);
    CreatePointFont(fontItem, kItemPointTenths, nDpi);
    std::swap(m_fontGroup, fontGroup);
    std::swap(m_fontItem, fontItem);
    GiveFonts();
}

void CSetupDlg::OnOK() {
    // Greyed-out rows are stored as they stand.
    const bool bEnabled = m_chkEnable.GetCheck() != BST_UNCHECKED;
    std::string strKeys[kHotKeyCount];
    RegDword nModifiers[kHotKeyCount] = {};
    for (int i = 0; i < kHotKeyCount; ++i) {
        strKeys[i] = g_hotKeySettings.m_strKey[i];
        GetKeyFromCombo(m_cboKey[i], strKeys[i]);
        GetModifierChecks(m_chkModifiers[i], nModifiers[i]);
        // A key without a modifier is taken from every program: the user
        // says so first, or goes back to the row.
        const std::string strQuestion = setup_logic::BareKeyQuestion(strKeys[i], nModifiers[i]);
        if (bEnabled && !strQuestion.empty() &&
            AppMessageBox(strQuestion, MB_YESNO | MB_ICONQUESTION, m_hWnd) != IDYES) {
            ::SetFocus(m_cboKey[i]);
            return;
        }
    }
    g_hotKeySettings.m_bEnabled = bEnabled;
    for (int i = 0; i < kHotKeyCount; ++i) {
        g_hotKeySettings.m_strKey[i] = strKeys[i];
        g_hotKeySettings.m_nModifiers[i] = nModifiers[i];
    }
    g_hotKeySettings.Save();  // a failed save still leaves the new rows to register
    CDialog::OnOK();
}

void CSetupDlg::OnCancel() {
    // Back to what the registry holds; nothing of the edits was stored.
    g_hotKeySettings.Load();
    CDialog::OnCancel();
}

void CSetupDlg::OnDestroy() {
    g_hotKeyWindowPos.SaveFrom(*this);
}

LRESULT CSetupDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        OnDestroy();
    }
    if (message == WM_DPICHANGED) {
        OnDpiChanged(HIWORD(wParam), lParam);
        return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

void CSetupDlg::Place() {
    g_hotKeyWindowPos.LoadAndPlace(*this);
    int x = 0;
    int y = 0;
    if (!g_hotKeyWindowPos.GetPlacement(&x, &y)) {
        CenterWindow();
        return;
    }
    // A stored corner that leaves the caption on no screen (a monitor since
    // removed, a hand-edited value) would leave a modal window out of reach.
    RECT rcCaption = GetWindowRect();
    rcCaption.bottom = rcCaption.top + ::GetSystemMetrics(SM_CYCAPTION);
    if (::MonitorFromRect(&rcCaption, MONITOR_DEFAULTTONULL) == nullptr) {
        CenterWindow();
    }
}
