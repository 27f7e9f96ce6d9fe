// The section "HotKeys" that holds the user's assignment of a key name and a
// modifier set to each of the eight actions, in action order.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "hotkeys/actions.h"
#include "settings/registry_section.h"

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
