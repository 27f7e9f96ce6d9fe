// The Setup Hot Keys dialog under wine, from the program's dialog 135, on the
// real registry of the test prefix: what the first opening shows, what OK
// and Cancel (button, Enter, Escape, close box) leave in the registry and in
// g_hotKeySettings, the switch that greys out every row, hand-edited values,
// the dialog's own position, and the panel's "Hot Keys..." command that
// frees the keys while the dialog is open and takes them again afterwards.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/window_pos_section.h"
#include "framework/message_box.h"
#include "hotkeys/hot_key_settings.h"
#include "hotkeys/setup_dlg.h"
#include "panel/remote_panel_dlg.h"
#include "resource.h"
#include "window_checks.h"

namespace {

constexpr const char* kProductKey = "Software\\Quorvane";
constexpr const char* kHotKeysKey = "Software\\Quorvane\\Tavrel Plus Remote\\HotKeys";
constexpr const char* kWindowKey = "Software\\Quorvane\\Tavrel Plus Remote\\HotKeyWindow";
constexpr const char* kCaption = "Setup Hot Keys";

// One action's row: Ctrl, Alt, Shift, Win, then the key list.
struct Row {
    int nCtrl, nAlt, nShift, nWin, nKey;
};
const Row kRows[8] = {
    {1009, 1010, 1011, 1012, 1014}, {1013, 1017, 1019, 1020, 1021}, {1024, 1025, 1026, 1027, 1028},
    {1031, 1032, 1033, 1034, 1035}, {1038, 1039, 1040, 1041, 1042}, {1044, 1045, 1046, 1047, 1048},
    {1050, 1051, 1052, 1053, 1054}, {1056, 1057, 1058, 1059, 1060},
};
enum { POPUP = 0, WINDOW = 1, LINES = 2, OPTIONS = 3, POSDOWN = 4, POSUP = 5, WIDTHUP = 7 };
const char* const kDefaultKeys[8] = {"F5", "F6", "F7", "F8", "F11", "F12", "F9", "F10"};
const int kGroupBoxes[] = {1016, 1018, 1023, 1030, 1037, 1049};
const int kLabels[] = {1029, 1036, 1043, 1055};

// ---- the registry of the test prefix ----

bool ReadDword(const char* pszKey, const char* pszName, DWORD& nValue) {
    DWORD cb = sizeof nValue;
    return ::RegGetValueA(HKEY_CURRENT_USER, pszKey, pszName, RRF_RT_REG_DWORD, nullptr, &nValue,
                          &cb) == ERROR_SUCCESS;
}

DWORD Dword(const char* pszName, const char* pszKey = kHotKeysKey) {
    DWORD n = 0xDEADBEEF;
    EXPECT_TRUE(ReadDword(pszKey, pszName, n)) << pszName;
    return n;
}

std::string Text(const char* pszName) {
    char szText[256] = {};
    DWORD cb = sizeof szText;
    EXPECT_EQ(::RegGetValueA(HKEY_CURRENT_USER, kHotKeysKey, pszName, RRF_RT_REG_SZ, nullptr,
                             szText, &cb),
              ERROR_SUCCESS)
        << pszName;
    return szText;
}

// How many values the key holds; -1 when there is no such key.
int ValueCount(const char* pszKey) {
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, pszKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS) {
        return -1;
    }
    DWORD nValues = 0;
    ::RegQueryInfoKeyA(hKey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &nValues,
                       nullptr, nullptr, nullptr, nullptr);
    ::RegCloseKey(hKey);
    return static_cast<int>(nValues);
}

void Store(const char* pszKey, const char* pszName, DWORD nValue) {
    HKEY hKey = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, pszKey, 0, nullptr, 0, KEY_WRITE, nullptr, &hKey,
                                nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExA(hKey, pszName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&nValue),
                     sizeof nValue);
    ::RegCloseKey(hKey);
}

void Store(const char* pszName, const std::string& text) {
    HKEY hKey = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kHotKeysKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                                &hKey, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExA(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1));
    ::RegCloseKey(hKey);
}

