// The settings sections against a store: the registry under wine, the
// in-memory store natively. Each executable instantiates SectionTest with
// its own stores.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/window_pos_section.h"
#include "hotkeys/hot_key_settings.h"
#include "store_under_test.h"

RegResult CRecordingStore::OpenKey(RegKey root, const char* pszPath, RegKey* pKey) {
    if (m_nFailOpen != kRegSuccess) {
        return m_nFailOpen;
    }
    const RegResult nResult = m_inner.OpenKey(root, pszPath, pKey);
    m_nOpenKeys += nResult == kRegSuccess;
    return nResult;
}

RegResult CRecordingStore::CreateKey(RegKey root, const char* pszPath, RegKey* pKey) {
    if (m_nFailCreate != kRegSuccess) {
        return m_nFailCreate;
    }
    const RegResult nResult = m_inner.CreateKey(root, pszPath, pKey);
    m_nOpenKeys += nResult == kRegSuccess;
    return nResult;
}

RegResult CRecordingStore::QueryValue(RegKey key, const char* pszName, RegDword* pType,
                                      std::uint8_t* pData, RegDword* pSize) {
    return m_inner.QueryValue(key, pszName, pType, pData, pSize);
}

RegResult CRecordingStore::SetValue(RegKey key, const char* pszName, RegDword type,
                                    const std::uint8_t* pData, RegDword size) {
    if (!m_strFailValue.empty() && m_strFailValue == pszName) {
        return m_nFailValue;
    }
    m_written.push_back(pszName);
    return m_inner.SetValue(key, pszName, type, pData, size);
}

RegResult CRecordingStore::CloseKey(RegKey key) {
    const RegResult nResult = m_inner.CloseKey(key);
    m_nOpenKeys -= nResult == kRegSuccess;
    return nResult;
}

namespace {

const char* const kHotKeysPath = "Software\\Quorvane\\Tavrel Plus Remote\\HotKeys";
const char* const kMainWindowPath = "Software\\Quorvane\\Tavrel Plus Remote\\MainWindow";
const char* const kHotKeyWindowPath = "Software\\Quorvane\\Tavrel Plus Remote\\HotKeyWindow";

const char* const kDefaultKeys[kHotKeyCount] = {"F5", "F6", "F7", "F8", "F11", "F12", "F9", "F10"};

struct RawValue {
    RegDword type = 0;
    std::vector<std::uint8_t> data;
};

std::vector<std::uint8_t> Bytes(const std::string& text, bool bWithNul = true) {
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    if (bWithNul) {
        bytes.push_back(0);
    }
    return bytes;
}

std::vector<std::uint8_t> DwordBytes(RegDword value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

// A window-position section whose hooks note when they run.
class CHookedSection : public CWindowPosSection {
  public:
    CHookedSection(CRecordingStore& store) : CWindowPosSection(kMainWindowSectionFormat) {
        UseStore(&store);
        m_pLog = &store.m_written;
    }
    int m_nAfterLoad = 0;
    std::int32_t m_nLeftSeenAfterLoad = 0;

  protected:
    void OnBeforeSave() override { m_pLog->push_back("*"); }
    void OnAfterLoad() override {
        ++m_nAfterLoad;
        m_nLeftSeenAfterLoad = m_nWindowLeft;
    }

  private:
    std::vector<std::string>* m_pLog;
};

}  // namespace

class SectionTest : public ::testing::TestWithParam<StoreKind> {
  protected:
    void SetUp() override {
        m_env = GetParam().make();
        m_env->RemoveProductKeys();
        m_store = std::make_unique<CRecordingStore>(m_env->Store());
        m_hotKeys.UseStore(m_store.get());
        m_main.UseStore(m_store.get());
        m_dialog.UseStore(m_store.get());
    }
    void TearDown() override {
        EXPECT_EQ(m_store->m_nOpenKeys, 0) << "a key was left open";
        m_env->RemoveProductKeys();
    }

