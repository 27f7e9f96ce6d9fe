// The group enable check box and the wide drop-down list under Wine, in a
// test dialog driven by messages. The dialog stays hidden: the controls
// behave the same, and Wine does not wait for a window manager on each one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "controls/group_enable_check.h"
#include "controls/wide_drop_combo.h"
#include "framework/dialog.h"
#include "framework/gdi.h"
#include "group_test_ids.h"
#include "resource.h"

namespace {

using Notification = std::pair<int, int>;  // control id, notification code

// A wide drop-down list that also notes each drop width it sets.
class RecordingCombo : public CWideDropCombo {
  public:
    std::vector<int> widthsSet;

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == CB_SETDROPPEDWIDTH) {
            widthsSet.push_back(static_cast<int>(wParam));
        }
        return CWideDropCombo::WindowProc(message, wParam, lParam);
    }
};

// A dialog that notes the control notifications that reach it.
class LoggingDialog : public CDialog {
  public:
    explicit LoggingDialog(UINT nIdTemplate) : CDialog(nIdTemplate) {}

    std::vector<Notification> seen;

    HWND Item(int nId) const { return GetDlgItem(nId); }
    bool Saw(int nId, int nCode) const {
        return std::find(seen.begin(), seen.end(), Notification(nId, nCode)) != seen.end();
    }

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_COMMAND && lParam != 0) {
            seen.emplace_back(LOWORD(wParam), HIWORD(wParam));
        }
        return CDialog::WindowProc(message, wParam, lParam);
    }
};

class GroupDialog : public LoggingDialog {
  public:
    GroupDialog() : LoggingDialog(IDD_GROUP_TEST) {}

    CGroupEnableCheck m_chkEnable;
    RecordingCombo m_cboKey;

  protected:
    void DoDataExchange() override {
        BindControl(IDC_T_ENABLE, m_chkEnable);
        BindControl(IDC_T_COMBO, m_cboKey);
    }
};

const int kInside[] = {IDC_T_CHECK, IDC_T_COMBO, IDC_T_PLAIN, IDC_T_LABEL, IDC_T_PARTIAL};
const int kOutside[] = {IDOK, IDCANCEL, IDC_T_EDGE, IDC_T_ENABLE};