// ---- the dialog's window, as a user sees and works it ----

std::vector<HWND> SetupWindows() {
    std::vector<HWND> found;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            char szText[64] = {};
            ::GetWindowTextA(hWnd, szText, sizeof szText);
            if (std::strcmp(szText, kCaption) == 0 && ::IsWindowVisible(hWnd)) {
                reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

bool Checked(HWND hDlg, int nId) {
    return ::SendDlgItemMessageA(hDlg, nId, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Click(HWND hDlg, int nId) {
    ::SendDlgItemMessageA(hDlg, nId, BM_CLICK, 0, 0);
}

// The modifier set a row's check boxes show.
DWORD ModifiersShown(HWND hDlg, int nRow) {
    const Row& row = kRows[nRow];
    return (Checked(hDlg, row.nCtrl) ? MOD_CONTROL : 0) | (Checked(hDlg, row.nAlt) ? MOD_ALT : 0) |
           (Checked(hDlg, row.nShift) ? MOD_SHIFT : 0) | (Checked(hDlg, row.nWin) ? MOD_WIN : 0);
}

std::string ItemText(HWND hCombo, int nIndex) {
    char szText[64] = {};
    if (::SendMessageA(hCombo, CB_GETLBTEXTLEN, nIndex, 0) >= static_cast<LRESULT>(sizeof szText)) {
        return "(too long)";
    }
    ::SendMessageA(hCombo, CB_GETLBTEXT, nIndex, reinterpret_cast<LPARAM>(szText));
    return szText;
}

std::string KeyShown(HWND hDlg, int nRow) {
    HWND hCombo = ::GetDlgItem(hDlg, kRows[nRow].nKey);
    const int nSel = static_cast<int>(::SendMessageA(hCombo, CB_GETCURSEL, 0, 0));
    return nSel < 0 ? "(none)" : ItemText(hCombo, nSel);
}

void ChooseKey(HWND hDlg, int nRow, const char* pszKey) {
    HWND hCombo = ::GetDlgItem(hDlg, kRows[nRow].nKey);
    const LRESULT nIndex = ::SendMessageA(hCombo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                          reinterpret_cast<LPARAM>(pszKey));
    ASSERT_GE(nIndex, 0) << pszKey;
    ::SendMessageA(hCombo, CB_SETCURSEL, static_cast<WPARAM>(nIndex), 0);
}

// A key pressed while the OK button has the focus, through the modal loop.
void PressKey(HWND hDlg, UINT vk) {
    HWND hOk = ::GetDlgItem(hDlg, IDOK);
    ::SetFocus(hOk);
    ::PostMessageA(hOk, WM_KEYDOWN, vk, 0x00010001);
    ::PostMessageA(hOk, WM_KEYUP, vk, 0xC0010001);
}

POINT CentreOf(const RECT& rc) {
    return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

RECT WindowRect(HWND hWnd) {
    RECT rc = {};
    ::GetWindowRect(hWnd, &rc);
    return rc;
}

// Runs start(), which runs a dialog modally, and calls act() once from
// inside the modal loop (a thread timer that polls) when the Setup Hot Keys
// window is on screen; act() looks, works the controls and asks the dialog
// to close. A dialog still open after the deadline is cancelled, so that a
// fault fails the test instead of hanging it.
class ModalRun {
  public:
    void Run(const std::function<void()>& start, std::function<void(HWND hDlg)> act) {
        s_pRun = this;
        m_act = std::move(act);
        m_bActed = false;
        m_bTimedOut = false;
        m_dwStart = ::GetTickCount();
        const UINT_PTR idTimer = ::SetTimer(nullptr, 0, 20, &ModalRun::OnTimer);
        start();
        ::KillTimer(nullptr, idTimer);
        s_pRun = nullptr;
        EXPECT_TRUE(m_bActed) << "the dialog was never seen";
        EXPECT_FALSE(m_bTimedOut) << "the dialog had to be cancelled by the test";
    }

  private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        if (s_pRun != nullptr) {
            s_pRun->Tick();
        }
    }

    void Tick() {
        const std::vector<HWND> windows = SetupWindows();
        if (::GetTickCount() - m_dwStart > 15000) {
            m_bTimedOut = true;
            for (HWND hWnd : windows) {
                ::PostMessageA(hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            }
            return;
        }
        // A dialog that act() opened by mistake runs its own loop: the
        // deadline above still reaches it.
        if (!m_bActed && !m_bInAct && !windows.empty()) {
            m_bActed = true;
            m_bInAct = true;
            m_act(windows.front());
            m_bInAct = false;
        }
    }

    static inline ModalRun* s_pRun = nullptr;
    std::function<void(HWND)> m_act;
    bool m_bActed = false;
    bool m_bInAct = false;
    bool m_bTimedOut = false;
    DWORD m_dwStart = 0;
};

// A plain visible top-level window to own the dialog, as the panel does.
class OwnerWnd : public CWnd {
  public:
    bool Create(int x = 200, int y = 150) {
        return CreateEx(0, RegisterWndClass(0), "setup test owner",
                        WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, 560, 420, nullptr, nullptr);
    }
};

class SetupDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kProductKey);
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kProductKey);
        g_hotKeySettings.Load();
        g_hotKeyWindowPos.Load();
        SetMessageBoxFunction([this](HWND, const std::string& text, const std::string&, UINT) {
            m_boxes.push_back(text);
            return IDOK;
        });
    }
    void TearDown() override {
        if (m_owner.m_hWnd != nullptr) {
            m_owner.DestroyWindow();
        }
        SetMessageBoxFunction(nullptr);
    }

    // The dialog run modally over pOwner (none: the thread's main window).
    INT_PTR RunDialog(CWnd* pOwner, std::function<void(HWND)> act) {
        CSetupDlg dlg(pOwner);
        INT_PTR nResult = -1;
        ModalRun().Run([&] { nResult = dlg.DoModal(); }, std::move(act));
        return nResult;
    }

    OwnerWnd m_owner;
    std::vector<std::string> m_boxes;
};

TEST_F(SetupDialog, FirstOpeningShowsTheDefaultsInArialCentredOverItsOwner) {
    ASSERT_TRUE(m_owner.Create());
    const int nDpi = [] {
        HDC hdc = ::GetDC(nullptr);
        const int n = ::GetDeviceCaps(hdc, LOGPIXELSY);
        ::ReleaseDC(nullptr, hdc);
        return n;
    }();
    RECT rcShown = {};
    const INT_PTR nResult = RunDialog(&m_owner, [&](HWND hDlg) {
        rcShown = WindowRect(hDlg);
        EXPECT_EQ(::GetWindow(hDlg, GW_OWNER), m_owner.m_hWnd);
        EXPECT_FALSE(::IsWindowEnabled(m_owner.m_hWnd));
        const POINT dialogCentre = CentreOf(rcShown);
        const POINT ownerCentre = CentreOf(WindowRect(m_owner.m_hWnd));
        EXPECT_NEAR(dialogCentre.x, ownerCentre.x, 1);
        EXPECT_NEAR(dialogCentre.y, ownerCentre.y, 1);
        EXPECT_EQ(::GetFocus(), ::GetDlgItem(hDlg, IDOK));

        // Enabled, Ctrl alone in every row, the default keys in action order.
        EXPECT_TRUE(Checked(hDlg, IDC_ENABLE_HOTKEYS));
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(ModifiersShown(hDlg, i), static_cast<DWORD>(MOD_CONTROL)) << i;
            EXPECT_EQ(KeyShown(hDlg, i), kDefaultKeys[i]) << i;
            EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hDlg, kRows[i].nKey)));
        }

        // Every key list: 69 names, and a dropped list wide enough for them.
        for (const Row& row : kRows) {
            HWND hCombo = ::GetDlgItem(hDlg, row.nKey);
            ASSERT_EQ(::SendMessageA(hCombo, CB_GETCOUNT, 0, 0), 69) << row.nKey;
            EXPECT_EQ(ItemText(hCombo, 0), "n/u");
            EXPECT_EQ(ItemText(hCombo, 1), "A");
            EXPECT_EQ(ItemText(hCombo, 37), "F1");
            EXPECT_EQ(ItemText(hCombo, 68), "Num-9");
            ::SendMessageA(hCombo, CB_SHOWDROPDOWN, TRUE, 0);
            ::SendMessageA(hCombo, CB_SHOWDROPDOWN, FALSE, 0);
            const int nDropped = static_cast<int>(::SendMessageA(hCombo, CB_GETDROPPEDWIDTH, 0, 0));
            HDC hdc = ::GetDC(hCombo);
            HGDIOBJ hOld = ::SelectObject(
                hdc, reinterpret_cast<HGDIOBJ>(::SendMessageA(hCombo, WM_GETFONT, 0, 0)));
            for (const char* name : {"Pg-Down", "Up-Arrow", "Dn-Arrow"}) {
                SIZE extent = {};
                ::GetTextExtentPoint32A(hdc, name, static_cast<int>(std::strlen(name)), &extent);
                EXPECT_GE(nDropped, extent.cx + ::GetSystemMetrics(SM_CXVSCROLL)) << name;
            }
            ::SelectObject(hdc, hOld);
            ::ReleaseDC(hCombo, hdc);
            EXPECT_GT(nDropped, WindowRect(hCombo).right - WindowRect(hCombo).left);
        }

        // Group boxes in 12-point bold Arial, every other switched control in
        // 10-point; OK and Cancel keep the dialog's font.
        auto expectArial = [&](int nId, int nTenths) {
            const LOGFONTA lf =
                FontOf(reinterpret_cast<HFONT>(::SendDlgItemMessageA(hDlg, nId, WM_GETFONT, 0, 0)));
            EXPECT_STREQ(lf.lfFaceName, "Arial") << nId;
            EXPECT_EQ(lf.lfWeight, FW_BOLD) << nId;
            EXPECT_EQ(lf.lfHeight, -::MulDiv(nTenths, nDpi, 720)) << nId;
            EXPECT_EQ(lf.lfQuality, PROOF_QUALITY) << nId;
        };
        for (int nId : kGroupBoxes) {
            expectArial(nId, 120);
        }
        expectArial(IDC_ENABLE_HOTKEYS, 100);
        for (int nId : kLabels) {
            expectArial(nId, 100);
        }
        for (const Row& row : kRows) {
            for (int nId : {row.nCtrl, row.nAlt, row.nShift, row.nWin, row.nKey}) {
                expectArial(nId, 100);
            }
        }
        const LRESULT hDialogFont = ::SendMessageA(hDlg, WM_GETFONT, 0, 0);
        EXPECT_EQ(::SendDlgItemMessageA(hDlg, IDOK, WM_GETFONT, 0, 0), hDialogFont);
        EXPECT_EQ(::SendDlgItemMessageA(hDlg, IDCANCEL, WM_GETFONT, 0, 0), hDialogFont);

        EXPECT_TRUE(SaveWindowBitmap(hDlg, "setup_dialog.bmp"));
        Click(hDlg, IDCANCEL);
    });
    EXPECT_EQ(nResult, IDCANCEL);
    EXPECT_TRUE(::IsWindowEnabled(m_owner.m_hWnd));
    // Nothing of the assignment is written by looking; the place is.
    EXPECT_EQ(ValueCount(kHotKeysKey), -1);
    EXPECT_EQ(static_cast<LONG>(Dword("nWindowLeft", kWindowKey)), rcShown.left);
    EXPECT_EQ(static_cast<LONG>(Dword("nWindowTop", kWindowKey)), rcShown.top);
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(SetupDialog, OkStoresEveryRowAsItStands) {
    const INT_PTR nResult = RunDialog(nullptr, [&](HWND hDlg) {
        // Window: Alt+Shift+W instead of Ctrl+F6.
        Click(hDlg, kRows[WINDOW].nCtrl);
        Click(hDlg, kRows[WINDOW].nAlt);
        Click(hDlg, kRows[WINDOW].nShift);
        ChooseKey(hDlg, WINDOW, "W");
        // Width Increase: no key, Ctrl+Win.
        Click(hDlg, kRows[WIDTHUP].nWin);
        ChooseKey(hDlg, WIDTHUP, "n/u");
        // Position Increase: a digit, no modifier at all.
        Click(hDlg, kRows[POSUP].nCtrl);
        ChooseKey(hDlg, POSUP, "7");
        PressKey(hDlg, VK_RETURN);
    });
    EXPECT_EQ(nResult, IDOK);
    EXPECT_EQ(ValueCount(kHotKeysKey), 17);
    EXPECT_EQ(Dword("bHotKeysEnabled"), 1u);
    EXPECT_EQ(Dword("nWindowModifiers"), 5u);
    EXPECT_EQ(Text("sWindowKey"), "W");
    EXPECT_EQ(Dword("nWidthUpModifiers"), 10u);
    EXPECT_EQ(Text("sWidthUpKey"), "n/u");
    EXPECT_EQ(Dword("nPosUpModifiers"), 0u);
    EXPECT_EQ(Text("sPosUpKey"), "7");
    // The untouched rows are stored as shown.
    EXPECT_EQ(Dword("nPopupModifiers"), 2u);
    EXPECT_EQ(Text("sPopupKey"), "F5");
    EXPECT_EQ(Text("sPosDownKey"), "F11");
    EXPECT_EQ(Text("sWidthDownKey"), "F9");
    // And the settings hold what was stored, for the registration after.
    EXPECT_TRUE(g_hotKeySettings.m_bEnabled);
    EXPECT_EQ(g_hotKeySettings.m_nModifiers[WINDOW], 5u);
    EXPECT_EQ(g_hotKeySettings.m_strKey[WINDOW], "W");
    EXPECT_EQ(g_hotKeySettings.m_strKey[WIDTHUP], "n/u");
    EXPECT_EQ(g_hotKeySettings.m_strKey[LINES], "F7");
}

