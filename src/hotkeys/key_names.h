// Key names: how a hot key's key is stored and shown. A name is "n/u" (no
// hot key), a single upper-case letter or digit, or a row of g_keyNameTable.
// Virtual-key codes exist only at the moment of registration.
#pragma once

#include <cstdint>

struct KeyNameRow {
    const char* pszName;
    std::int32_t nCode;  // virtual-key code; 0 in the end row
};

inline constexpr int kKeyNameRows = 32;  // rows before the end row

// The named keys in list order, followed by an end row whose code is 0.
extern const KeyNameRow g_keyNameTable[kKeyNameRows + 1];

// The virtual-key code of a key name; 0 for "n/u" (any letter case); -1 for
// a name it does not know. Single letters count in upper case only.
int KeyNameToVirtualKey(const char* pszName);
