#include "hotkeys/setup_logic.h"

#include "hotkeys/hot_key_settings.h"
#include "hotkeys/key_names.h"

namespace setup_logic {

namespace {

// The modifier bit behind each check box, in the boxes' order.
constexpr RegDword kCheckBits[kModifierChecks] = {HOTKEY_MOD_CONTROL, HOTKEY_MOD_ALT,
                                                  HOTKEY_MOD_SHIFT, HOTKEY_MOD_WIN};

}  // namespace

std::vector<std::string> KeyListItems() {
    std::vector<std::string> items;
    items.reserve(kKeyListCount);
    items.emplace_back("n/u");
    for (char c = 'A'; c <= 'Z'; ++c) {
        items.emplace_back(1, c);
    }
    for (char c = '0'; c <= '9'; ++c) {
        items.emplace_back(1, c);
    }
    for (const KeyNameRow* pRow = g_keyNameTable; pRow->nCode != 0; ++pRow) {
        items.emplace_back(pRow->pszName);
    }
    return items;
}

ModifierChecks ChecksOfModifiers(RegDword nModifiers) {
    ModifierChecks checks = {};
    for (int i = 0; i < kModifierChecks; ++i) {
        checks[i] = (nModifiers & kCheckBits[i]) != 0;
    }
    return checks;
}

RegDword ModifiersOfChecks(const ModifierChecks& checks) {
    RegDword nModifiers = 0;
    for (int i = 0; i < kModifierChecks; ++i) {
        if (checks[i]) {
            nModifiers += kCheckBits[i];
        }
    }
    return nModifiers;
}

}  // namespace setup_logic
