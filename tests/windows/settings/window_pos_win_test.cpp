// Window corners: stored corners placing real windows, and the restored
// rectangle's corner saved from them.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/window_pos_section.h"
#include "test_window.h"

namespace {

void RemoveProductKeys() {
    ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quorvane");
}

void StoreCorner(const char* pszFormat, const DWORD* pTop, const DWORD* pLeft) {
    char path[128];
    wsprintfA(path, pszFormat, kSettingsCompany, kSettingsProduct);
    HKEY hKey = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_WRITE, nullptr, &hKey,
                                nullptr),
              ERROR_SUCCESS);
    if (pTop) {
        ::RegSetValueExA(hKey, "nWindowTop", 0, REG_DWORD, reinterpret_cast<const BYTE*>(pTop), 4);
    }
    if (pLeft) {
        ::RegSetValueExA(hKey, "nWindowLeft", 0, REG_DWORD, reinterpret_cast<const BYTE*>(pLeft),
                         4);
    }
    ::RegCloseKey(hKey);
}

class WindowPosTest : public ::testing::Test {
  protected:
    void SetUp() override { RemoveProductKeys(); }
    void TearDown() override { RemoveProductKeys(); }

    // The program's two sections, as they are built for it.
    CWindowPosSection m_mainPos{kMainWindowSectionFormat};
    CWindowPosSection m_dialogPos{kHotKeyWindowSectionFormat};
};

}  // namespace

TEST_F(WindowPosTest, NothingStoredLeavesTheWindowWhereItIs) {
    CTestWindow wnd(123, 77, 300, 200, true);
    EXPECT_EQ(m_mainPos.LoadAndPlace(wnd), ERROR_FILE_NOT_FOUND);
    RECT rc = wnd.GetWindowRect();
    EXPECT_EQ(rc.left, 123);
    EXPECT_EQ(rc.top, 77);

    // (-1, -1) stored is the same as nothing.
    const DWORD none = 0xFFFFFFFFu;
    StoreCorner(kMainWindowSectionFormat, &none, &none);
    EXPECT_EQ(m_mainPos.LoadAndPlace(wnd), ERROR_SUCCESS);
    rc = wnd.GetWindowRect();
    EXPECT_EQ(rc.left, 123);
    EXPECT_EQ(rc.top, 77);
}

TEST_F(WindowPosTest, StoredCornerMovesTheWindowToTheTopKeepingItsSize) {
    CTestWindow wnd(10, 10, 300, 200, true);
    CTestWindow other(50, 50, 100, 100, true);  // created later: above wnd
    const DWORD top = static_cast<DWORD>(-20);
    const DWORD left = static_cast<DWORD>(-40);
    StoreCorner(kHotKeyWindowSectionFormat, &top, &left);

    EXPECT_EQ(m_dialogPos.LoadAndPlace(wnd), ERROR_SUCCESS);
    RECT rc = wnd.GetWindowRect();
    EXPECT_EQ(rc.left, -40);
    EXPECT_EQ(rc.top, -20);
    EXPECT_EQ(rc.right - rc.left, 300);
    EXPECT_EQ(rc.bottom - rc.top, 200);
    // Now above the other window in the Z order.
    HWND hAbove = wnd;
    while ((hAbove = ::GetWindow(hAbove, GW_HWNDPREV)) != nullptr && hAbove != other) {
    }
    EXPECT_EQ(hAbove, nullptr) << "the other window is still above";
}

TEST_F(WindowPosTest, TopAloneMovesTheWindowToMinusOneOnTheOtherAxis) {
    CTestWindow wnd(300, 300, 200, 100, true);
    const DWORD top = 222;
    StoreCorner(kMainWindowSectionFormat, &top, nullptr);
    EXPECT_EQ(m_mainPos.LoadAndPlace(wnd), ERROR_FILE_NOT_FOUND);
    RECT rc = wnd.GetWindowRect();
    EXPECT_EQ(rc.left, -1);
    EXPECT_EQ(rc.top, 222);
}

TEST_F(WindowPosTest, SaveFromStoresTheRestoredCorner) {
    // Minimised: the corner of the restored rectangle, not of the icon.
    {
        CTestWindow wnd(-250, 140, 300, 200, true);
        ::ShowWindow(wnd, SW_MINIMIZE);
        ASSERT_TRUE(::IsIconic(wnd));
        ASSERT_NE(wnd.GetWindowRect().left, -250);
        EXPECT_EQ(m_mainPos.SaveFrom(wnd), ERROR_SUCCESS);
    }
    // Hidden: where it would show.
    {
        CTestWindow wnd(60, -30, 300, 200, false);
        EXPECT_EQ(m_dialogPos.SaveFrom(wnd), ERROR_SUCCESS);
    }
    CWindowPosSection main(kMainWindowSectionFormat);
    CWindowPosSection dialog(kHotKeyWindowSectionFormat);
    EXPECT_EQ(main.Load(), ERROR_SUCCESS);
    EXPECT_EQ(dialog.Load(), ERROR_SUCCESS);
    EXPECT_EQ(main.m_nWindowLeft, -250);
    EXPECT_EQ(main.m_nWindowTop, 140);
    EXPECT_EQ(dialog.m_nWindowLeft, 60);
    EXPECT_EQ(dialog.m_nWindowTop, -30);

    // And a window opened next time comes back to it.
    CTestWindow next(0, 0, 300, 200, true);
    EXPECT_EQ(main.LoadAndPlace(next), ERROR_SUCCESS);
    EXPECT_EQ(next.GetWindowRect().left, -250);
    EXPECT_EQ(next.GetWindowRect().top, 140);
}