bool Enabled(HWND hWnd) {
    return ::IsWindowEnabled(hWnd) != FALSE;
}
bool Visible(HWND hWnd) {
    return (::GetWindowLongA(hWnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

SIZE TextExtent(HFONT hFont, const std::string& text) {
    CMemoryDC dc(nullptr);
    CSelectObject font(dc, hFont);
    SIZE extent = {};
    ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    return extent;
}

RECT RectInParent(HWND hWnd) {
    RECT rc = {};
    ::GetWindowRect(hWnd, &rc);
    ::MapWindowPoints(nullptr, ::GetParent(hWnd), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// A fresh test dialog for each test.
class GroupControls : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dlg.Create()); }
    void TearDown() override { dlg.DestroyWindow(); }

    // Expects each of the controls to be (or not be) enabled or visible.
    template <std::size_t N>
    void Expect(const int (&ids)[N], bool (*pIs)(HWND), bool bWanted) const {
        for (int nId : ids) {
            EXPECT_EQ(pIs(dlg.Item(nId)), bWanted) << "control " << nId;
        }
    }

    GroupDialog dlg;
};

// ---- the group enable check box ----

TEST_F(GroupControls, TheTemplateMeetsTheGroupEdgesExactly) {
    // The cases below rely on these pixel positions.
    const RECT rcGroup = RectInParent(dlg.Item(IDC_T_GROUP));
    EXPECT_EQ(RectInParent(dlg.Item(IDOK)).top, rcGroup.bottom);
    EXPECT_EQ(RectInParent(dlg.Item(IDCANCEL)).top, rcGroup.bottom);
    EXPECT_EQ(RectInParent(dlg.Item(IDC_T_EDGE)).left, rcGroup.right);
    EXPECT_LT(RectInParent(dlg.Item(IDC_T_PARTIAL)).left, rcGroup.right);
    EXPECT_GT(RectInParent(dlg.Item(IDC_T_PARTIAL)).right, rcGroup.right);
}

TEST_F(GroupControls, StateSwitchesEveryControlOverlappingTheGroupAndNothingElse) {
    dlg.m_chkEnable.AttachGroupById(IDC_T_GROUP, FALSE);
    // Attached while clear: the group is off at once.
    Expect(kInside, Enabled, false);
    Expect(kOutside, Enabled, true);

    dlg.m_chkEnable.SetChecked(BST_CHECKED);
    EXPECT_EQ(dlg.m_chkEnable.GetCheck(), BST_CHECKED);
    Expect(kInside, Enabled, true);

    dlg.m_chkEnable.SetChecked(BST_UNCHECKED);
    Expect(kInside, Enabled, false);
    Expect(kOutside, Enabled, true);
    // Without the hide option nothing is shown or hidden.
    EXPECT_TRUE(Visible(dlg.Item(IDC_T_CHECK)));
    EXPECT_FALSE(Visible(dlg.Item(IDC_T_GROUP)));
}

TEST_F(GroupControls, IndeterminateDisablesAndWithTheHideOptionKeepsThemShown) {
    // Only a three-state box holds state 2.
    dlg.m_chkEnable.SendMessage(BM_SETSTYLE, BS_AUTO3STATE | WS_TABSTOP, FALSE);
    dlg.m_chkEnable.AttachGroupById(IDC_T_GROUP, TRUE);
    dlg.m_chkEnable.SetChecked(BST_INDETERMINATE);
    ASSERT_EQ(dlg.m_chkEnable.GetCheck(), BST_INDETERMINATE);
    Expect(kInside, Enabled, false);
    Expect(kInside, Visible, true);
    EXPECT_TRUE(Visible(dlg.Item(IDC_T_GROUP)));
}

TEST_F(GroupControls, TheHideOptionShowsAndHidesTheGroupWithItsControls) {
    dlg.m_chkEnable.AttachGroup(dlg.Item(IDC_T_GROUP), TRUE);
    Expect(kInside, Visible, false);
    Expect(kOutside, Visible, true);

    dlg.m_chkEnable.SetChecked(BST_CHECKED);
    Expect(kInside, Visible, true);
    Expect(kInside, Enabled, true);
    // The template keeps the group box itself hidden; switching on shows it.
    EXPECT_TRUE(Visible(dlg.Item(IDC_T_GROUP)));

    dlg.m_chkEnable.SetChecked(BST_UNCHECKED);
    Expect(kInside, Visible, false);
    EXPECT_FALSE(Visible(dlg.Item(IDC_T_GROUP)));
    Expect(kOutside, Visible, true);
}

TEST_F(GroupControls, AttachingPutsTheBoxOnTheGroupEdgeSizedToItsWholeTextInItsOwnFont) {
    // A font well apart from the dialog's, so that measuring with any other
    // font shows.
    LOGFONTA lf = {};
    ASSERT_TRUE(GetLogFont(dlg.m_chkEnable.GetFont(), lf));
    lf.lfHeight = lf.lfHeight < 0 ? lf.lfHeight * 3 : -36;
    CFont big;
    ASSERT_TRUE(big.CreateFontIndirect(lf));
    dlg.m_chkEnable.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(big.Get()), FALSE);

    const std::string text = dlg.m_chkEnable.GetWindowText();
    ASSERT_EQ(text.back(), ' ');  // trailing blanks count
    HWND hGroup = dlg.Item(IDC_T_GROUP);
    ASSERT_NE(::GetWindow(hGroup, GW_HWNDNEXT), dlg.m_chkEnable.m_hWnd);

    dlg.m_chkEnable.AttachGroupById(IDC_T_GROUP, FALSE);

    char caption[64] = "unchanged";
    ::GetWindowTextA(hGroup, caption, sizeof caption);
    EXPECT_STREQ(caption, "");
    const SIZE extent = TextExtent(big, text);
    EXPECT_GT(extent.cx, TextExtent(big, "Switch it all").cx);
    const RECT rcGroup = RectInParent(hGroup);
    const RECT rcBox = RectInParent(dlg.m_chkEnable);
    EXPECT_EQ(rcBox.left, rcGroup.left + 10);
    EXPECT_EQ(rcBox.top, rcGroup.top);
    EXPECT_EQ(rcBox.right - rcBox.left, extent.cx + 25);
    EXPECT_EQ(rcBox.bottom - rcBox.top, extent.cy);
    EXPECT_EQ(::GetWindow(hGroup, GW_HWNDNEXT), dlg.m_chkEnable.m_hWnd);
    dlg.m_chkEnable.SendMessage(WM_SETFONT, 0, FALSE);  // before the font goes
}

TEST_F(GroupControls, AClickTogglesAndSwitchesTheGroupAndTheParentStillGetsIt) {
    dlg.m_chkEnable.AttachGroupById(IDC_T_GROUP, FALSE);
    ASSERT_FALSE(Enabled(dlg.Item(IDC_T_CHECK)));

    dlg.m_chkEnable.SendMessage(BM_CLICK);
    EXPECT_EQ(dlg.m_chkEnable.GetCheck(), BST_CHECKED);
    Expect(kInside, Enabled, true);
    EXPECT_TRUE(dlg.Saw(IDC_T_ENABLE, BN_CLICKED));

    dlg.seen.clear();
    dlg.m_chkEnable.SendMessage(BM_CLICK);
    EXPECT_EQ(dlg.m_chkEnable.GetCheck(), BST_UNCHECKED);
    Expect(kInside, Enabled, false);
    EXPECT_TRUE(dlg.Saw(IDC_T_ENABLE, BN_CLICKED));
}

// ---- the wide drop-down list ----

class WideDropCombo : public GroupControls {
  protected:
    int Digit() const { return TextExtent(dlg.m_cboKey.GetFont(), "0").cx; }
    int Fitted(const std::string& longest) const {
        return TextExtent(dlg.m_cboKey.GetFont(), longest).cx + ::GetSystemMetrics(SM_CXVSCROLL) +
               Digit();
    }
    int DroppedWidth() const {
        return static_cast<int>(dlg.m_cboKey.SendMessage(CB_GETDROPPEDWIDTH));
    }
    void NotifyDropDown() const {
        dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_T_COMBO, CBN_DROPDOWN),
                        reinterpret_cast<LPARAM>(dlg.m_cboKey.m_hWnd));
    }
    int ListWidth() const {
        COMBOBOXINFO info = {};
        info.cbSize = sizeof info;
        if (!::GetComboBoxInfo(dlg.m_cboKey, &info) || info.hwndList == nullptr) {
            return -1;
        }
        RECT rc = {};
        ::GetWindowRect(info.hwndList, &rc);
        return rc.right - rc.left;
    }
};