    // Writes one value as it stands, bypassing the sections.
    void Put(const char* pszPath, const char* pszName, RegDword type,
             const std::vector<std::uint8_t>& data) {
        ISettingsStore& store = m_env->Store();
        RegKey key = 0;
        ASSERT_EQ(store.CreateKey(kRegCurrentUser, pszPath, &key), kRegSuccess);
        EXPECT_EQ(
            store.SetValue(key, pszName, type, data.data(), static_cast<RegDword>(data.size())),
            kRegSuccess);
        store.CloseKey(key);
    }
    void PutDword(const char* pszPath, const char* pszName, RegDword value) {
        Put(pszPath, pszName, kRegTypeDword, DwordBytes(value));
    }

    // Reads one value as it is stored; nothing when it (or its key) is missing.
    std::optional<RawValue> Get(const char* pszPath, const char* pszName) {
        ISettingsStore& store = m_env->Store();
        RegKey key = 0;
        if (store.OpenKey(kRegCurrentUser, pszPath, &key) != kRegSuccess) {
            return std::nullopt;
        }
        RawValue value;
        RegDword size = 0;
        std::optional<RawValue> result;
        if (store.QueryValue(key, pszName, &value.type, nullptr, &size) == kRegSuccess) {
            value.data.resize(size);
            if (store.QueryValue(key, pszName, &value.type, value.data.data(), &size) ==
                kRegSuccess) {
                value.data.resize(size);
                result = value;
            }
        }
        store.CloseKey(key);
        return result;
    }
    bool KeyExists(const char* pszPath) {
        RegKey key = 0;
        if (m_env->Store().OpenKey(kRegCurrentUser, pszPath, &key) != kRegSuccess) {
            return false;
        }
        m_env->Store().CloseKey(key);
        return true;
    }

    // Puts every hot-key field away from its default, so that a test sees
    // which ones a load really set.
    void Scramble(CHotKeySettings& settings) {
        settings.m_bEnabled = false;
        for (int i = 0; i < kHotKeyCount; ++i) {
            settings.m_strKey[i] = "Num-" + std::to_string(i);
            settings.m_nModifiers[i] = HOTKEY_MOD_ALT | HOTKEY_MOD_SHIFT;
        }
    }

    void ExpectDefaults(const CHotKeySettings& settings, int nExceptIndex = -1) {
        EXPECT_TRUE(settings.m_bEnabled);
        for (int i = 0; i < kHotKeyCount; ++i) {
            if (i == nExceptIndex) {
                continue;
            }
            EXPECT_EQ(settings.m_strKey[i], kDefaultKeys[i]) << "action " << i;
            EXPECT_EQ(settings.m_nModifiers[i], RegDword{HOTKEY_MOD_CONTROL}) << "action " << i;
        }
    }

