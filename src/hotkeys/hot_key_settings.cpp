#include "hotkeys/hot_key_settings.h"

// The default keys are not in F-key order: Position takes F11 and F12, Width
// takes F9 and F10. Showing the panel and the three buttons act once per
// stroke (the buttons cycle the magnifier's modes); the level steps repeat
// while held.
const HotKeyAction g_hotKeyActions[kHotKeyCount] = {
    {HOTKEY_POPUP, "Popup", "sPopupKey", "nPopupModifiers", "F5", HOTKEY_MOD_CONTROL, false},
    {HOTKEY_WINDOW, "Window", "sWindowKey", "nWindowModifiers", "F6", HOTKEY_MOD_CONTROL, false},
    {HOTKEY_LINES, "Lines", "sLinesKey", "nLinesModifiers", "F7", HOTKEY_MOD_CONTROL, false},
    {HOTKEY_OPTIONS, "Options", "sOptionsKey", "nOptionsModifiers", "F8", HOTKEY_MOD_CONTROL,
     false},
    {HOTKEY_POSDOWN, "Position Decrease", "sPosDownKey", "nPosDownModifiers", "F11",
     HOTKEY_MOD_CONTROL, true},
    {HOTKEY_POSUP, "Position Increase", "sPosUpKey", "nPosUpModifiers", "F12", HOTKEY_MOD_CONTROL,
     true},
    {HOTKEY_WIDTHDOWN, "Width Decrease", "sWidthDownKey", "nWidthDownModifiers", "F9",
     HOTKEY_MOD_CONTROL, true},
    {HOTKEY_WIDTHUP, "Width Increase", "sWidthUpKey", "nWidthUpModifiers", "F10",
     HOTKEY_MOD_CONTROL, true},
};

CHotKeySettings g_hotKeySettings;

CHotKeySettings::CHotKeySettings(RegKey hRootKey)
    : CRegistrySection(hRootKey, kHotKeysSectionFormat, kSettingsCompany, kSettingsProduct) {
    SetDefaults();
}

void CHotKeySettings::SetDefaults() {
    m_bEnabled = true;
    for (int i = 0; i < kHotKeyCount; ++i) {
        m_strKey[i] = g_hotKeyActions[i].pszDefaultKey;
        m_nModifiers[i] = g_hotKeyActions[i].nDefaultModifiers;
    }
}

RegResult CHotKeySettings::Exchange(RegKey hKey, bool bSave, bool bDefaults) {
    if (bDefaults) {
        SetDefaults();
        return kRegSuccess;
    }
    CValuePass pass(*this, hKey, bSave);
    pass.Flag("bHotKeysEnabled", m_bEnabled, true);
    for (int i = 0; i < kHotKeyCount; ++i) {
        pass.Dword(g_hotKeyActions[i].pszModifierValue, m_nModifiers[i],
                   g_hotKeyActions[i].nDefaultModifiers);
    }
    for (int i = 0; i < kHotKeyCount; ++i) {
        pass.String(g_hotKeyActions[i].pszKeyValue, m_strKey[i], g_hotKeyActions[i].pszDefaultKey);
    }
    return pass.Finish();
}