TEST_F(SetupDialog, CancelEscapeAndTheCloseBoxStoreNothingAndReloadTheSettings) {
    Store("sLinesKey", "Home");
    // Cancel by Escape, by the close box and by the button.
    const std::function<void(HWND)> closers[] = {
        [](HWND hDlg) { PressKey(hDlg, VK_ESCAPE); },
        [](HWND hDlg) { ::PostMessageA(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0); },
        [](HWND hDlg) { Click(hDlg, IDCANCEL); },
    };
    for (const auto& close : closers) {
        const INT_PTR nResult = RunDialog(nullptr, [&](HWND hDlg) {
            EXPECT_EQ(KeyShown(hDlg, LINES), "Home");
            EXPECT_EQ(KeyShown(hDlg, POPUP), "F5");
            ChooseKey(hDlg, LINES, "End");
            Click(hDlg, kRows[POPUP].nAlt);
            Click(hDlg, IDC_ENABLE_HOTKEYS);
            // Whatever the settings were left holding meanwhile goes too.
            g_hotKeySettings.m_strKey[POPUP] = "Q";
            g_hotKeySettings.m_bEnabled = false;
            close(hDlg);
        });
        EXPECT_EQ(nResult, IDCANCEL);
        EXPECT_EQ(ValueCount(kHotKeysKey), 1);
        EXPECT_EQ(Text("sLinesKey"), "Home");
        EXPECT_EQ(g_hotKeySettings.m_strKey[LINES], "Home");
        EXPECT_EQ(g_hotKeySettings.m_strKey[POPUP], "F5");
        EXPECT_EQ(g_hotKeySettings.m_nModifiers[POPUP], 2u);
        EXPECT_TRUE(g_hotKeySettings.m_bEnabled);
    }
}