    std::unique_ptr<StoreUnderTest> m_env;
    std::unique_ptr<CRecordingStore> m_store;
    CHotKeySettings m_hotKeys;
    CWindowPosSection m_main{kMainWindowSectionFormat};
    CWindowPosSection m_dialog{kHotKeyWindowSectionFormat};
};

// ---- the store's model: what the sections rely on -------------------------------

TEST_P(SectionTest, StoreKeepsTheRegistryModel) {
    ISettingsStore& store = m_env->Store();
    RegKey key = 0;
    EXPECT_EQ(store.OpenKey(kRegCurrentUser, kHotKeysPath, &key), kRegFileNotFound);

    // Creating a key creates the keys above it; paths ignore letter case.
    ASSERT_EQ(store.CreateKey(kRegCurrentUser, kHotKeysPath, &key), kRegSuccess);
    const std::uint8_t text[] = "Home";
    EXPECT_EQ(store.SetValue(key, "sLinesKey", kRegTypeSz, text, sizeof text), kRegSuccess);
    EXPECT_EQ(store.CloseKey(key), kRegSuccess);
    EXPECT_TRUE(KeyExists("Software\\Quorvane\\Tavrel Plus Remote"));
    ASSERT_EQ(
        store.OpenKey(kRegCurrentUser, "SOFTWARE\\quorvane\\TAVREL PLUS REMOTE\\hotkeys", &key),
        kRegSuccess);

    // A read-only key: too small a buffer says how much is needed; a missing
    // value is an error; writing is refused.
    std::uint8_t buffer[8] = {};
    RegDword type = 0;
    RegDword size = 2;
    EXPECT_EQ(store.QueryValue(key, "SLINESKEY", &type, buffer, &size), kRegMoreData);
    EXPECT_EQ(size, sizeof text);
    size = sizeof buffer;
    EXPECT_EQ(store.QueryValue(key, "sLinesKey", &type, buffer, &size), kRegSuccess);
    EXPECT_EQ(type, kRegTypeSz);
    EXPECT_EQ(size, sizeof text);
    EXPECT_STREQ(reinterpret_cast<char*>(buffer), "Home");
    size = sizeof buffer;
    EXPECT_NE(store.QueryValue(key, "sPopupKey", &type, buffer, &size), kRegSuccess);
    EXPECT_NE(store.SetValue(key, "sPopupKey", kRegTypeSz, text, sizeof text), kRegSuccess);
    EXPECT_EQ(store.CloseKey(key), kRegSuccess);

    // A key opened for writing cannot be read through.
    ASSERT_EQ(store.CreateKey(kRegCurrentUser, kHotKeysPath, &key), kRegSuccess);
    size = sizeof buffer;
    EXPECT_NE(store.QueryValue(key, "sLinesKey", &type, buffer, &size), kRegSuccess);
    EXPECT_EQ(store.CloseKey(key), kRegSuccess);
}

// ---- loading ---------------------------------------------------------------------

TEST_P(SectionTest, FirstRunGivesEveryDefaultAndCreatesNothing) {
    Scramble(m_hotKeys);
    m_main.m_nWindowTop = 10;
    m_main.m_nWindowLeft = 20;

    EXPECT_EQ(m_hotKeys.Load(), kRegFileNotFound);
    EXPECT_EQ(m_main.Load(), kRegFileNotFound);
    EXPECT_EQ(m_dialog.Load(), kRegFileNotFound);

    ExpectDefaults(m_hotKeys);
    EXPECT_EQ(m_main.m_nWindowTop, -1);
    EXPECT_EQ(m_main.m_nWindowLeft, -1);
    int x = 0, y = 0;
    EXPECT_FALSE(m_main.GetPlacement(&x, &y));
    EXPECT_FALSE(KeyExists("Software\\Quorvane"));
}

TEST_P(SectionTest, LinesKeyAloneKeepsTheOtherSixteenDefaults) {
    Put(kHotKeysPath, "sLinesKey", kRegTypeSz, Bytes("Home"));
    Scramble(m_hotKeys);

    // The last value (sWidthUpKey) is missing: its status is the result.
    EXPECT_EQ(m_hotKeys.Load(), kRegFileNotFound);
    ExpectDefaults(m_hotKeys, HOTKEY_LINES - HOTKEY_POPUP);
    EXPECT_EQ(m_hotKeys.m_strKey[2], "Home");
    EXPECT_EQ(m_hotKeys.m_nModifiers[2], RegDword{HOTKEY_MOD_CONTROL});
}

TEST_P(SectionTest, AnyNonZeroEnabledReadsAsEnabledAndIsWrittenBackAsOne) {
    PutDword(kHotKeysPath, "bHotKeysEnabled", 7);
    m_hotKeys.m_bEnabled = false;
    m_hotKeys.Load();
    EXPECT_TRUE(m_hotKeys.m_bEnabled);
    ASSERT_EQ(m_hotKeys.Save(), kRegSuccess);
    auto stored = Get(kHotKeysPath, "bHotKeysEnabled");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, kRegTypeDword);
    EXPECT_EQ(stored->data, DwordBytes(1));