TEST_F(WideDropCombo, AnEmptyBoxAsksForOneDigitAndKeepsTheBoxWidth) {
    const int nBoxWidth = DroppedWidth();
    NotifyDropDown();
    ASSERT_EQ(dlg.m_cboKey.widthsSet.size(), 1u);
    EXPECT_EQ(dlg.m_cboKey.widthsSet[0], Digit());
    EXPECT_EQ(DroppedWidth(), nBoxWidth);
    EXPECT_GT(nBoxWidth, Digit());
}

TEST_F(WideDropCombo, TheListOpensAsWideAsTheLongestEntryWithRoomForABar) {
    // Fewer entries than the list shows: the bar's width is there all the same.
    for (const char* name : {"F5", "Pg-Down", "Scroll-Lock", "Ins"}) {
        dlg.m_cboKey.AddString(name);
    }
    const RECT rcBox = dlg.m_cboKey.GetWindowRect();
    ASSERT_GT(Fitted("Scroll-Lock"), rcBox.right - rcBox.left);

    NotifyDropDown();
    EXPECT_EQ(DroppedWidth(), Fitted("Scroll-Lock"));

    // A longer entry added while closed widens the next drop, this time a
    // real one.
    dlg.m_cboKey.AddString("Application-Key");
    dlg.m_cboKey.SendMessage(CB_SHOWDROPDOWN, TRUE);
    EXPECT_EQ(DroppedWidth(), Fitted("Application-Key"));
    EXPECT_GE(ListWidth(), Fitted("Application-Key"));
    dlg.m_cboKey.SendMessage(CB_SHOWDROPDOWN, FALSE);
    EXPECT_EQ(dlg.m_cboKey.widthsSet.size(), 2u);
}

TEST_F(WideDropCombo, TheParentDoesNotSeeTheDropDownOfAWideBox) {
    dlg.m_cboKey.AddString("Num-Lock");
    dlg.m_cboKey.SendMessage(CB_SHOWDROPDOWN, TRUE);
    dlg.m_cboKey.SendMessage(CB_SHOWDROPDOWN, FALSE);
    EXPECT_EQ(DroppedWidth(), Fitted("Num-Lock"));
    EXPECT_FALSE(dlg.Saw(IDC_T_COMBO, CBN_DROPDOWN));
    EXPECT_TRUE(dlg.Saw(IDC_T_COMBO, CBN_CLOSEUP));  // only the drop-down is kept back

    // An ordinary box beside it: its parent is told.
    HWND hPlain = dlg.Item(IDC_T_PLAIN);
    ::SendMessageA(hPlain, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Num-Lock"));
    ::SendMessageA(hPlain, CB_SHOWDROPDOWN, TRUE, 0);
    ::SendMessageA(hPlain, CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_TRUE(dlg.Saw(IDC_T_PLAIN, CBN_DROPDOWN));
}

// ---- in the Setup Hot Keys dialog ----

const int kKeyBoxes[] = {IDC_POPUP_KEY,   IDC_WINDOW_KEY, IDC_LINES_KEY,     IDC_OPTIONS_KEY,
                         IDC_POSDOWN_KEY, IDC_POSUP_KEY,  IDC_WIDTHDOWN_KEY, IDC_WIDTHUP_KEY};

// The program's dialog with its switch and key lists bound and the switch
// attached to the area around every row, as its initialisation does.
class SetupDialog : public LoggingDialog {
  public:
    SetupDialog() : LoggingDialog(IDD_SETUP_HOTKEYS) {}

    CGroupEnableCheck m_chkEnable;
    CWideDropCombo m_cboKey[8];

  protected:
    void DoDataExchange() override {
        BindControl(IDC_ENABLE_HOTKEYS, m_chkEnable);
        for (int i = 0; i < 8; ++i) {
            BindControl(kKeyBoxes[i], m_cboKey[i]);
        }
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_chkEnable.AttachGroupById(IDC_HOTKEYS_AREA, FALSE);
        return TRUE;
    }
};

class SetupHotKeys : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dlg.Create()); }
    void TearDown() override { dlg.DestroyWindow(); }

    // Expects OK, Cancel, the switch and the area box enabled and every other
    // control enabled as bEnabled says; returns how many others there are.
    int CountSwitched(bool bEnabled) const {
        int nSwitched = 0;
        for (HWND hChild = ::GetWindow(dlg, GW_CHILD); hChild != nullptr;
             hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
            const int nId = ::GetDlgCtrlID(hChild);
            if (nId == IDOK || nId == IDCANCEL || nId == IDC_ENABLE_HOTKEYS ||
                nId == IDC_HOTKEYS_AREA) {
                EXPECT_TRUE(Enabled(hChild)) << nId;
                continue;
            }
            EXPECT_EQ(Enabled(hChild), bEnabled) << nId;
            ++nSwitched;
        }
        return nSwitched;
    }

    SetupDialog dlg;
};