TEST_F(SetupDialog, TheSwitchGreysOutEveryRowAtOnceAndOkStoresItOffWithTheRows) {
    const INT_PTR nResult = RunDialog(nullptr, [&](HWND hDlg) {
        ChooseKey(hDlg, POPUP, "Home");
        Click(hDlg, IDC_ENABLE_HOTKEYS);
        EXPECT_FALSE(Checked(hDlg, IDC_ENABLE_HOTKEYS));
        int nDisabled = 0;
        for (HWND hChild = ::GetWindow(hDlg, GW_CHILD); hChild != nullptr;
             hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
            const int nId = ::GetDlgCtrlID(hChild);
            const bool bStaysOn = nId == IDOK || nId == IDCANCEL || nId == IDC_ENABLE_HOTKEYS ||
                                  nId == IDC_HOTKEYS_AREA;
            EXPECT_EQ(::IsWindowEnabled(hChild) != FALSE, bStaysOn) << nId;
            nDisabled += bStaysOn ? 0 : 1;
        }
        // Six group boxes, four labels, 32 check boxes and eight key lists.
        EXPECT_EQ(nDisabled, 6 + 4 + 32 + 8);
        Click(hDlg, IDOK);
    });
    EXPECT_EQ(nResult, IDOK);
    EXPECT_EQ(Dword("bHotKeysEnabled"), 0u);
    EXPECT_EQ(Text("sPopupKey"), "Home");
    EXPECT_EQ(Text("sWindowKey"), "F6");
    EXPECT_EQ(Dword("nOptionsModifiers"), 2u);
    EXPECT_FALSE(g_hotKeySettings.m_bEnabled);

    // The next opening starts switched off, its rows greyed out.
    RunDialog(nullptr, [&](HWND hDlg) {
        EXPECT_FALSE(Checked(hDlg, IDC_ENABLE_HOTKEYS));
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hDlg, kRows[OPTIONS].nKey)));
        EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hDlg, kRows[POSDOWN].nWin)));
        EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hDlg, IDOK)));
        EXPECT_EQ(KeyShown(hDlg, POPUP), "Home");
        Click(hDlg, IDCANCEL);
    });
}