    PutDword(kHotKeysPath, "bHotKeysEnabled", 0);
    m_hotKeys.Load();
    EXPECT_FALSE(m_hotKeys.m_bEnabled);
    ASSERT_EQ(m_hotKeys.Save(), kRegSuccess);
    EXPECT_EQ(Get(kHotKeysPath, "bHotKeysEnabled")->data, DwordBytes(0));
}

TEST_P(SectionTest, NumbersOfTheWrongSizeTakeTheirDefaultAndNothingElseIsLost) {
    // Eight bytes (a QWORD), two bytes, a text "7" (two bytes): not read.
    Put(kHotKeysPath, "nPopupModifiers", kRegTypeQword, {5, 0, 0, 0, 0, 0, 0, 0});
    Put(kHotKeysPath, "nWindowModifiers", kRegTypeBinary, {5, 0});
    Put(kHotKeysPath, "nLinesModifiers", kRegTypeSz, Bytes("7"));
    // Four bytes of another type are read as they are: the type is not looked at.
    Put(kHotKeysPath, "nOptionsModifiers", kRegTypeBinary, {9, 0, 0, 0});
    PutDword(kHotKeysPath, "nPosDownModifiers", HOTKEY_MOD_ALT | HOTKEY_MOD_WIN);
    Put(kHotKeysPath, "sWidthUpKey", kRegTypeSz, Bytes("End"));
    Scramble(m_hotKeys);

    EXPECT_EQ(m_hotKeys.Load(), kRegSuccess);
    EXPECT_EQ(m_hotKeys.m_nModifiers[0], RegDword{HOTKEY_MOD_CONTROL});
    EXPECT_EQ(m_hotKeys.m_nModifiers[1], RegDword{HOTKEY_MOD_CONTROL});
    EXPECT_EQ(m_hotKeys.m_nModifiers[2], RegDword{HOTKEY_MOD_CONTROL});
    EXPECT_EQ(m_hotKeys.m_nModifiers[3], 9u);
    EXPECT_EQ(m_hotKeys.m_nModifiers[4], RegDword{HOTKEY_MOD_ALT | HOTKEY_MOD_WIN});
    EXPECT_EQ(m_hotKeys.m_strKey[7], "End");
    EXPECT_EQ(m_hotKeys.m_strKey[0], "F5");
}

TEST_P(SectionTest, KeyNamesOfAnyLengthAreReadInFull) {
    // 99 characters fill the first buffer with their NUL; 100 and 150 need
    // the second read.
    for (std::size_t nLength : {0u, 99u, 100u, 150u, 5000u}) {
        std::string name(nLength, 'x');
        for (std::size_t i = 0; i < nLength; ++i) {
            name[i] = static_cast<char>('A' + i % 26);
        }
        Put(kHotKeysPath, "sWidthUpKey", kRegTypeSz, Bytes(name));
        m_hotKeys.Load();
        EXPECT_EQ(m_hotKeys.m_strKey[7], name) << nLength << " characters";

        // And written back as they are, NUL included.
        CHotKeySettings other;
        other.UseStore(m_store.get());
        other.m_strKey[6] = name;
        ASSERT_EQ(other.Save(), kRegSuccess);
        auto stored = Get(kHotKeysPath, "sWidthDownKey");
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->type, kRegTypeSz);
        EXPECT_EQ(stored->data, Bytes(name)) << nLength << " characters";
    }
}

