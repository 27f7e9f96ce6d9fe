// Key names as stored and registered, the Setup dialog's key list, and its
// modifier check boxes.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "hotkeys/hot_key_settings.h"
#include "hotkeys/key_names.h"
#include "hotkeys/setup_logic.h"

TEST(KeyNames, TheTableAndTheLetterDigitRuleAcceptExactlyTheirNames) {
    const std::pair<const char*, int> cases[] = {
        {"n/u", 0},    {"N/U", 0},      {"A", 'A'},    {"Z", 'Z'},        {"0", '0'},
        {"9", '9'},    {"F1", 0x70},    {"f12", 0x7B}, {"Pg-Down", 0x22}, {"dn-arrow", 0x28},
        {"Ins", 0x2D}, {"Num-9", 0x69}, {"a", -1},     {"z", -1},         {"@", -1},
        {"[", -1},     {"/", -1},       {":", -1},     {"AB", -1},        {"10", -1},
        {"", -1},      {"F13", -1},     {"F1 ", -1},   {"Num-10", -1},    {"Pg Up", -1},
        {"n/u ", -1},  {nullptr, -1},
    };
    for (const auto& [pszName, nCode] : cases) {
        EXPECT_EQ(KeyNameToVirtualKey(pszName), nCode) << (pszName ? pszName : "(null)");
    }
}

TEST(KeyNames, EveryItemOfTheSetupListRegistersAsItsOwnKey) {
    std::set<int> codes;
    for (const std::string& item : setup_logic::KeyListItems()) {
        const int nCode = KeyNameToVirtualKey(item.c_str());
        EXPECT_GE(nCode, 0) << item;
        EXPECT_TRUE(codes.insert(nCode).second) << "a second item for one key: " << item;
    }
    EXPECT_EQ(codes.size(), 69u);
}

TEST(KeyNames, EachModifierBoxStandsForItsOwnBit) {
    using setup_logic::ModifierChecks;
    EXPECT_EQ(setup_logic::ChecksOfModifiers(HOTKEY_MOD_CONTROL), (ModifierChecks{1, 0, 0, 0}));
    EXPECT_EQ(setup_logic::ChecksOfModifiers(HOTKEY_MOD_ALT), (ModifierChecks{0, 1, 0, 0}));
    EXPECT_EQ(setup_logic::ChecksOfModifiers(HOTKEY_MOD_SHIFT), (ModifierChecks{0, 0, 1, 0}));
    EXPECT_EQ(setup_logic::ChecksOfModifiers(HOTKEY_MOD_WIN), (ModifierChecks{0, 0, 0, 1}));
    for (RegDword n = 0; n < 16; ++n) {
        EXPECT_EQ(setup_logic::ModifiersOfChecks(setup_logic::ChecksOfModifiers(n)), n);
    }
}

TEST(KeyNames, OkAsksBeforeABareKeyThatOtherProgramsTypeOrMoveWith) {
    const std::pair<const char*, const char*> asked[] = {
        {"W", "type"}, {"7", "type"}, {"Home", "work"}, {"Num-0", "work"}, {"Dn-Arrow", "work"}};
    for (const auto& [pszKey, pszVerb] : asked) {
        EXPECT_EQ(setup_logic::BareKeyQuestion(pszKey, 0),
                  std::string(pszKey) + " will no longer " + pszVerb +
                      " in other programs while it is a hot key. Use it anyway?");
    }
    const std::pair<const char*, RegDword> silent[] = {{"W", HOTKEY_MOD_SHIFT},
                                                       {"W", HOTKEY_MOD_WIN},
                                                       {"Home", HOTKEY_MOD_ALT},
                                                       {"F1", 0},
                                                       {"F12", 0},
                                                       {"n/u", 0}};
    for (const auto& [pszKey, nModifiers] : silent) {
        EXPECT_EQ(setup_logic::BareKeyQuestion(pszKey, nModifiers), "") << pszKey;
    }
}
