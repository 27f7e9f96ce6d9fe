// The eight hot-key actions and the section "HotKeys" that holds the user's
// assignment of a key name and a modifier set to each, in action order.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "settings/registry_section.h"

// Hot-key ids, given to the system at registration and received with
// WM_HOTKEY; 101 + the action's index.
enum : int {
    HOTKEY_POPUP = 101,
    HOTKEY_WINDOW = 102,
    HOTKEY_LINES = 103,
    HOTKEY_OPTIONS = 104,
    HOTKEY_POSDOWN = 105,
    HOTKEY_POSUP = 106,
    HOTKEY_WIDTHDOWN = 107,
    HOTKEY_WIDTHUP = 108,
};

inline constexpr int kHotKeyCount = 8;

// Modifier bits, stored and passed to the system as they are (MOD_ALT,
// MOD_CONTROL, MOD_SHIFT, MOD_WIN).
enum : RegDword {
    HOTKEY_MOD_ALT = 1,
    HOTKEY_MOD_CONTROL = 2,
    HOTKEY_MOD_SHIFT = 4,
    HOTKEY_MOD_WIN = 8,
};

struct HotKeyAction {
    int nId;
    const char* pszDisplayName;    // named in "Could not activate hot key for %s"
    const char* pszKeyValue;       // registry value of the key name
    const char* pszModifierValue;  // registry value of the modifier set
    const char* pszDefaultKey;
    RegDword nDefaultModifiers;
    // The level steps act at every press the system sends while the key is
    // held; the other actions once per stroke (hot_key_strokes.h).
    bool bRepeatsWhileHeld;
};

// The actions in action order.
extern const HotKeyAction g_hotKeyActions[kHotKeyCount];

inline constexpr const char* kHotKeysSectionFormat = "Software\\%s\\%s\\HotKeys";

class CWnd;

class CHotKeySettings : public CRegistrySection {
  public:
    explicit CHotKeySettings(RegKey hRootKey = kRegCurrentUser);

    // bHotKeysEnabled, the eight modifier sets, then the eight key names.
    RegResult Exchange(RegKey hKey, bool bSave, bool bDefaults) override;

#ifdef _WIN32
    // Remembers the owner window and, when enabled, registers every action's
    // hot key for it, with MOD_NOREPEAT where the action acts once per
    // stroke, one message box per failing key in action order. True when
    // nothing failed.
    bool RegisterAll(CWnd* pOwner);
    // Unregisters ids 101 to 108 from the remembered owner; nothing before
    // the first RegisterAll.
    void UnregisterAll();
    // Registers one hot key for the owner, telling the user when the name is
    // unknown or the system refuses the combination. "n/u" registers nothing.
    bool RegisterOne(const char* pszKeyName, unsigned int nModifiers, int nId,
                     const char* pszDisplayName);
#endif

    CWnd* m_pOwner = nullptr;  // receives WM_HOTKEY; set by RegisterAll, never cleared
    bool m_bEnabled = true;
    std::array<std::string, kHotKeyCount> m_strKey;
    std::array<RegDword, kHotKeyCount> m_nModifiers;

  private:
    void SetDefaults();
};

extern CHotKeySettings g_hotKeySettings;