TEST_P(SectionTest, TextsEndAtTheirDataOrTheirFirstNul) {
    // Stored without a NUL: exactly the stored characters, short or long.
    Put(kHotKeysPath, "sPopupKey", kRegTypeSz, Bytes("Home", false));
    const std::string longName(150, 'Q');
    Put(kHotKeysPath, "sWindowKey", kRegTypeSz, Bytes(longName, false));
    // A NUL inside: the text before it.
    Put(kHotKeysPath, "sLinesKey", kRegTypeSz, {'F', '5', 0, 'x', 'y', 0});
    // Nothing stored at all: an empty name.
    Put(kHotKeysPath, "sOptionsKey", kRegTypeSz, {});
    // A number where a text belongs is read as its bytes, up to the first NUL.
    PutDword(kHotKeysPath, "sPosDownKey", 0x00394241);
    Scramble(m_hotKeys);

    m_hotKeys.Load();
    EXPECT_EQ(m_hotKeys.m_strKey[0], "Home");
    EXPECT_EQ(m_hotKeys.m_strKey[1], longName);
    EXPECT_EQ(m_hotKeys.m_strKey[2], "F5");
    EXPECT_EQ(m_hotKeys.m_strKey[3], "");
    EXPECT_EQ(m_hotKeys.m_strKey[4], "AB9");
    EXPECT_EQ(m_hotKeys.m_strKey[5], "F12");
}

TEST_P(SectionTest, HotKeysAreSavedInTheirOrderAndFormat) {
    m_hotKeys.m_bEnabled = false;
    m_hotKeys.m_nModifiers[5] = 0xF00 | HOTKEY_MOD_SHIFT;  // unknown bits kept as they are
    m_hotKeys.m_strKey[3] = "n/u";
    ASSERT_EQ(m_hotKeys.Save(), kRegSuccess);

    const std::vector<std::string> order = {
        "bHotKeysEnabled",   "nPopupModifiers",   "nWindowModifiers", "nLinesModifiers",
        "nOptionsModifiers", "nPosDownModifiers", "nPosUpModifiers",  "nWidthDownModifiers",
        "nWidthUpModifiers", "sPopupKey",         "sWindowKey",       "sLinesKey",
        "sOptionsKey",       "sPosDownKey",       "sPosUpKey",        "sWidthDownKey",
        "sWidthUpKey"};
    EXPECT_EQ(m_store->m_written, order);

    EXPECT_EQ(Get(kHotKeysPath, "bHotKeysEnabled")->data, DwordBytes(0));
    EXPECT_EQ(Get(kHotKeysPath, "nPosUpModifiers")->data, DwordBytes(0xF04));
    auto key = Get(kHotKeysPath, "sPosDownKey");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->type, kRegTypeSz);
    EXPECT_EQ(key->data, Bytes("F11"));
    EXPECT_EQ(Get(kHotKeysPath, "sOptionsKey")->data, Bytes("n/u"));

    CHotKeySettings loaded;
    loaded.UseStore(m_store.get());
    EXPECT_EQ(loaded.Load(), kRegSuccess);
    EXPECT_FALSE(loaded.m_bEnabled);
    EXPECT_EQ(loaded.m_nModifiers, m_hotKeys.m_nModifiers);
    EXPECT_EQ(loaded.m_strKey, m_hotKeys.m_strKey);
}

// ---- window corners -------------------------------------------------------------

TEST_P(SectionTest, NegativeCornersRoundTripAsTwosComplement) {
    m_main.m_nWindowTop = -300;
    m_main.m_nWindowLeft = -1280;
    m_dialog.m_nWindowTop = 40;
    m_dialog.m_nWindowLeft = 2000;
    ASSERT_EQ(m_main.Save(), kRegSuccess);
    ASSERT_EQ(m_dialog.Save(), kRegSuccess);

    auto top = Get(kMainWindowPath, "nWindowTop");
    ASSERT_TRUE(top);
    EXPECT_EQ(top->type, kRegTypeDword);
    EXPECT_EQ(top->data, DwordBytes(0xFFFFFED4u));

    CWindowPosSection main(kMainWindowSectionFormat);
    CWindowPosSection dialog(kHotKeyWindowSectionFormat);
    main.UseStore(m_store.get());
    dialog.UseStore(m_store.get());
    EXPECT_EQ(main.Load(), kRegSuccess);
    EXPECT_EQ(dialog.Load(), kRegSuccess);
    EXPECT_EQ(main.m_nWindowTop, -300);
    EXPECT_EQ(main.m_nWindowLeft, -1280);
    EXPECT_EQ(dialog.m_nWindowTop, 40);
    EXPECT_EQ(dialog.m_nWindowLeft, 2000);
    int x = 0, y = 0;
    ASSERT_TRUE(main.GetPlacement(&x, &y));
    EXPECT_EQ(x, -1280);
    EXPECT_EQ(y, -300);
    EXPECT_EQ(Get(kHotKeyWindowPath, "nWindowLeft")->data, DwordBytes(2000));
}

