#include "hotkeys/key_names.h"

const KeyNameRow g_keyNameTable[kKeyNameRows + 1] = {
    {"F1", 0x70},      {"F2", 0x71},      {"F3", 0x72},      {"F4", 0x73},       {"F5", 0x74},
    {"F6", 0x75},      {"F7", 0x76},      {"F8", 0x77},      {"F9", 0x78},       {"F10", 0x79},
    {"F11", 0x7A},     {"F12", 0x7B},     {"Ins", 0x2D},     {"Del", 0x2E},      {"Home", 0x24},
    {"End", 0x23},     {"Pg-Up", 0x21},   {"Pg-Down", 0x22}, {"Up-Arrow", 0x26}, {"Dn-Arrow", 0x28},
    {"L-Arrow", 0x25}, {"R-Arrow", 0x27}, {"Num-0", 0x60},   {"Num-1", 0x61},    {"Num-2", 0x62},
    {"Num-3", 0x63},   {"Num-4", 0x64},   {"Num-5", 0x65},   {"Num-6", 0x66},    {"Num-7", 0x67},
    {"Num-8", 0x68},   {"Num-9", 0x69},   {"", 0},
};

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        if (LowerAscii(*a) != LowerAscii(*b)) {
            return false;
        }
    }
    return *a == *b;
}

}  // namespace

int KeyNameToVirtualKey(const char* pszName) {
    if (!pszName) {
        return -1;
    }
    if (EqualNoCase(pszName, "n/u")) {
        return 0;
    }
    const char c = pszName[0];
    if (c != '\0' && pszName[1] == '\0' && ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
        return c;
    }
    for (const KeyNameRow* pRow = g_keyNameTable; pRow->nCode != 0; ++pRow) {
        if (EqualNoCase(pRow->pszName, pszName)) {
            return pRow->nCode;
        }
    }
    return -1;
}
