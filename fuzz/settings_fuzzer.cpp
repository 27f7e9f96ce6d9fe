// Fuzzes the loading of the three settings sections (HotKeys, MainWindow,
// HotKeyWindow) from an in-memory store whose contents the input describes:
// any values, of any type and size, under any names. Loading must give each
// field its stored value when that is a sound one and its default otherwise,
// whatever the object held before; saving must then write a sound section
// (numbers as 4-byte REG_DWORD, texts as REG_SZ with their NUL counted) that
// loads back equal. The store must hand back exactly what was put in it and
// leave no handle open.
//
// Input: lines "S NAME TYPE DATA", each written into the store in turn.
//   S     H, M or W: the HotKeys, MainWindow or HotKeyWindow key (a lower-case
//         letter writes through the path in lower case); anything else: a
//         sibling key that no section reads. A line of S alone only creates
//         the key.
//   NAME  the value's name (no spaces).
//   TYPE  sz, dword, qword, bin, none, or a decimal type number.
//   DATA  the rest of the line; \xHH is a byte, \0 a NUL, \\ a backslash.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app/memory_settings_store.h"
#include "app/window_pos_section.h"
#include "hotkeys/hot_key_settings.h"
#include "fuzz_check.h"

namespace {

const char* const kBase = "Software\\Quorvane\\Tavrel Plus Remote\\";
const char* const kSectionNames[] = {"HotKeys", "MainWindow", "HotKeyWindow", "Other"};
enum { kHotKeys, kMainWindow, kHotKeyWindow, kOther, kKeys };

std::string LowerAscii(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

struct Stored {
    RegDword type;
    std::string data;
};

// What the store should hold: per key, values by lower-case name.
struct Model {
    bool bKeyExists[kKeys] = {};
    std::map<std::string, Stored> values[kKeys];

    const Stored* Find(int nKey, const char* pszName) const {
        auto it = values[nKey].find(LowerAscii(pszName));
        return it == values[nKey].end() ? nullptr : &it->second;
    }
};

std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
        } else if (text[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else if (text[i + 1] == '0') {
            out += '\0';
            ++i;
        } else if (text[i + 1] == 'x' && i + 3 < text.size() &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 3]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

RegDword ParseType(const std::string& token) {
    if (token == "sz")
        return kRegTypeSz;
    if (token == "dword")
        return kRegTypeDword;
    if (token == "qword")
        return kRegTypeQword;
    if (token == "bin")
        return kRegTypeBinary;
    RegDword type = 0;
    for (char c : token) {
        if (c < '0' || c > '9') {
            return 0;
        }
        type = type * 10 + static_cast<RegDword>(c - '0');
    }
    return type;
}

// Writes one line into the store and the model.
void Apply(const std::string& line, CMemorySettingsStore& store, Model& model) {
    if (line.empty()) {
        return;
    }
    const char s = line[0];
    const int nKey = (s == 'H' || s == 'h')   ? kHotKeys
                     : (s == 'M' || s == 'm') ? kMainWindow
                     : (s == 'W' || s == 'w') ? kHotKeyWindow
                                              : kOther;
    std::string path = std::string(kBase) + kSectionNames[nKey];
    if (s >= 'a' && s <= 'z') {
        path = LowerAscii(path);
    }
    RegKey hKey = 0;
    FUZZ_CHECK(store.CreateKey(kRegCurrentUser, path.c_str(), &hKey) == kRegSuccess);
    model.bKeyExists[nKey] = true;
    const std::size_t nameStart = line.find(' ');
    if (nameStart != std::string::npos) {
        const std::size_t typeStart = line.find(' ', nameStart + 1);
        const std::string name = line.substr(nameStart + 1, typeStart - nameStart - 1);
        RegDword type = kRegTypeSz;
        std::string data;
        if (typeStart != std::string::npos) {
            const std::size_t dataStart = line.find(' ', typeStart + 1);
            type = ParseType(line.substr(typeStart + 1, dataStart - typeStart - 1));
            if (dataStart != std::string::npos) {
                data = Unescape(line.substr(dataStart + 1));
            }
        }
        // A name with a NUL in it is only its part before the NUL to the store.
        const std::string storedName = name.substr(0, name.find('\0'));
        FUZZ_CHECK(store.SetValue(hKey, storedName.c_str(), type,
                                  reinterpret_cast<const std::uint8_t*>(data.data()),
                                  static_cast<RegDword>(data.size())) == kRegSuccess);
        model.values[nKey][LowerAscii(storedName)] = Stored{type, data};
    }
    FUZZ_CHECK(store.CloseKey(hKey) == kRegSuccess);
}

// Reads a value back through a read handle, the registry's way: first for
// its size, then into a buffer of that size.
bool ReadBack(CMemorySettingsStore& store, int nKey, const char* pszName, Stored* pOut) {
    RegKey hKey = 0;
    const std::string path = std::string(kBase) + kSectionNames[nKey];
    FUZZ_CHECK(store.OpenKey(kRegCurrentUser, path.c_str(), &hKey) == kRegSuccess);
    std::uint8_t probe = 0;
    RegDword type = 0;
    RegDword size = 0;
    RegResult r = store.QueryValue(hKey, pszName, &type, &probe, &size);
    if (r == kRegFileNotFound) {
        FUZZ_CHECK(store.CloseKey(hKey) == kRegSuccess);
        return false;
    }
    FUZZ_CHECK(r == (size == 0 ? kRegSuccess : kRegMoreData));
    std::vector<std::uint8_t> buffer(size + 1, 0xCD);
    RegDword room = static_cast<RegDword>(buffer.size());
    FUZZ_CHECK(store.QueryValue(hKey, pszName, &type, buffer.data(), &room) == kRegSuccess);
    FUZZ_CHECK(room == size);
    FUZZ_CHECK(buffer[size] == 0xCD);  // nothing written past the data
    FUZZ_CHECK(store.CloseKey(hKey) == kRegSuccess);
    pOut->type = type;
    pOut->data.assign(reinterpret_cast<const char*>(buffer.data()), size);
    return true;
}

// The field a stored number gives, and the status of reading it.
RegResult ExpectDword(const Stored* p, RegDword nDefault, RegDword* pValue) {
    *pValue = nDefault;
    if (!p) {
        return kRegFileNotFound;
    }
    if (p->data.size() > 4) {
        return kRegMoreData;
    }
    if (p->data.size() < 4) {
        return kRegInvalidData;
    }
    RegDword v = 0;
    for (int i = 3; i >= 0; --i) {
        v = v << 8 | static_cast<std::uint8_t>(p->data[i]);
    }
    *pValue = v;
    return kRegSuccess;
}

RegResult ExpectString(const Stored* p, const char* pszDefault, std::string* pValue) {
    if (!p) {
        *pValue = pszDefault;
        return kRegFileNotFound;
    }
    *pValue = p->data.substr(0, p->data.find('\0'));
    return kRegSuccess;
}

void CheckSavedDword(CMemorySettingsStore& store, int nKey, const char* pszName, RegDword value) {
    Stored s;
    FUZZ_CHECK(ReadBack(store, nKey, pszName, &s));
    FUZZ_CHECK(s.type == kRegTypeDword && s.data.size() == 4);
    RegDword v;
    FUZZ_CHECK(ExpectDword(&s, 0, &v) == kRegSuccess && v == value);
}

void CheckSavedString(CMemorySettingsStore& store, int nKey, const char* pszName,
                      const std::string& value) {
    Stored s;
    FUZZ_CHECK(ReadBack(store, nKey, pszName, &s));
    FUZZ_CHECK(s.type == kRegTypeSz);
    FUZZ_CHECK(s.data == value + '\0');
}

void FuzzHotKeys(CMemorySettingsStore& store, const Model& model) {
    CHotKeySettings hk;
    hk.UseStore(&store);
    // Whatever the object held before, loading replaces all of it.
    hk.m_bEnabled = false;
    for (int i = 0; i < kHotKeyCount; ++i) {
        hk.m_strKey[i] = "stale";
        hk.m_nModifiers[i] = 0xBAD0u + static_cast<RegDword>(i);
    }
    const RegResult nLoad = hk.Load();
    if (!model.bKeyExists[kHotKeys]) {
        FUZZ_CHECK(nLoad == kRegFileNotFound);
    }
    RegResult nLast = kRegSuccess;
    RegDword enabled;
    nLast = ExpectDword(model.Find(kHotKeys, "bHotKeysEnabled"), 1, &enabled);
    FUZZ_CHECK(hk.m_bEnabled == (enabled != 0));
    for (int i = 0; i < kHotKeyCount; ++i) {
        const HotKeyAction& a = g_hotKeyActions[i];
        RegDword modifiers;
        nLast =
            ExpectDword(model.Find(kHotKeys, a.pszModifierValue), a.nDefaultModifiers, &modifiers);
        FUZZ_CHECK(hk.m_nModifiers[i] == modifiers);
    }
    for (int i = 0; i < kHotKeyCount; ++i) {
        const HotKeyAction& a = g_hotKeyActions[i];
        std::string key;
        nLast = ExpectString(model.Find(kHotKeys, a.pszKeyValue), a.pszDefaultKey, &key);
        FUZZ_CHECK(hk.m_strKey[i] == key);
    }
    if (model.bKeyExists[kHotKeys]) {
        FUZZ_CHECK(nLoad == nLast);  // the status of the last value
    }

    FUZZ_CHECK(hk.Save() == kRegSuccess);
    CheckSavedDword(store, kHotKeys, "bHotKeysEnabled", hk.m_bEnabled ? 1 : 0);
    for (int i = 0; i < kHotKeyCount; ++i) {
        CheckSavedDword(store, kHotKeys, g_hotKeyActions[i].pszModifierValue, hk.m_nModifiers[i]);
        CheckSavedString(store, kHotKeys, g_hotKeyActions[i].pszKeyValue, hk.m_strKey[i]);
    }
    CHotKeySettings again;
    again.UseStore(&store);
    again.m_bEnabled = !hk.m_bEnabled;
    FUZZ_CHECK(again.Load() == kRegSuccess);
    FUZZ_CHECK(again.m_bEnabled == hk.m_bEnabled);
    FUZZ_CHECK(again.m_nModifiers == hk.m_nModifiers);
    FUZZ_CHECK(again.m_strKey == hk.m_strKey);
}

void FuzzWindowPos(CMemorySettingsStore& store, const Model& model, int nKey,
                   const char* pszFormat) {
    CWindowPosSection pos(pszFormat);
    pos.UseStore(&store);
    pos.m_nWindowTop = 12345;
    pos.m_nWindowLeft = -777;
    const RegResult nLoad = pos.Load();
    RegDword top;
    RegDword left;
    ExpectDword(model.Find(nKey, "nWindowTop"), static_cast<RegDword>(-1), &top);
    const RegResult nLast =
        ExpectDword(model.Find(nKey, "nWindowLeft"), static_cast<RegDword>(-1), &left);
    FUZZ_CHECK(pos.m_nWindowTop == static_cast<std::int32_t>(top));
    FUZZ_CHECK(pos.m_nWindowLeft == static_cast<std::int32_t>(left));
    FUZZ_CHECK(nLoad == (model.bKeyExists[nKey] ? nLast : kRegFileNotFound));
    int x = 0;
    int y = 0;
    const bool bPlaced = pos.GetPlacement(&x, &y);
    FUZZ_CHECK(bPlaced == !(pos.m_nWindowTop == -1 && pos.m_nWindowLeft == -1));
    FUZZ_CHECK(!bPlaced || (x == pos.m_nWindowLeft && y == pos.m_nWindowTop));

    FUZZ_CHECK(pos.Save() == kRegSuccess);
    CheckSavedDword(store, nKey, "nWindowTop", static_cast<RegDword>(pos.m_nWindowTop));
    CheckSavedDword(store, nKey, "nWindowLeft", static_cast<RegDword>(pos.m_nWindowLeft));
    CWindowPosSection again(pszFormat);
    again.UseStore(&store);
    FUZZ_CHECK(again.Load() == kRegSuccess);
    FUZZ_CHECK(again.m_nWindowTop == pos.m_nWindowTop);
    FUZZ_CHECK(again.m_nWindowLeft == pos.m_nWindowLeft);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    CMemorySettingsStore store;
    Model model;
    for (std::size_t start = 0; start <= input.size();) {
        std::size_t end = input.find('\n', start);
        if (end == std::string::npos) {
            end = input.size();
        }
        Apply(input.substr(start, end - start), store, model);
        start = end + 1;
    }
    // The store hands back exactly what was put in it.
    for (int nKey = 0; nKey < kKeys; ++nKey) {
        for (const auto& [name, stored] : model.values[nKey]) {
            Stored s;
            FUZZ_CHECK(ReadBack(store, nKey, name.c_str(), &s));
            FUZZ_CHECK(s.type == stored.type && s.data == stored.data);
        }
    }

    FuzzHotKeys(store, model);
    FuzzWindowPos(store, model, kMainWindow, kMainWindowSectionFormat);
    FuzzWindowPos(store, model, kHotKeyWindow, kHotKeyWindowSectionFormat);
    // Saving touched only its own section: the sibling key is as written.
    for (const auto& [name, stored] : model.values[kOther]) {
        Stored s;
        FUZZ_CHECK(ReadBack(store, kOther, name.c_str(), &s));
        FUZZ_CHECK(s.type == stored.type && s.data == stored.data);
    }
    FUZZ_CHECK(store.OpenHandleCount() == 0);
    return 0;
}
