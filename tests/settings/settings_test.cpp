// The settings sections over the in-memory store, as a user's hand-edited
// registry can leave them: a damaged value spoils only itself, and texts of
// any length are loaded and saved whole.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <utility>

#include "settings/memory_settings_store.h"
#include "settings/options_section.h"
#include "settings/window_pos_section.h"
#include "hotkeys/hot_key_settings.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Text(const std::string& text, bool bNul = true) {
    return Bytes(text.c_str(), text.c_str() + text.size() + (bNul ? 1 : 0));
}

Bytes Number(RegDword n) {
    return {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(n >> 16), std::uint8_t(n >> 24)};
}

// A text as a failure shows it: a long one by its length.
std::string Shown(const std::string& text) {
    return text.size() < 20 ? text : text.substr(0, 3) + "... of " + std::to_string(text.size());
}

// The section's fields in its stored order, as texts.
std::vector<std::string> Fields(const CHotKeySettings& s) {
    std::vector<std::string> fields{std::to_string(s.m_bEnabled)};
    for (RegDword n : s.m_nModifiers) {
        fields.push_back(std::to_string(n));
    }
    for (const std::string& key : s.m_strKey) {
        fields.push_back(Shown(key));
    }
    return fields;
}

class Sections : public ::testing::Test {
  protected:
    // Stores a value (of the hot keys by default) as (name, type, data); no
    // data: the value is removed.
    void Put(const std::string& name, RegDword type, const std::optional<Bytes>& data,
             const std::string& subKey = g_hotKeySettings.m_strSubKey) {
        RegKey key = 0;
        ASSERT_EQ(m_store.CreateKey(kRegCurrentUser, subKey.c_str(), &key), kRegSuccess);
        if (data) {
            m_store.SetValue(key, name.c_str(), type, data->data(), RegDword(data->size()));
        }
        m_store.CloseKey(key);
    }

    CMemorySettingsStore m_store;
};

TEST_F(Sections, ADamagedValueSpoilsOnlyItself) {
    const std::string long5000(5000, 'K');
    struct Case {
        const char* pszName;
        const char* pszValue;
        RegDword type;
        std::optional<Bytes> data;  // none: the value is removed
        std::string loaded;
    } cases[] = {
        {"a number stored as text", "nWindowModifiers", kRegTypeSz, Text("7"), "2"},
        {"a number of 2 bytes", "nPopupModifiers", kRegTypeBinary, Bytes{5, 0}, "2"},
        {"a number of 8 bytes", "nLinesModifiers", kRegTypeQword, Bytes(8, 5), "2"},
        {"a number removed", "bHotKeysEnabled", kRegTypeDword, std::nullopt, "1"},
        {"a key name stored as a number", "sPosDownKey", kRegTypeDword, Number(0x394241), "AB9"},
        {"a key name without its NUL", "sPopupKey", kRegTypeSz, Text("Home", false), "Home"},
        {"a key name of 5,000 characters", "sWidthUpKey", kRegTypeSz, Text(long5000), long5000},
        {"an empty key name", "sOptionsKey", kRegTypeSz, Bytes{}, ""},
        {"a key name removed", "sLinesKey", kRegTypeSz, std::nullopt, "F7"},
    };
    auto name = [](std::size_t i) {  // of field i
        return i == 0   ? "bHotKeysEnabled"
               : i <= 8 ? g_hotKeyActions[i - 1].pszModifierValue
                        : g_hotKeyActions[i - 9].pszKeyValue;
    };
    CHotKeySettings stored;  // every value away from its default
    stored.m_bEnabled = false;
    stored.m_nModifiers.fill(HOTKEY_MOD_ALT | HOTKEY_MOD_SHIFT);
    stored.m_strKey = {"A", "B", "C", "D", "E", "F", "G", "H"};
    for (const Case& c : cases) {
        m_store.DeleteTree("Software\\Quorvane");
        std::vector<std::string> expected = Fields(stored);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            if (name(i) == std::string(c.pszValue)) {
                Put(name(i), c.type, c.data);
                expected[i] = Shown(c.loaded);
            } else if (i <= kHotKeyCount) {
                Put(name(i), kRegTypeDword, Number(std::stoul(expected[i])));
            } else {
                Put(name(i), kRegTypeSz, Text(expected[i]));
            }
        }
        CHotKeySettings settings;
        settings.UseStore(&m_store);
        settings.m_nModifiers.fill(9);  // neither stored nor default
        settings.m_strKey.fill("X");
        settings.Load();
        EXPECT_EQ(Fields(settings), expected) << c.pszName;
        CHotKeySettings again;  // what was loaded, saved afresh and loaded again
        again.UseStore(&m_store);
        m_store.DeleteTree("Software\\Quorvane");
        EXPECT_TRUE(settings.Save() == kRegSuccess && again.Load() == kRegSuccess) << c.pszName;
        EXPECT_EQ(Fields(again), expected) << c.pszName << ", saved";
    }
}

