// Which hot-key presses act. While a key is held the system sends its hot key
// again and again (its auto-repeat). The program asks it not to for the
// actions that act once per stroke (MOD_NOREPEAT), but Wine 8 takes that
// flag and sends the repeats all the same, so the program keeps the rule
// itself: such an action stays held from the press that acted until its key
// is seen up, and the presses in between do nothing. The level steps
// (bRepeatsWhileHeld) act at every press. The caller looks at the keys every
// kLookMs while an action is held.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "hotkeys/hot_key_settings.h"

class CHotKeyStrokes {
  public:
    // Between two strokes a finger leaves a key up for longer than this, so
    // a look sees every release.
    static constexpr unsigned kLookMs = 10;
    // Wine 8 answers GetAsyncKeyState for a key it last saw up from its own
    // copy of the key states, up to 50 ms old: a key pressed again within
    // that time still reads up (47 ms was seen). No look frees an action this
    // soon after its press (a finger's two strokes of one key lie further
    // apart).
    static constexpr std::int64_t kStaleUpMs = 50;

    // A press of hot key nId (HOTKEY_POPUP to HOTKEY_WIDTHUP) on key
    // nVirtKey at nNowMs: true when its action acts. An action acting once
    // per stroke is then held until a look sees nVirtKey up (a press naming
    // no key, which the system never sends, holds nothing).
    bool Press(int nId, unsigned nVirtKey, std::int64_t nNowMs);
    // The caller's look at nNowMs: each held action whose key isKeyDown
    // tells up is free again, unless isPressWaiting, asked after the keys,
    // tells that a hot key is still on its way to the caller: it may be a
    // repeat sent just before the key went up, and the next look frees the
    // action after it.
    void Look(std::int64_t nNowMs, const std::function<bool(unsigned)>& isKeyDown,
              const std::function<bool()>& isPressWaiting);
    // True while an action is held: the looks go on.
    bool AnyHeld() const;

  private:
    struct Held {
        unsigned nKey = 0;  // 0 while not held
        std::int64_t nPressMs = 0;
        bool operator==(const Held&) const = default;
    };
    std::array<Held, kHotKeyCount> m_held{};  // per action
};
