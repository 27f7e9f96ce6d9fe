// Which hot-key presses act, in virtual time, with the keyboard of the X
// server under Wine 8: every repeat sent, MOD_NOREPEAT or not, and the key
// states read through Wine's copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "hotkeys/hot_key_strokes.h"

namespace {

constexpr int kLook = static_cast<int>(CHotKeyStrokes::kLookMs);

// A key of hot key nId held from nDownMs to nUpMs.
struct Stroke {
    int nId;
    unsigned nKey;
    int nDownMs, nUpMs;
};

// How often each hot key acted. As X does, the key pressed last sends its hot
// key at once, after 660 ms and every 40 ms after that until it goes up;
// none is sent from quiet.first to .second (the modifier let go meanwhile,
// or Setup open with the keys unregistered). The panel looks every kLook ms;
// as Wine 8 does, a key it last read up reads up for 50 ms without asking.
std::map<int, int> Acts(const std::vector<Stroke>& strokes, std::pair<int, int> quiet = {}) {
    CHotKeyStrokes rule;
    std::map<int, int> acts;
    const Stroke* pRepeating = nullptr;
    const auto isDown = [&](int t, unsigned nKey) {
        return std::any_of(strokes.begin(), strokes.end(), [&](const Stroke& s) {
            return s.nKey == nKey && s.nDownMs <= t && t < s.nUpMs;
        });
    };
    std::map<unsigned, std::pair<bool, int>> copy;  // per key: down as last read, and when
    const auto read = [&](int t, unsigned nKey) {
        auto& [bDown, nReadMs] = copy.try_emplace(nKey, false, -1000).first->second;
        if (bDown || t - nReadMs >= 50) {
            bDown = isDown(t, nKey);
            nReadMs = t;
        }
        return bDown;
    };
    for (int t = 0; t <= strokes.back().nUpMs + 100; ++t) {
        for (const Stroke& s : strokes) {
            pRepeating = s.nDownMs == t ? &s : pRepeating;
        }
        pRepeating = pRepeating && t < pRepeating->nUpMs ? pRepeating : nullptr;
        const int nHeld = pRepeating ? t - pRepeating->nDownMs : -1;
        if ((nHeld == 0 || (nHeld >= 660 && (nHeld - 660) % 40 == 0)) &&
            (t < quiet.first || t >= quiet.second)) {
            acts[pRepeating->nId] += rule.Press(pRepeating->nId, pRepeating->nKey, t);
        }
        if (t % kLook == 0 && rule.AnyHeld()) {
            rule.Look(
                t, [&](unsigned nKey) { return read(t, nKey); }, [] { return false; });
        }
    }
    return acts;
}

}  // namespace

TEST(HotKeyStrokes, FourActOncePerStrokeAndTheLevelStepsAtEveryRepeat) {
    // Held 1.5 s: the press and 21 repeats. Then up for one look (Wine's copy
    // of the keys still has it up after the next press) and held as long.
    for (const HotKeyAction& action : g_hotKeyActions) {
        // The level steps repeat; the panel and the buttons, which cycle modes, do not.
        EXPECT_EQ(action.bRepeatsWhileHeld, action.kind == ActionKind::Step) << action.nId;
        const int nId = action.nId, nHeld = action.bRepeatsWhileHeld ? 22 : 1;
        const unsigned nKey = 0x75;  // F6
        EXPECT_EQ(Acts({{nId, nKey, 0, 1500}})[nId], nHeld) << "held, hot key " << nId;
        EXPECT_EQ(Acts({{nId, nKey, 0, 1500}, {nId, nKey, 1500 + kLook, 3000}})[nId], 2 * nHeld)
            << "pressed again after one look, hot key " << nId;
    }
}

TEST(HotKeyStrokes, AStrokeLastsWhileItsKeyIsDownWhateverElseHappens) {
    // The presses stop and start again while the key stays down.
    EXPECT_EQ(Acts({{HOTKEY_WINDOW, 0x75, 0, 2000}}, {800, 1200})[HOTKEY_WINDOW], 1);
    // Two held at once: F7 pressed over F6 (X repeats F7 now); F6 up and
    // down again while F7 stays down.
    const std::map<int, int> acts = Acts({{HOTKEY_WINDOW, 0x75, 0, 1500},
                                          {HOTKEY_LINES, 0x76, 1000, 2500},
                                          {HOTKEY_WINDOW, 0x75, 1600, 2200}});
    EXPECT_EQ(acts, (std::map<int, int>{{HOTKEY_WINDOW, 2}, {HOTKEY_LINES, 1}}));
}

TEST(HotKeyStrokes, ALookFreesAnActionOnlyPastWinesCopyAndWithNoPressOnItsWay) {
    CHotKeyStrokes rule;
    const auto up = [](unsigned) { return false; };
    const auto none = [] { return false; };
    EXPECT_TRUE(rule.Press(HOTKEY_OPTIONS, 0x77, 1000));
    rule.Look(1000 + CHotKeyStrokes::kStaleUpMs, up, none);  // may be Wine's copy
    // A repeat sent before the key went up is still on its way.
    rule.Look(1060, up, [] { return true; });
    EXPECT_FALSE(rule.Press(HOTKEY_OPTIONS, 0x77, 1065));
    rule.Look(1070, up, none);
    EXPECT_FALSE(rule.AnyHeld());
    EXPECT_TRUE(rule.Press(HOTKEY_OPTIONS, 0x77, 1080)) << "the next stroke";
    EXPECT_FALSE(rule.Press(HOTKEY_POPUP - 1, 0x77, 1090) ||
                 rule.Press(HOTKEY_WIDTHUP + 1, 0x77, 1090));
}
