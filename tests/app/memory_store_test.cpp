// The sections against the in-memory store, and what only that store does.
#include <gtest/gtest.h>

#include "app/memory_settings_store.h"
#include "app/window_pos_section.h"
#include "store_under_test.h"

namespace {

class CMemoryUnderTest final : public StoreUnderTest {
  public:
    ISettingsStore& Store() override { return m_store; }
    void RemoveProductKeys() override { m_store.DeleteTree("Software\\Quorvane"); }
    CMemorySettingsStore m_store;
};

std::unique_ptr<StoreUnderTest> MakeMemoryStore() {
    return std::make_unique<CMemoryUnderTest>();
}

}  // namespace

std::vector<StoreKind> StoresUnderTest() {
    return {{"Memory", &MakeMemoryStore}};
}

TEST(MemoryStore, HandlesAreCountedAndRefusedOnceClosed) {
    CMemorySettingsStore store;
    RegKey a = 0, b = 0;
    ASSERT_EQ(store.CreateKey(kRegCurrentUser, "Software\\X", &a), kRegSuccess);
    ASSERT_EQ(store.OpenKey(a, "", &b), kRegSuccess);  // the same key, through a handle as root
    EXPECT_NE(a, b);
    EXPECT_EQ(store.OpenHandleCount(), 2);
    EXPECT_EQ(store.CloseKey(a), kRegSuccess);
    EXPECT_EQ(store.CloseKey(a), kRegInvalidHandle);
    const std::uint8_t one[4] = {1, 0, 0, 0};
    EXPECT_EQ(store.SetValue(a, "n", kRegTypeDword, one, 4), kRegInvalidHandle);
    EXPECT_EQ(store.CloseKey(b), kRegSuccess);
    EXPECT_EQ(store.OpenHandleCount(), 0);
}

TEST(MemoryStore, BadPathsAndDeletedKeys) {
    CMemorySettingsStore store;
    RegKey key = 0;
    EXPECT_EQ(store.CreateKey(kRegCurrentUser, "\\Software", &key), kRegBadPathname);
    EXPECT_EQ(store.CreateKey(kRegCurrentUser, "Software\\\\X", &key), kRegBadPathname);
    ASSERT_EQ(store.CreateKey(kRegCurrentUser, "Software\\A\\B\\", &key), kRegSuccess);
    EXPECT_TRUE(store.DeleteTree("software\\a"));
    EXPECT_FALSE(store.DeleteTree("Software\\A\\B"));
    const std::uint8_t one[4] = {1, 0, 0, 0};
    EXPECT_EQ(store.SetValue(key, "n", kRegTypeDword, one, 4), kRegInvalidHandle);
    EXPECT_EQ(store.CloseKey(key), kRegSuccess);
    RegKey kept = 0;
    EXPECT_EQ(store.OpenKey(kRegCurrentUser, "Software", &kept), kRegSuccess);
    store.CloseKey(kept);
}

TEST(MemoryStore, TheProgramsSectionsUseTheProcessStore) {
    // Natively the sections keep their values for the run in one store.
    g_mainWindowPos.m_nWindowTop = 17;
    g_mainWindowPos.m_nWindowLeft = -4;
    ASSERT_EQ(g_mainWindowPos.Save(), kRegSuccess);
    CWindowPosSection again(kMainWindowSectionFormat);
    EXPECT_EQ(again.Load(), kRegSuccess);
    EXPECT_EQ(again.m_nWindowTop, 17);
    EXPECT_EQ(again.m_nWindowLeft, -4);
    g_mainWindowPos.m_nWindowTop = g_mainWindowPos.m_nWindowLeft = -1;
}