TEST_F(SetupDialog, HandEditedValuesShowAsTheirListItemsAndAreStoredCleanly) {
    Store("sLinesKey", "f7");
    Store("sPopupKey", "a");
    Store("sWindowKey", "Space");  // no such key in the list
    Store("sOptionsKey", "");
    Store("sPosDownKey", "pg-down");
    Store("sPosUpKey", std::string(150, 'F'));
    Store(kHotKeysKey, "nPopupModifiers", 16);
    Store(kHotKeysKey, "nWindowModifiers", 6);
    Store(kHotKeysKey, "nLinesModifiers", 0xFFFFFFFF);
    const INT_PTR nResult = RunDialog(nullptr, [&](HWND hDlg) {
        EXPECT_EQ(KeyShown(hDlg, LINES), "F7");
        EXPECT_EQ(KeyShown(hDlg, POPUP), "A");
        EXPECT_EQ(KeyShown(hDlg, WINDOW), "n/u");
        EXPECT_EQ(KeyShown(hDlg, OPTIONS), "n/u");
        EXPECT_EQ(KeyShown(hDlg, POSDOWN), "Pg-Down");
        EXPECT_EQ(KeyShown(hDlg, POSUP), "n/u");
        EXPECT_EQ(ModifiersShown(hDlg, POPUP), 0u);
        EXPECT_EQ(ModifiersShown(hDlg, WINDOW), static_cast<DWORD>(MOD_CONTROL | MOD_SHIFT));
        EXPECT_EQ(ModifiersShown(hDlg, LINES), 15u);
        Click(hDlg, IDOK);
    });
    EXPECT_EQ(nResult, IDOK);
    EXPECT_EQ(Text("sLinesKey"), "F7");
    EXPECT_EQ(Text("sPopupKey"), "A");
    EXPECT_EQ(Text("sWindowKey"), "n/u");
    EXPECT_EQ(Text("sOptionsKey"), "n/u");
    EXPECT_EQ(Text("sPosDownKey"), "Pg-Down");
    EXPECT_EQ(Text("sPosUpKey"), "n/u");
    EXPECT_EQ(Dword("nPopupModifiers"), 0u);
    EXPECT_EQ(Dword("nWindowModifiers"), 6u);
    EXPECT_EQ(Dword("nLinesModifiers"), 15u);
}

