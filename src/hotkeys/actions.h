// The eight actions a hot key can have, one row each, in action order: what
// the hot-key dispatch, the panel's buttons and access keys, the settings'
// value names, the Setup dialog's rows and the tests all read. An action is
// one row here.
#pragma once

#include <cstdint>

#include "device/link_button.h"
#include "resource.h"

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
enum : std::uint32_t {
    HOTKEY_MOD_ALT = 1,
    HOTKEY_MOD_CONTROL = 2,
    HOTKEY_MOD_SHIFT = 4,
    HOTKEY_MOD_WIN = 8,
};

// What an action does: shows the panel, presses one of the magnifier's
// buttons, or steps one of the panel's level bars.
enum class ActionKind { ShowPanel, Press, Step };

struct HotKeyAction {
    int nId;
    const char* pszDisplayName;    // named in "Could not activate hot key for %s"
    const char* pszRowName;        // the Setup dialog's row as it reads
    const char* pszKeyValue;       // registry value of the key name
    const char* pszModifierValue;  // registry value of the modifier set
    const char* pszDefaultKey;
    std::uint32_t nDefaultModifiers;
    ActionKind kind;
    LinkButton button;  // Press: the magnifier's button,
    int nButtonId;      // the panel's button for it
    char chAccessKey;   // and the letter that presses it with Alt on the panel
    int nBarId;         // Step: the panel's bar,
    int nStep;          // one step down (-1) or up (+1)
    int nSetupIds[5];   // the Setup dialog's row: Ctrl, Alt, Shift, Win, the key list
    // The level steps act at every press the system sends while the key is
    // held; the other actions once per stroke (hot_key_strokes.h).
    bool bRepeatsWhileHeld;
};

// The actions in action order.
extern const HotKeyAction g_hotKeyActions[kHotKeyCount];

// The action of a hot-key id, of one of the panel's buttons, of an access
// key (an upper-case letter); null for none.
const HotKeyAction* ActionOfHotKey(int nId);
const HotKeyAction* ActionOfButton(int nButtonId);
const HotKeyAction* ActionOfAccessKey(unsigned nKey);