TEST_F(SetupHotKeys, TheSwitchTurnsEveryHotKeySettingOffAndOnButNotOkAndCancel) {
    // Six group boxes, 8 x 5 row controls and four labels.
    constexpr int kRowControls = 6 + 8 * 5 + 4;
    dlg.m_chkEnable.SetChecked(BST_UNCHECKED);
    EXPECT_EQ(CountSwitched(false), kRowControls);
    dlg.m_chkEnable.SetChecked(BST_CHECKED);
    EXPECT_EQ(CountSwitched(true), kRowControls);

    // The user's click.
    dlg.m_chkEnable.SendMessage(BM_CLICK);
    EXPECT_EQ(dlg.m_chkEnable.GetCheck(), BST_UNCHECKED);
    EXPECT_EQ(CountSwitched(false), kRowControls);
    EXPECT_TRUE(dlg.Saw(IDC_ENABLE_HOTKEYS, BN_CLICKED));
}

TEST_F(SetupHotKeys, TheSwitchSitsOnTheAreasTopEdgeSizedToItsPaddedCaption) {
    const std::string text = dlg.m_chkEnable.GetWindowText();
    ASSERT_EQ(text.size(), 42u);
    const SIZE extent = TextExtent(dlg.GetFont(), text);
    const RECT rcArea = RectInParent(dlg.Item(IDC_HOTKEYS_AREA));
    const RECT rcBox = RectInParent(dlg.m_chkEnable);
    EXPECT_EQ(rcBox.left, rcArea.left + 10);
    EXPECT_EQ(rcBox.top, rcArea.top);
    EXPECT_EQ(rcBox.right - rcBox.left, extent.cx + 25);
    EXPECT_EQ(rcBox.bottom - rcBox.top, extent.cy);
    EXPECT_EQ(::GetWindow(dlg.Item(IDC_HOTKEYS_AREA), GW_HWNDNEXT), dlg.m_chkEnable.m_hWnd);
}

TEST_F(SetupHotKeys, EveryKeyListOpensWideEnoughForItsLongestName) {
    const char* const names[] = {"n/u", "A", "W", "0", "F10", "Pg-Down", "Up-Arrow", "Num-9"};
    for (CWideDropCombo& box : dlg.m_cboKey) {
        for (const char* name : names) {
            box.AddString(name);
        }
        int nLongest = 0;
        for (const char* name : names) {
            nLongest = std::max(nLongest, static_cast<int>(TextExtent(box.GetFont(), name).cx));
        }
        const int nExpected = nLongest + ::GetSystemMetrics(SM_CXVSCROLL) +
                              static_cast<int>(TextExtent(box.GetFont(), "0").cx);
        const RECT rcBox = box.GetWindowRect();
        ASSERT_GT(nExpected, rcBox.right - rcBox.left);  // the box alone is too narrow

        box.SendMessage(CB_SHOWDROPDOWN, TRUE);
        box.SendMessage(CB_SHOWDROPDOWN, FALSE);
        EXPECT_EQ(box.SendMessage(CB_GETDROPPEDWIDTH), nExpected) << ::GetDlgCtrlID(box);
        EXPECT_FALSE(dlg.Saw(::GetDlgCtrlID(box), CBN_DROPDOWN));
    }
}

}  // namespace
