#include "hotkeys/hot_key_strokes.h"

#include <algorithm>

bool CHotKeyStrokes::Press(int nId, unsigned nVirtKey, std::int64_t nNowMs) {
    const HotKeyAction* pAction = ActionOfHotKey(nId);
    if (pAction == nullptr) {
        return false;
    }
    if (pAction->bRepeatsWhileHeld) {
        return true;
    }
    Held& held = m_held[static_cast<std::size_t>(pAction - g_hotKeyActions)];
    if (held.nKey != 0) {
        return false;  // a repeat of the stroke that acted
    }
    held = {nVirtKey, nNowMs};
    return true;
}

void CHotKeyStrokes::Look(std::int64_t nNowMs, const std::function<bool(unsigned)>& isKeyDown,
                          const std::function<bool()>& isPressWaiting) {
    std::array<Held, kHotKeyCount> stillHeld = m_held;
    for (Held& held : stillHeld) {
        if (held.nKey != 0 && nNowMs - held.nPressMs > kStaleUpMs && !isKeyDown(held.nKey)) {
            held = {};
        }
    }
    if (stillHeld != m_held && !isPressWaiting()) {
        m_held = stillHeld;
    }
}

bool CHotKeyStrokes::AnyHeld() const {
    return std::any_of(m_held.begin(), m_held.end(),
                       [](const Held& held) { return held.nKey != 0; });
}
