// The shared section tests on the current user's registry (and, for
// comparison, on the in-memory store the native build uses).
#include <windows.h>

#include <gtest/gtest.h>

#include "app/memory_settings_store.h"
#include "app/registry_store_win.h"
#include "hotkeys/hot_key_settings.h"
#include "store_under_test.h"

namespace {

class CRegistryUnderTest final : public StoreUnderTest {
  public:
    ISettingsStore& Store() override { return m_store; }
    void RemoveProductKeys() override {
        const LONG nResult = ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quorvane");
        if (nResult == ERROR_SUCCESS) {
            ::RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Quorvane");
        }
    }
    CRegistryStore m_store;
};

class CMemoryUnderTest final : public StoreUnderTest {
  public:
    ISettingsStore& Store() override { return m_store; }
    void RemoveProductKeys() override { m_store.DeleteTree("Software\\Quorvane"); }
    CMemorySettingsStore m_store;
};

}  // namespace

std::vector<StoreKind> StoresUnderTest() {
    return {{"Registry", [] { return std::unique_ptr<StoreUnderTest>(new CRegistryUnderTest); }},
            {"Memory", [] { return std::unique_ptr<StoreUnderTest>(new CMemoryUnderTest); }}};
}

TEST(RegistryStore, IsTheDefaultStoreAndWritesWhatRegReads) {
    EXPECT_NE(dynamic_cast<CRegistryStore*>(&DefaultSettingsStore()), nullptr);

    // What the program's own section saves is what the registry tool reads.
    CRegistryUnderTest env;
    env.RemoveProductKeys();
    CHotKeySettings settings;
    settings.m_strKey[0] = "Pg-Up";
    settings.m_nModifiers[0] = MOD_ALT | MOD_SHIFT;
    ASSERT_EQ(settings.Save(), ERROR_SUCCESS);

    HKEY hKey = nullptr;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Quorvane\\Tavrel Plus Remote\\HotKeys",
                              0, KEY_READ, &hKey),
              ERROR_SUCCESS);
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    EXPECT_EQ(::RegQueryValueExA(hKey, "nPopupModifiers", nullptr, &type,
                                 reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD{REG_DWORD});
    EXPECT_EQ(value, DWORD{MOD_ALT | MOD_SHIFT});
    char text[16] = {};
    size = sizeof text;
    EXPECT_EQ(
        ::RegQueryValueExA(hKey, "sPopupKey", nullptr, &type, reinterpret_cast<BYTE*>(text), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD{REG_SZ});
    EXPECT_EQ(size, 6u);
    EXPECT_STREQ(text, "Pg-Up");
    ::RegCloseKey(hKey);
    env.RemoveProductKeys();
}
