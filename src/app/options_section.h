// The user's two options from the panel's File menu, in the section
// "Options": Keyboard Control (the bars take the focus and the keys work the
// buttons and bars) and Sounds (a short system sound answers each action).
// Both are off until the user turns them on.
#pragma once

#include "app/registry_section.h"

inline constexpr const char* kOptionsSectionFormat = "Software\\%s\\%s\\Options";

class COptionsSection : public CRegistrySection {
  public:
    explicit COptionsSection(RegKey hRootKey = kRegCurrentUser);

    // bKeyboardControl, then bSounds: written as 1 or 0; any non-zero number
    // reads as on, and a value that cannot be read as off.
    RegResult Exchange(RegKey hKey, bool bSave, bool bDefaults) override;

    bool m_bKeyboardControl = false;
    bool m_bSounds = false;
};

extern COptionsSection g_options;
