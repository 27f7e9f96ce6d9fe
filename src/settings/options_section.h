// The user's options, in the section "Options": from the panel's File menu
// Keyboard Control (the bars take the focus and the keys work the buttons and
// bars) and Sounds (a short system sound answers each action), both off until
// the user turns them on; from Connection details the port to use (0, the
// default: automatic); the port on which the magnifier last answered, which
// an automatic search tries first; and the last POSITION and WIDTH, which the
// panel and the magnifier get again at the next start.
#pragma once

#include "settings/registry_section.h"

// The level POSITION and WIDTH start at when none is stored.
inline constexpr std::int32_t kStartLevel = 63;

// The highest port number a stored port may name, as the system numbers them.
inline constexpr std::int32_t kMaxPortNumber = 999;

inline constexpr const char* kOptionsSectionFormat = "Software\\%s\\%s\\Options";

class COptionsSection : public CRegistrySection {
  public:
    explicit COptionsSection(RegKey hRootKey = kRegCurrentUser);

    // bKeyboardControl, then bSounds: written as 1 or 0; any non-zero number
    // reads as on, and a value that cannot be read as off. Then nPort and
    // nLastPort: a port number, 1 to 999; 0, or a value that is not such a
    // number, reads as none (automatic). Then nPosition and nWidth: 0 to 255;
    // a value that is not such a level reads as 63, where the panel starts.
    RegResult Exchange(RegKey hKey, bool bSave, bool bDefaults) override;

    bool m_bKeyboardControl = false;
    bool m_bSounds = false;
    std::int32_t m_nPort = 0;
    std::int32_t m_nLastPort = 0;
    std::int32_t m_nPosition = kStartLevel;
    std::int32_t m_nWidth = kStartLevel;
};

extern COptionsSection g_options;
