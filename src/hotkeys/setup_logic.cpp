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

std::string BareKeyQuestion(const std::string& strKey, RegDword nModifiers) {
    constexpr RegDword kAnyModifier =
        HOTKEY_MOD_CONTROL | HOTKEY_MOD_ALT | HOTKEY_MOD_SHIFT | HOTKEY_MOD_WIN;
    const int nCode = KeyNameToVirtualKey(strKey.c_str());
    constexpr int kF1 = 0x70, kF24 = 0x87;
    if ((nModifiers & kAnyModifier) != 0 || nCode <= 0 || (nCode >= kF1 && nCode <= kF24)) {
        return {};
    }
    // A letter or digit types; the other keys move or edit.
    const char* pszWhat = strKey.size() == 1 ? " will no longer type" : " will no longer work";
    return strKey + pszWhat + " in other programs while it is a hot key. Use it anyway?";
}

}  // namespace setup_logic
