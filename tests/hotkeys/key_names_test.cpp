// Key names and the hot-key actions.
#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

#include "hotkeys/hot_key_settings.h"
#include "hotkeys/key_names.h"

namespace {

std::string Lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

std::string Upper(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return s;
}

}  // namespace

TEST(KeyNames, NoHotKeyInAnyCase) {
    for (const char* name : {"n/u", "N/u", "n/U", "N/U"}) {
        EXPECT_EQ(KeyNameToVirtualKey(name), 0) << name;
    }
    EXPECT_EQ(KeyNameToVirtualKey("n/u "), -1);
    EXPECT_EQ(KeyNameToVirtualKey("nu"), -1);
}

TEST(KeyNames, SingleUpperCaseLettersAndDigitsAreTheirCharacterCodes) {
    for (char c = 'A'; c <= 'Z'; ++c) {
        EXPECT_EQ(KeyNameToVirtualKey(std::string(1, c).c_str()), c);
        EXPECT_EQ(KeyNameToVirtualKey(std::string(1, static_cast<char>(c - 'A' + 'a')).c_str()), -1)
            << "lower-case " << c;
    }
    for (char c = '0'; c <= '9'; ++c) {
        EXPECT_EQ(KeyNameToVirtualKey(std::string(1, c).c_str()), c);
    }
    EXPECT_EQ(KeyNameToVirtualKey("A"), 0x41);
    EXPECT_EQ(KeyNameToVirtualKey("Z"), 0x5A);
    EXPECT_EQ(KeyNameToVirtualKey("0"), 0x30);
    EXPECT_EQ(KeyNameToVirtualKey("9"), 0x39);
    EXPECT_EQ(KeyNameToVirtualKey("AB"), -1);
    EXPECT_EQ(KeyNameToVirtualKey("10"), -1);
}

TEST(KeyNames, TableNamesMatchWithoutRegardToCase) {
    int nRows = 0;
    std::set<std::string> names;
    std::set<int> codes;
    for (const KeyNameRow* pRow = g_keyNameTable; pRow->nCode != 0; ++pRow, ++nRows) {
        const std::string name = pRow->pszName;
        EXPECT_EQ(KeyNameToVirtualKey(name.c_str()), pRow->nCode) << name;
        EXPECT_EQ(KeyNameToVirtualKey(Lower(name).c_str()), pRow->nCode) << name;
        EXPECT_EQ(KeyNameToVirtualKey(Upper(name).c_str()), pRow->nCode) << name;
        EXPECT_TRUE(names.insert(Lower(name)).second) << "duplicate name " << name;
        EXPECT_TRUE(codes.insert(pRow->nCode).second) << "duplicate code for " << name;
        // No row may shadow a single letter or digit.
        EXPECT_GT(name.size(), 1u) << name;
    }
    EXPECT_EQ(nRows, kKeyNameRows);
    EXPECT_EQ(g_keyNameTable[kKeyNameRows].nCode, 0);

    // The list order the dialog shows, at its ends and turns.
    EXPECT_STREQ(g_keyNameTable[0].pszName, "F1");
    EXPECT_STREQ(g_keyNameTable[11].pszName, "F12");
    EXPECT_STREQ(g_keyNameTable[12].pszName, "Ins");
    EXPECT_STREQ(g_keyNameTable[21].pszName, "R-Arrow");
    EXPECT_STREQ(g_keyNameTable[31].pszName, "Num-9");

    EXPECT_EQ(KeyNameToVirtualKey("f12"), 0x7B);
    EXPECT_EQ(KeyNameToVirtualKey("f5"), 0x74);
    EXPECT_EQ(KeyNameToVirtualKey("HOME"), 0x24);
    EXPECT_EQ(KeyNameToVirtualKey("pg-down"), 0x22);
    EXPECT_EQ(KeyNameToVirtualKey("Num-5"), 0x65);
    EXPECT_EQ(KeyNameToVirtualKey("Dn-Arrow"), 0x28);
    EXPECT_EQ(KeyNameToVirtualKey("Del"), 0x2E);
}

TEST(KeyNames, UnknownNames) {
    for (const char* name : {"F13", "Space", "-", "", "F1 ", " F1", "Num-10", "PgUp"}) {
        EXPECT_EQ(KeyNameToVirtualKey(name), -1) << "'" << name << "'";
    }
    EXPECT_EQ(KeyNameToVirtualKey(nullptr), -1);
    EXPECT_EQ(KeyNameToVirtualKey(std::string(150, 'F').c_str()), -1);
}

TEST(HotKeyActions, IdsNamesAndDefaultsInActionOrder) {
    const char* const display[] = {"Popup",
                                   "Window",
                                   "Lines",
                                   "Options",
                                   "Position Decrease",
                                   "Position Increase",
                                   "Width Decrease",
                                   "Width Increase"};
    std::set<std::string> values;
    for (int i = 0; i < kHotKeyCount; ++i) {
        const HotKeyAction& action = g_hotKeyActions[i];
        EXPECT_EQ(action.nId, HOTKEY_POPUP + i);
        EXPECT_STREQ(action.pszDisplayName, display[i]);
        // Every default is a key the names know, and all eight differ.
        EXPECT_GT(KeyNameToVirtualKey(action.pszDefaultKey), 0) << action.pszDefaultKey;
        EXPECT_EQ(action.nDefaultModifiers, RegDword{HOTKEY_MOD_CONTROL});
        EXPECT_TRUE(values.insert(action.pszDefaultKey).second);
        // Registry names follow the type-letter convention.
        EXPECT_EQ(action.pszKeyValue[0], 's');
        EXPECT_EQ(action.pszModifierValue[0], 'n');
    }
    EXPECT_EQ(HOTKEY_WIDTHUP, 108);
    // Position takes F11 and F12, Width F9 and F10.
    EXPECT_STREQ(g_hotKeyActions[HOTKEY_POSDOWN - HOTKEY_POPUP].pszDefaultKey, "F11");
    EXPECT_STREQ(g_hotKeyActions[HOTKEY_WIDTHUP - HOTKEY_POPUP].pszDefaultKey, "F10");
}