TEST_F(Sections, TheOptionsAreOffUntilTurnedOnAndADamagedOneOnlyTurnsItselfOff) {
    COptionsSection options;
    options.UseStore(&m_store);
    options.m_bKeyboardControl = options.m_bSounds = true;
    options.m_nPort = options.m_nLastPort = 5;
    options.m_nPosition = options.m_nWidth = 200;
    options.Load();
    EXPECT_FALSE(options.m_bKeyboardControl || options.m_bSounds) << "on with nothing stored";
    EXPECT_EQ(options.m_nPort + options.m_nLastPort, 0) << "a port with nothing stored";
    EXPECT_EQ(options.m_nPosition + options.m_nWidth, 126) << "63 with nothing stored";
    // Each row: what is stored, and what the flag, the port and the level read as.
    const struct {
        std::uint32_t nType;
        Bytes data;
        bool bFlag;
        std::int32_t nPort, nLevel;
    } cases[] = {
        {kRegTypeQword, Bytes(8, 1), false, 0, 63},  // the wrong size
        {kRegTypeDword, Number(7), true, 7, 7},
        {kRegTypeDword, Number(1), true, 1, 1},
        {kRegTypeDword, Number(255), true, 255, 255},
        {kRegTypeDword, Number(256), true, 256, 63},
        {kRegTypeDword, Number(999), true, 999, 63},
        {kRegTypeDword, Number(1000), true, 0, 63},
        {kRegTypeDword, Number(0), false, 0, 0},
        {kRegTypeDword, Number(-3), true, 0, 63},
        {kRegTypeSz, Bytes{'3', 0, 0, 0}, true, 51, 51},  // the type is not looked at
    };
    for (const auto& c : cases) {
        for (const char* pszName :
             {"bKeyboardControl", "bSounds", "nPort", "nLastPort", "nPosition", "nWidth"}) {
            Put(pszName, c.nType, c.data, options.m_strSubKey);
        }
        options.Load();
        EXPECT_EQ(options.m_bKeyboardControl && options.m_bSounds, c.bFlag) << c.data.size();
        EXPECT_EQ(std::pair(options.m_nPort, options.m_nLastPort), std::pair(c.nPort, c.nPort))
            << c.data.size();
        EXPECT_EQ(std::pair(options.m_nPosition, options.m_nWidth), std::pair(c.nLevel, c.nLevel))
            << c.data.size();
    }
}

}  // namespace

TEST(WindowPlace, AStoredCornerComesBackWhereItWasAndOnAScreen) {
    const placement::Rect rcMonitor = {0, 0, 1920, 1080}, rcTopBar = {0, 40, 1920, 1080};
    // Saved from the restored rectangle: with the taskbar on top a panel at
    // 100,140 on the screen was stored as 100,100; with one on the left, 160,100.
    EXPECT_EQ(StoredCornerOnScreen({100, 100}, rcMonitor, rcTopBar).y, 140);
    EXPECT_EQ(StoredCornerOnScreen({100, 100}, rcMonitor, {60, 0, 1920, 1080}).x, 160);
    const struct {
        placement::Rect rcWindow;
        int x, y;
    } cases[] = {{{5000, 5000, 5300, 5200}, 1620, 880},  // a monitor since removed
                 {{10, 10, 2010, 1210}, 0, 40}};         // larger than the work area
    for (const auto& c : cases) {
        const placement::Point pt = CornerWhollyOn(c.rcWindow, rcTopBar);
        EXPECT_EQ(std::make_pair(pt.x, pt.y), std::make_pair(c.x, c.y)) << c.rcWindow.left;
    }
    // A damaged corner at either end of the numbers goes the way of a removed
    // monitor, without overflow on the way (UBSan stops at one).
    for (const std::int32_t n : {INT32_MAX, INT32_MIN, INT32_MAX - 1, INT32_MIN + 1}) {
        CWindowPosSection section(kMainWindowSectionFormat);
        section.m_nWindowLeft = section.m_nWindowTop = n;
        int x = 0, y = 0;
        ASSERT_TRUE(section.GetPlacement(&x, &y));
        const placement::Point pt = StoredCornerOnScreen({x, y}, rcMonitor, rcTopBar);
        const placement::Point on = CornerWhollyOn({pt.x, pt.y, pt.x + 300, pt.y + 200}, rcTopBar);
        EXPECT_EQ(std::make_pair(on.x, on.y),
                  n > 0 ? std::make_pair(1620, 880) : std::make_pair(0, 40))
            << n;
    }
}