TEST_P(SectionTest, OneStoredAxisStillPlacesTheWindow) {
    // Top present, left missing: the last value failed, which is the result.
    PutDword(kMainWindowPath, "nWindowTop", 200);
    m_main.m_nWindowLeft = 55;
    EXPECT_EQ(m_main.Load(), kRegFileNotFound);
    EXPECT_EQ(m_main.m_nWindowTop, 200);
    EXPECT_EQ(m_main.m_nWindowLeft, -1);
    int x = 0, y = 0;
    ASSERT_TRUE(m_main.GetPlacement(&x, &y));
    EXPECT_EQ(x, -1);
    EXPECT_EQ(y, 200);

    // Left present, top missing: the first value failed, the load succeeds.
    PutDword(kHotKeyWindowPath, "nWindowLeft", 7);
    EXPECT_EQ(m_dialog.Load(), kRegSuccess);
    EXPECT_EQ(m_dialog.m_nWindowTop, -1);
    EXPECT_EQ(m_dialog.m_nWindowLeft, 7);

    // Exactly (-1, -1) stored is the same as none.
    PutDword(kMainWindowPath, "nWindowLeft", 0xFFFFFFFFu);
    PutDword(kMainWindowPath, "nWindowTop", 0xFFFFFFFFu);
    EXPECT_EQ(m_main.Load(), kRegSuccess);
    EXPECT_FALSE(m_main.GetPlacement(&x, &y));
}

// ---- failures -------------------------------------------------------------------

TEST_P(SectionTest, SaveFailingPartWayKeepsTheEarlierValues) {
    Scramble(m_hotKeys);
    m_store->m_strFailValue = "nOptionsModifiers";
    EXPECT_EQ(m_hotKeys.Save(), kRegAccessDenied);

    // Written up to the failing value, nothing from it on; memory untouched.
    EXPECT_EQ(m_store->m_written,
              (std::vector<std::string>{"bHotKeysEnabled", "nPopupModifiers", "nWindowModifiers",
                                        "nLinesModifiers"}));
    EXPECT_EQ(Get(kHotKeysPath, "bHotKeysEnabled")->data, DwordBytes(0));
    EXPECT_EQ(Get(kHotKeysPath, "nLinesModifiers")->data, DwordBytes(5));
    EXPECT_FALSE(Get(kHotKeysPath, "nOptionsModifiers"));
    EXPECT_FALSE(Get(kHotKeysPath, "sPopupKey"));
    EXPECT_EQ(m_hotKeys.m_strKey[0], "Num-0");

    // What was written loads, the rest takes its defaults.
    CHotKeySettings loaded;
    loaded.UseStore(m_store.get());
    loaded.Load();
    EXPECT_FALSE(loaded.m_bEnabled);
    EXPECT_EQ(loaded.m_nModifiers[2], 5u);
    EXPECT_EQ(loaded.m_nModifiers[3], RegDword{HOTKEY_MOD_CONTROL});
    EXPECT_EQ(loaded.m_strKey[0], "F5");
}

