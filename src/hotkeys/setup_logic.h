// The Setup Hot Keys dialog's rules that need no window: the items of every
// key list, how a modifier set shows in a row's four check boxes and is read
// back from them, and where the dialog goes when no position is stored.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "settings/settings_store.h"

namespace setup_logic {

// Items of every key list, in list order: "n/u", "A" to "Z", "0" to "9",
// then the names of g_keyNameTable in table order.
inline constexpr int kKeyListCount = 1 + 26 + 10 + 32;
std::vector<std::string> KeyListItems();

// A row's check boxes, in the dialog's order.
enum : int { CHECK_CTRL = 0, CHECK_ALT = 1, CHECK_SHIFT = 2, CHECK_WIN = 3 };
inline constexpr int kModifierChecks = 4;
using ModifierChecks = std::array<bool, kModifierChecks>;

// Which boxes a stored modifier set checks. Bits other than the four
// modifiers have no box and are not shown.
ModifierChecks ChecksOfModifiers(RegDword nModifiers);
// The modifier set the checked boxes stand for; it replaces the old set
// whole, so bits without a box are dropped.
RegDword ModifiersOfChecks(const ModifierChecks& checks);

// What OK asks before it keeps a hot key whose key other programs need for
// typing or moving (a letter, a digit, an arrow, Home, End, Page Up/Down,
// Insert, Delete, the number pad) with no modifier: the system would give
// that key to the program in every window. Empty when there is nothing to
// ask: a modifier is set, the key is a function key, or there is none.
std::string BareKeyQuestion(const std::string& strKey, RegDword nModifiers);

}  // namespace setup_logic
