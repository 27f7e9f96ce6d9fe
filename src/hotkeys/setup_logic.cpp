#include "hotkeys/setup_logic.h"

#include "hotkeys/hot_key_settings.h"
#include "hotkeys/key_names.h"

namespace setup_logic {

namespace {

// The modifier bit behind each check box, in the boxes' order.
constexpr RegDword kCheckBits[kModifierChecks] = {HOTKEY_MOD_CONTROL, HOTKEY_MOD_ALT,
                                                  HOTKEY_MOD_SHIFT, HOTKEY_MOD_WIN};

// The start of [nLow, nHigh) that puts a span of nSize centred on
// [nAreaLow, nAreaHigh), moved to lie within [nLow, nHigh) where it fits.
int CentredStart(int nSize, int nAreaLow, int nAreaHigh, int nLow, int nHigh) {
    int nStart = nAreaLow + ((nAreaHigh - nAreaLow) - nSize) / 2;
    if (nStart + nSize > nHigh) {
        nStart = nHigh - nSize;
    }
    if (nStart < nLow) {
        nStart = nLow;
    }
    return nStart;
}

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

Point CentredCorner(const Rect& rcWindow, const Rect& rcArea, const Rect& rcWork) {
    return {CentredStart(rcWindow.Width(), rcArea.left, rcArea.right, rcWork.left, rcWork.right),
            CentredStart(rcWindow.Height(), rcArea.top, rcArea.bottom, rcWork.top, rcWork.bottom)};
}

}  // namespace setup_logic