TEST_P(SectionTest, KeysThatCannotBeOpenedOrCreated) {
    // No key for writing: nothing written, the fields keep what was set.
    Scramble(m_hotKeys);
    m_store->m_nFailCreate = kRegAccessDenied;
    EXPECT_EQ(m_hotKeys.Save(), kRegAccessDenied);
    EXPECT_TRUE(m_store->m_written.empty());
    EXPECT_FALSE(m_hotKeys.m_bEnabled);
    EXPECT_FALSE(KeyExists(kHotKeysPath));
    m_store->m_nFailCreate = kRegSuccess;

    // A stored section that cannot be opened: every field to its default,
    // also what was held only in memory.
    ASSERT_EQ(m_hotKeys.Save(), kRegSuccess);
    m_store->m_nFailOpen = kRegAccessDenied;
    EXPECT_EQ(m_hotKeys.Load(), kRegAccessDenied);
    ExpectDefaults(m_hotKeys);
    m_store->m_nFailOpen = kRegSuccess;

    // A root that is no key at all, in the store itself.
    CWindowPosSection nowhere(kMainWindowSectionFormat, 0);
    nowhere.UseStore(m_store.get());
    nowhere.m_nWindowTop = 3;
    EXPECT_NE(nowhere.Save(), kRegSuccess);
    EXPECT_NE(nowhere.Load(), kRegSuccess);
    EXPECT_EQ(nowhere.m_nWindowTop, -1);
}

TEST_P(SectionTest, HooksRunAtTheirMoments) {
    CHookedSection section(*m_store);
    section.m_nWindowLeft = 12;
    ASSERT_EQ(section.Save(), kRegSuccess);
    EXPECT_EQ(m_store->m_written, (std::vector<std::string>{"*", "nWindowTop", "nWindowLeft"}));

    // After the last value, also when that one failed and took its default.
    Put(kMainWindowPath, "nWindowLeft", kRegTypeQword, {1, 2, 3, 4, 5, 6, 7, 8});
    section.m_nWindowLeft = 99;
    EXPECT_EQ(section.Load(), kRegMoreData);
    EXPECT_EQ(section.m_nAfterLoad, 1);
    EXPECT_EQ(section.m_nLeftSeenAfterLoad, -1);

    // Neither hook when the defaults are put because the key is missing.
    m_env->RemoveProductKeys();
    m_store->m_written.clear();
    section.Load();
    EXPECT_EQ(section.m_nAfterLoad, 1);
    EXPECT_TRUE(m_store->m_written.empty());
}

INSTANTIATE_TEST_SUITE_P(Store, SectionTest, ::testing::ValuesIn(StoresUnderTest()),
                         [](const ::testing::TestParamInfo<StoreKind>& info) {
                             return std::string(info.param.pszName);
                         });

// ---- the program's sections ------------------------------------------------------

TEST(Sections, GlobalsStartWithTheirDefaultsAndPaths) {
    EXPECT_EQ(g_hotKeySettings.m_strSubKey, kHotKeysPath);
    EXPECT_EQ(g_mainWindowPos.m_strSubKey, kMainWindowPath);
    EXPECT_EQ(g_hotKeyWindowPos.m_strSubKey, kHotKeyWindowPath);
    EXPECT_EQ(g_hotKeySettings.m_hRootKey, kRegCurrentUser);
    EXPECT_EQ(g_mainWindowPos.m_hRootKey, kRegCurrentUser);

    EXPECT_TRUE(g_hotKeySettings.m_bEnabled);
    EXPECT_EQ(g_hotKeySettings.m_pOwner, nullptr);
    for (int i = 0; i < kHotKeyCount; ++i) {
        EXPECT_EQ(g_hotKeySettings.m_strKey[i], kDefaultKeys[i]);
        EXPECT_EQ(g_hotKeySettings.m_nModifiers[i], RegDword{HOTKEY_MOD_CONTROL});
    }
    for (const CWindowPosSection* pSection : {&g_mainWindowPos, &g_hotKeyWindowPos}) {
        EXPECT_EQ(pSection->m_nWindowTop, -1);
        EXPECT_EQ(pSection->m_nWindowLeft, -1);
    }
}
