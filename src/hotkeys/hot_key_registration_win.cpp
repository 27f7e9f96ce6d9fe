// Registration of the hot keys with the system for the owner window.
#include <windows.h>

#include "base/failure_log_win.h"
#include "framework/message_box.h"
#include "framework/wnd.h"
#include "hotkeys/hot_key_settings.h"
#include "hotkeys/key_names.h"

static_assert(HOTKEY_MOD_ALT == MOD_ALT && HOTKEY_MOD_CONTROL == MOD_CONTROL);
static_assert(HOTKEY_MOD_SHIFT == MOD_SHIFT && HOTKEY_MOD_WIN == MOD_WIN);

namespace {

HWND OwnerHwnd(CWnd* pOwner) {
    return pOwner ? pOwner->GetSafeHwnd() : nullptr;
}

}  // namespace

bool CHotKeySettings::RegisterAll(CWnd* pOwner) {
    m_pOwner = pOwner;
    if (!m_bEnabled) {
        return true;
    }
    bool bAll = true;
    for (int i = 0; i < kHotKeyCount; ++i) {
        const HotKeyAction& action = g_hotKeyActions[i];
        // The system is asked for one press per stroke where the action acts
        // once (Wine 8 ignores it: hot_key_strokes.h); the flag is never stored.
        const unsigned int nModifiers =
            m_nModifiers[i] | (action.bRepeatsWhileHeld ? 0u : unsigned{MOD_NOREPEAT});
        // Every action is tried, also after a failure.
        if (!RegisterOne(m_strKey[i].c_str(), nModifiers, action.nId, action.pszDisplayName)) {
            bAll = false;
        }
    }
    return bAll;
}

bool CHotKeySettings::RegisterOne(const char* pszKeyName, unsigned int nModifiers, int nId,
                                  const char* pszDisplayName) {
    const int nCode = KeyNameToVirtualKey(pszKeyName);
    if (nCode == 0) {
        return true;  // "n/u": this action has no hot key
    }
    // The texts are built whole, whatever the length of a stored key name.
    if (nCode < 0) {
        AppMessageBox(
            std::string("Could not identify hot key '") + (pszKeyName ? pszKeyName : "") + "'",
            MB_OK | MB_ICONEXCLAMATION, OwnerHwnd(m_pOwner));
        return false;
    }
    const std::string strSubject = "hot key " + std::to_string(nId);
    if (!::RegisterHotKey(OwnerHwnd(m_pOwner), nId, nModifiers, static_cast<UINT>(nCode))) {
        KeepFailure(strSubject, "RegisterHotKey", ::GetLastError());
        AppMessageBox(std::string("Could not activate hot key for ") + pszDisplayName,
                      MB_OK | MB_ICONEXCLAMATION, OwnerHwnd(m_pOwner));
        return false;
    }
    ForgetFailure(strSubject);
    return true;
}

void CHotKeySettings::UnregisterAll() {
    if (!m_pOwner) {
        return;
    }
    for (const HotKeyAction& action : g_hotKeyActions) {
        ::UnregisterHotKey(OwnerHwnd(m_pOwner), action.nId);
    }
}
