// Fuzzes loading the HotKeys, MainWindow and HotKeyWindow sections from any
// values: a field gets its stored value when sound (a number of exactly four
// bytes; a text up to its first NUL or its end), else its default, whatever it
// held; saving loads back equal, and no key is left open.
// Input: lines "S NAME TYPE DATA": S is H, M or W (either case) for those keys,
// else one no section reads; TYPE is not looked at (loading ignores it); in
// DATA, \xHH is a byte, \0 a NUL and \\ a backslash.
#include <algorithm>
#include <cctype>
#include <map>
#include <sstream>

#include "settings/memory_settings_store.h"
#include "settings/window_pos_section.h"
#include "fuzz_check.h"
#include "hotkeys/hot_key_settings.h"

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::string hex = text.substr(std::min(i + 2, text.size()), 2);
        if (text.compare(i, 2, "\\x") == 0 && hex.size() == 2 && std::isxdigit(hex[0] & 0xFF) &&
            std::isxdigit(hex[1] & 0xFF)) {
            out += static_cast<char>(std::stoi(hex, nullptr, 16));
            i += 3;
        } else if (text.compare(i, 2, "\\0") == 0 || text.compare(i, 2, "\\\\") == 0) {
            out += text[++i] == '0' ? '\0' : '\\';
        } else {
            out += text[i];
        }
    }
    return out;
}

// Stored data by section letter and lower-case value name.
using Model = std::map<std::pair<int, std::string>, std::string>;

RegDword Number(const Model& model, int section, const char* pszName, RegDword nDefault) {
    auto it = model.find({section, Lower(pszName)});
    if (it == model.end() || it->second.size() != 4) {
        return nDefault;
    }
    const auto* p = reinterpret_cast<const std::uint8_t*>(it->second.data());
    return p[0] | p[1] << 8 | p[2] << 16 | RegDword{p[3]} << 24;
}

std::string Text(const Model& model, const char* pszName, const char* pszDefault) {
    auto it = model.find({'H', Lower(pszName)});
    return it == model.end() ? pszDefault : it->second.substr(0, it->second.find('\0'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream input(std::string(reinterpret_cast<const char*>(data), size));
    CMemorySettingsStore store;
    Model model;
    std::string line;
    while (std::getline(input, line)) {
        std::istringstream words(line);
        std::string section, name, type, rest;
        words >> section >> name >> type;  // the type is not looked at when loading
        std::getline(words >> std::ws, rest);
        name = name.c_str();  // the store sees a name up to its first NUL
        const int letter = section.empty() ? 'X' : std::toupper(section[0] & 0xFF);
        const std::string path = std::string("Software\\Quorvane\\Tavrel Plus Remote\\") +
                                 (letter == 'H'   ? "HotKeys"
                                  : letter == 'M' ? "MainWindow"
                                  : letter == 'W' ? "HotKeyWindow"
                                                  : "Other");
        const std::string bytes = Unescape(rest);
        RegKey hKey = 0;
        FUZZ_CHECK(store.CreateKey(kRegCurrentUser, path.c_str(), &hKey) == kRegSuccess);
        store.SetValue(hKey, name.c_str(), kRegTypeBinary,
                       reinterpret_cast<const std::uint8_t*>(bytes.data()), RegDword(bytes.size()));
        store.CloseKey(hKey);
        model[{letter, Lower(name)}] = bytes;
    }

    CHotKeySettings hk;
    hk.UseStore(&store);
    hk.m_bEnabled = false;
    hk.m_strKey.fill("stale");
    hk.m_nModifiers.fill(0xBAD0);
    hk.Load();
    FUZZ_CHECK(hk.m_bEnabled == (Number(model, 'H', "bHotKeysEnabled", 1) != 0));
    for (int i = 0; i < kHotKeyCount; ++i) {
        const HotKeyAction& a = g_hotKeyActions[i];
        FUZZ_CHECK(hk.m_nModifiers[i] ==
                   Number(model, 'H', a.pszModifierValue, a.nDefaultModifiers));
        FUZZ_CHECK(hk.m_strKey[i] == Text(model, a.pszKeyValue, a.pszDefaultKey));
    }
    FUZZ_CHECK(hk.Save() == kRegSuccess);
    CHotKeySettings again;
    again.UseStore(&store);
    again.m_bEnabled = !hk.m_bEnabled;
    FUZZ_CHECK(again.Load() == kRegSuccess);
    FUZZ_CHECK(again.m_bEnabled == hk.m_bEnabled && again.m_nModifiers == hk.m_nModifiers &&
               again.m_strKey == hk.m_strKey);

    for (auto [section, pszFormat] :
         {std::pair{'M', kMainWindowSectionFormat}, std::pair{'W', kHotKeyWindowSectionFormat}}) {
        CWindowPosSection pos(pszFormat);
        pos.UseStore(&store);
        pos.m_nWindowTop = 12345;
        pos.Load();
        FUZZ_CHECK(pos.m_nWindowTop == std::int32_t(Number(model, section, "nWindowTop", -1)));
        FUZZ_CHECK(pos.m_nWindowLeft == std::int32_t(Number(model, section, "nWindowLeft", -1)));
        FUZZ_CHECK(pos.Save() == kRegSuccess);
        CWindowPosSection back(pszFormat);
        back.UseStore(&store);
        FUZZ_CHECK(back.Load() == kRegSuccess && back.m_nWindowTop == pos.m_nWindowTop &&
                   back.m_nWindowLeft == pos.m_nWindowLeft);
    }
    FUZZ_CHECK(store.OpenHandleCount() == 0);
    return 0;
}
