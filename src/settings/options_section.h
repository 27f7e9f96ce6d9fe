// The user's options, in the section "Options": from the panel's File menu
// Keyboard Control (the bars take the focus and the keys work the buttons and
// bars) and Sounds (a short system sound answers each action), both off until
// the user turns them on; from Connection details the port to use (0, the
// default: automatic); and the port on which the magnifier last answered,
// which an automatic search tries first.
#pragma once

#include "settings/registry_section.h"

// The highest port number a stored port may name, as the system numbers them.
inline constexpr std::int32_t kMaxPortNumber = 999;

inline constexpr const char* kOptionsSectionFormat = "Software\\%s\\%s\\Options";

class COptionsSection : public CRegistrySection {
  public:
    explicit COptionsSection(RegKey hRootKey = kRegCurrentUser);

    // bKeyboardControl, then bSounds: written as 1 or 0; any non-zero number
    // reads as on, and a value that cannot be read as off. Then nPort and
    // nLastPort: a port number, 1 to 999; 0, or a value that is not such a
    // number, reads as none (automatic).
    RegResult Exchange(RegKey hKey, bool bSave, bool bDefaults) override;

    bool m_bKeyboardControl = false;
    bool m_bSounds = false;
    std::int32_t m_nPort = 0;
    std::int32_t m_nLastPort = 0;
};

extern COptionsSection g_options;