TEST_F(SetupDialog, ItsPlaceIsSavedAfterOkAndCancelAndRestoredNextTime) {
    RECT rcWork = {};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &rcWork, 0);
    // No owner: centred on the work area, then moved and cancelled.
    RunDialog(nullptr, [&](HWND hDlg) {
        EXPECT_EQ(::GetWindow(hDlg, GW_OWNER), nullptr);
        const POINT centre = CentreOf(WindowRect(hDlg));
        EXPECT_NEAR(centre.x, (rcWork.left + rcWork.right) / 2, 1);
        EXPECT_NEAR(centre.y, (rcWork.top + rcWork.bottom) / 2, 1);
        ::SetWindowPos(hDlg, nullptr, 37, 41, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        Click(hDlg, IDCANCEL);
    });
    EXPECT_EQ(Dword("nWindowLeft", kWindowKey), 37u);
    EXPECT_EQ(Dword("nWindowTop", kWindowKey), 41u);

    // A stored place wins over centring on a visible owner; OK saves too.
    ASSERT_TRUE(m_owner.Create(300, 250));
    RunDialog(&m_owner, [&](HWND hDlg) {
        const RECT rc = WindowRect(hDlg);
        EXPECT_EQ(rc.left, 37);
        EXPECT_EQ(rc.top, 41);
        ::SetWindowPos(hDlg, nullptr, 73, 29, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        Click(hDlg, IDOK);
    });
    EXPECT_EQ(Dword("nWindowLeft", kWindowKey), 73u);
    EXPECT_EQ(Dword("nWindowTop", kWindowKey), 29u);
    RunDialog(&m_owner, [&](HWND hDlg) {
        EXPECT_EQ(WindowRect(hDlg).left, 73);
        EXPECT_EQ(WindowRect(hDlg).top, 29);
        Click(hDlg, IDCANCEL);
    });

    // A place on no screen at all (a monitor since removed) would put the
    // modal dialog out of reach: it is centred on its owner instead.
    Store(kWindowKey, "nWindowLeft", 5000);
    Store(kWindowKey, "nWindowTop", 4000);
    RECT rcShown = {};
    RunDialog(&m_owner, [&](HWND hDlg) {
        rcShown = WindowRect(hDlg);
        const POINT centre = CentreOf(rcShown);
        const POINT ownerCentre = CentreOf(WindowRect(m_owner.m_hWnd));
        EXPECT_NEAR(centre.x, ownerCentre.x, 1);
        EXPECT_NEAR(centre.y, ownerCentre.y, 1);
        Click(hDlg, IDCANCEL);
    });
    EXPECT_EQ(static_cast<LONG>(Dword("nWindowLeft", kWindowKey)), rcShown.left);
}

// ---- the panel's "Hot Keys..." command ----

class HotKeysCommand : public SetupDialog {
  protected:
    void SetUp() override {
        SetupDialog::SetUp();
        m_panel.m_bHideAtStart = FALSE;
        SetMainWnd(&m_panel);
        ASSERT_TRUE(m_panel.Create());
        m_panel.ShowWindow(SW_SHOW);
        ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(m_panel.m_hWnd) != FALSE; }));
    }
    void TearDown() override {
        ::UnregisterHotKey(nullptr, kRivalId);
        if (m_panel.m_hWnd != nullptr) {
            m_panel.DestroyWindow();
        }
        SetMainWnd(nullptr);
        SetupDialog::TearDown();
    }
    void RunCommand(std::function<void(HWND)> act) {
        ModalRun().Run([&] { m_panel.SendMessage(WM_COMMAND, ID_HOTKEYS); }, std::move(act));
    }

    static constexpr int kRivalId = 0x77;
    CRemotePanelDlg m_panel;
};

