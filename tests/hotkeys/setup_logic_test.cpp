// The Setup Hot Keys dialog's window-free rules: the key lists' items, the
// modifier check boxes, and where an unplaced dialog goes.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

#include "hotkeys/hot_key_settings.h"
#include "hotkeys/key_names.h"
#include "hotkeys/setup_logic.h"

namespace {

using setup_logic::CHECK_ALT;
using setup_logic::CHECK_CTRL;
using setup_logic::CHECK_SHIFT;
using setup_logic::CHECK_WIN;
using setup_logic::ChecksOfModifiers;
using setup_logic::ModifierChecks;
using setup_logic::ModifiersOfChecks;

std::string Lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

TEST(SetupKeyList, HoldsNoKeyThenLettersDigitsAndTheNamedKeysInOrder) {
    const std::vector<std::string> items = setup_logic::KeyListItems();
    ASSERT_EQ(items.size(), 69u);
    ASSERT_EQ(static_cast<int>(items.size()), setup_logic::kKeyListCount);
    EXPECT_EQ(items.front(), "n/u");
    EXPECT_EQ(items[1], "A");
    EXPECT_EQ(items[26], "Z");
    EXPECT_EQ(items[27], "0");
    EXPECT_EQ(items[36], "9");
    EXPECT_EQ(items[37], "F1");
    EXPECT_EQ(items[54], "Pg-Down");
    EXPECT_EQ(items.back(), "Num-9");
    for (int i = 0; i < kKeyNameRows; ++i) {
        EXPECT_EQ(items[37 + i], g_keyNameTable[i].pszName) << i;
    }
}

TEST(SetupKeyList, EveryItemIsAKeyNameAndACaseFreeSearchFindsExactlyOne) {
    std::set<std::string> seen;
    std::set<int> codes;
    for (const std::string& item : setup_logic::KeyListItems()) {
        // What the dialog stores must register as the key it shows.
        const int nCode = KeyNameToVirtualKey(item.c_str());
        if (item == "n/u") {
            EXPECT_EQ(nCode, 0);
        } else {
            EXPECT_GT(nCode, 0) << item;
            EXPECT_TRUE(codes.insert(nCode).second) << "two items for one key: " << item;
        }
        EXPECT_TRUE(seen.insert(Lower(item)).second) << "ambiguous without case: " << item;
    }
    // Every default and the hand-edited forms of them find their item.
    for (const HotKeyAction& action : g_hotKeyActions) {
        EXPECT_EQ(seen.count(Lower(action.pszDefaultKey)), 1u) << action.pszDefaultKey;
    }
}

TEST(SetupModifierChecks, EachBoxStandsForItsOwnBit) {
    EXPECT_EQ(ChecksOfModifiers(HOTKEY_MOD_CONTROL), (ModifierChecks{true, false, false, false}));
    EXPECT_EQ(ChecksOfModifiers(HOTKEY_MOD_ALT), (ModifierChecks{false, true, false, false}));
    EXPECT_EQ(ChecksOfModifiers(HOTKEY_MOD_SHIFT), (ModifierChecks{false, false, true, false}));
    EXPECT_EQ(ChecksOfModifiers(HOTKEY_MOD_WIN), (ModifierChecks{false, false, false, true}));
    // 6 is Ctrl and Shift; 5 is Alt and Shift.
    EXPECT_EQ(ChecksOfModifiers(6), (ModifierChecks{true, false, true, false}));
    ModifierChecks checks = {};
    checks[CHECK_ALT] = true;
    checks[CHECK_SHIFT] = true;
    EXPECT_EQ(ModifiersOfChecks(checks), 5u);
    checks = {};
    checks[CHECK_CTRL] = true;
    checks[CHECK_WIN] = true;
    EXPECT_EQ(ModifiersOfChecks(checks), 10u);
    EXPECT_EQ(ModifiersOfChecks(ModifierChecks{}), 0u);
}

TEST(SetupModifierChecks, EverySetOfTheFourBitsComesBackAndOtherBitsAreDropped) {
    for (RegDword n = 0; n < 16; ++n) {
        EXPECT_EQ(ModifiersOfChecks(ChecksOfModifiers(n)), n) << n;
    }
    // A hand-edited 16 shows nothing and is read back as 0.
    EXPECT_EQ(ChecksOfModifiers(16), ModifierChecks{});
    EXPECT_EQ(ModifiersOfChecks(ChecksOfModifiers(16)), 0u);
    EXPECT_EQ(ModifiersOfChecks(ChecksOfModifiers(16 | 6)), 6u);
    EXPECT_EQ(ModifiersOfChecks(ChecksOfModifiers(0xFFFFFFFFu)), 15u);
}

}  // namespace