TEST_F(HotKeysCommand, FreesTheKeysWhileTheDialogIsOpenAndTakesTheStoredOnesAfterCancel) {
    ASSERT_EQ(CountDefaultHotKeysTaken(nullptr), 8);
    // Away from the screen's edges, so that centring needs no push back.
    ::SetWindowPos(m_panel.m_hWnd, nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    int nTakenWhileOpen = -1;
    int nTakenAfterSecondCommand = -1;
    size_t nDialogsAfterSecondCommand = 0;
    RunCommand([&](HWND hDlg) {
        nTakenWhileOpen = CountDefaultHotKeysTaken(nullptr);
        EXPECT_EQ(::GetWindow(hDlg, GW_OWNER), m_panel.m_hWnd);
        const POINT centre = CentreOf(WindowRect(hDlg));
        const POINT panelCentre = CentreOf(WindowRect(m_panel.m_hWnd));
        EXPECT_NEAR(centre.x, panelCentre.x, 1);
        EXPECT_NEAR(centre.y, panelCentre.y, 1);
        // Someone else takes Lines' key while the dialog is open.
        EXPECT_TRUE(::RegisterHotKey(nullptr, kRivalId, MOD_CONTROL, VK_F7));
        // "Hot Keys..." again (the tray menu stays usable): no second dialog,
        // and the keys stay free.
        m_panel.SendMessage(WM_COMMAND, ID_HOTKEYS);
        nDialogsAfterSecondCommand = SetupWindows().size();
        nTakenAfterSecondCommand = CountDefaultHotKeysTaken(nullptr);
        ChooseKey(hDlg, WINDOW, "F2");
        Click(hDlg, IDCANCEL);
    });
    EXPECT_EQ(nTakenWhileOpen, 0);
    EXPECT_EQ(nDialogsAfterSecondCommand, 1u);
    EXPECT_EQ(nTakenAfterSecondCommand, 1);  // the rival's alone
    // The stored assignment again, Lines refused and told.
    EXPECT_EQ(m_boxes, std::vector<std::string>{"Could not activate hot key for Lines"});
    EXPECT_EQ(CountDefaultHotKeysTaken(nullptr), 8);
    EXPECT_FALSE(HotKeyTaken(nullptr, MOD_CONTROL, VK_F2));
    ::UnregisterHotKey(nullptr, kRivalId);
    EXPECT_FALSE(HotKeyTaken(nullptr, MOD_CONTROL, VK_F7));
    EXPECT_TRUE(::IsWindowEnabled(m_panel.m_hWnd));
}

TEST_F(HotKeysCommand, TakesTheChosenKeysAfterOkAndNoneWhenSwitchedOff) {
    RunCommand([&](HWND hDlg) {
        ChooseKey(hDlg, WINDOW, "F2");
        Click(hDlg, IDOK);
    });
    EXPECT_TRUE(HotKeyTaken(nullptr, MOD_CONTROL, VK_F2));
    EXPECT_FALSE(HotKeyTaken(nullptr, MOD_CONTROL, VK_F6));
    EXPECT_TRUE(HotKeyTaken(nullptr, MOD_CONTROL, VK_F5));
    EXPECT_EQ(Text("sWindowKey"), "F2");

    RunCommand([&](HWND hDlg) {
        Click(hDlg, IDC_ENABLE_HOTKEYS);
        Click(hDlg, IDOK);
    });
    EXPECT_EQ(CountDefaultHotKeysTaken(nullptr), 0);
    EXPECT_FALSE(HotKeyTaken(nullptr, MOD_CONTROL, VK_F2));
    EXPECT_TRUE(m_boxes.empty());
}

}  // namespace
