// The hot keys registered with the system for a real window: which
// combinations are taken, under which ids, and what the user is told.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/message_box.h"
#include "hotkeys/hot_key_settings.h"
#include "test_window.h"
#include "window_checks.h"

namespace {

struct Box {
    HWND hOwner;
    std::string text;
    std::string caption;
    UINT nType;
};

class HotKeyRegistrationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetMessageBoxFunction(
            [this](HWND hOwner, const std::string& text, const std::string& caption, UINT nType) {
                m_boxes.push_back({hOwner, text, caption, nType});
                return IDOK;
            });
    }
    void TearDown() override {
        m_settings.UnregisterAll();
        SetMessageBoxFunction(nullptr);
    }

    bool Taken(UINT nModifiers, UINT vk) { return HotKeyTaken(m_rival, nModifiers, vk); }
    int CountDefaultsTaken() { return CountDefaultHotKeysTaken(m_rival); }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Box& box : m_boxes) {
            texts.push_back(box.text);
        }
        return texts;
    }

    CTestWindow m_owner{0, 0, 200, 100, false};
    CTestWindow m_rival{0, 0, 200, 100, false};
    CHotKeySettings m_settings;
    std::vector<Box> m_boxes;
};

}  // namespace

TEST_F(HotKeyRegistrationTest, DefaultsRegisterAllEightUnderTheirIds) {
    EXPECT_TRUE(m_settings.RegisterAll(&m_owner));
    EXPECT_EQ(m_settings.m_pOwner, &m_owner);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(CountDefaultsTaken(), kHotKeyCount);

    // Releasing one id frees exactly its action's combination.
    for (int i = 0; i < kHotKeyCount; ++i) {
        ASSERT_TRUE(::UnregisterHotKey(m_owner, HOTKEY_POPUP + i)) << "id " << HOTKEY_POPUP + i;
        EXPECT_FALSE(Taken(MOD_CONTROL, kDefaultHotKeys[i])) << "action " << i;
        EXPECT_EQ(CountDefaultsTaken(), kHotKeyCount - 1 - i);
    }
}

TEST_F(HotKeyRegistrationTest, UnregisterAllReleasesEveryCombination) {
    m_settings.m_nModifiers[3] = MOD_ALT | MOD_SHIFT;
    m_settings.m_strKey[3] = "home";
    ASSERT_TRUE(m_settings.RegisterAll(&m_owner));
    EXPECT_TRUE(Taken(MOD_ALT | MOD_SHIFT, VK_HOME));
    EXPECT_FALSE(Taken(MOD_CONTROL, VK_HOME));

    m_settings.UnregisterAll();
    EXPECT_EQ(CountDefaultsTaken(), 0);
    EXPECT_FALSE(Taken(MOD_ALT | MOD_SHIFT, VK_HOME));
    // Again, with nothing registered: harmless. Then registered anew.
    m_settings.UnregisterAll();
    EXPECT_TRUE(m_settings.RegisterAll(&m_owner));
    EXPECT_EQ(CountDefaultsTaken(), kHotKeyCount - 1);
}

TEST_F(HotKeyRegistrationTest, SecondActionOnTheSameCombinationIsReportedByName) {
    m_settings.m_strKey[2] = "F6";  // Lines on Window's Ctrl+F6
    EXPECT_FALSE(m_settings.RegisterAll(&m_owner));

    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, "Could not activate hot key for Lines");
    EXPECT_EQ(m_boxes[0].caption, "Tavrel Plus Remote");
    EXPECT_EQ(m_boxes[0].nType, UINT{MB_OK | MB_ICONEXCLAMATION});
    EXPECT_EQ(m_boxes[0].hOwner, m_owner.GetSafeHwnd());
    // Window holds it; Lines got nothing; the others after it still came.
    EXPECT_TRUE(::UnregisterHotKey(m_owner, HOTKEY_WINDOW));
    EXPECT_FALSE(::UnregisterHotKey(m_owner, HOTKEY_LINES));
    EXPECT_TRUE(Taken(MOD_CONTROL, VK_F10));
    EXPECT_FALSE(Taken(MOD_CONTROL, VK_F7));
}

TEST_F(HotKeyRegistrationTest, CombinationsHeldElsewhereAndUnknownNamesAreReportedInActionOrder) {
    ASSERT_TRUE(::RegisterHotKey(m_rival, 7, MOD_CONTROL, VK_F9));  // Width Decrease's
    const std::string longName(150, 'K');
    m_settings.m_strKey[1] = "Space";
    m_settings.m_strKey[4] = longName;
    m_settings.m_strKey[7] = "f13";

    EXPECT_FALSE(m_settings.RegisterAll(&m_owner));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Could not identify hot key 'Space'",
                                                 "Could not identify hot key '" + longName + "'",
                                                 "Could not activate hot key for Width Decrease",
                                                 "Could not identify hot key 'f13'"}));
    for (const Box& box : m_boxes) {
        EXPECT_EQ(box.caption, "Tavrel Plus Remote");
        EXPECT_EQ(box.nType, UINT{MB_OK | MB_ICONEXCLAMATION});
    }
    // The recognised ones are registered; nothing in the settings changed.
    for (int id : {HOTKEY_POPUP, HOTKEY_LINES, HOTKEY_OPTIONS, HOTKEY_POSUP}) {
        EXPECT_TRUE(::UnregisterHotKey(m_owner, id)) << id;
    }
    EXPECT_EQ(m_settings.m_strKey[1], "Space");
    ::UnregisterHotKey(m_rival, 7);
}

TEST_F(HotKeyRegistrationTest, DisabledOrUnusedKeysRegisterNothingAndSayNothing) {
    m_settings.m_bEnabled = false;
    m_settings.m_strKey[0] = "nonsense";
    EXPECT_TRUE(m_settings.RegisterAll(&m_owner));
    EXPECT_EQ(m_settings.m_pOwner, &m_owner);  // remembered all the same
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(CountDefaultsTaken(), 0);
    EXPECT_FALSE(Taken(0, 'N'));

    m_settings.m_bEnabled = true;
    for (std::string& key : m_settings.m_strKey) {
        key = "N/u";
    }
    EXPECT_TRUE(m_settings.RegisterAll(&m_owner));
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(CountDefaultsTaken(), 0);
    for (int id = HOTKEY_POPUP; id <= HOTKEY_WIDTHUP; ++id) {
        EXPECT_FALSE(::UnregisterHotKey(m_owner, id)) << id;
    }
}

TEST_F(HotKeyRegistrationTest, UnregisterAllBeforeAnyRegisterAllTouchesNothing) {
    // This thread's window-less hot keys under the same ids: an UnregisterAll
    // without an owner must not release them.
    for (int i = 0; i < kHotKeyCount; ++i) {
        ASSERT_TRUE(::RegisterHotKey(nullptr, HOTKEY_POPUP + i, MOD_CONTROL, kDefaultHotKeys[i]));
    }
    CHotKeySettings fresh;
    fresh.UnregisterAll();
    EXPECT_EQ(fresh.m_pOwner, nullptr);
    EXPECT_EQ(CountDefaultsTaken(), kHotKeyCount);
    for (int i = 0; i < kHotKeyCount; ++i) {
        ::UnregisterHotKey(nullptr, HOTKEY_POPUP + i);
    }
    EXPECT_EQ(CountDefaultsTaken(), 0);
}

// ---- a key pressed on the X display --------------------------------------------

namespace {

// Runs a program of the machine underneath wine (xdotool) and waits for it;
// its exit status, or -1 when it could not be started.
int RunUnixProgram(const std::vector<const char*>& args) {
    using SpawnFn = LONG(__cdecl*)(char* const* argv, int wait);
    // Through a function type without arguments, as the platform's pointer is.
    auto spawn = reinterpret_cast<SpawnFn>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "__wine_unix_spawnvp")));
    if (!spawn) {
        return -1;
    }
    std::vector<char*> argv;
    for (const char* arg : args) {
        argv.push_back(const_cast<char*>(arg));
    }
    argv.push_back(nullptr);
    return static_cast<int>(spawn(argv.data(), 1));
}

// A Wine program of its own (notepad), stopped by its process handle.
class CForeignProgram {
  public:
    bool Start() {
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        char cmd[] = "notepad.exe";
        if (!::CreateProcessA(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                              &m_pi)) {
            return false;
        }
        ::WaitForInputIdle(m_pi.hProcess, 10000);
        return true;
    }
    bool HasForeground() const {
        DWORD pid = 0;
        HWND hWnd = ::GetForegroundWindow();
        return hWnd && ::GetWindowThreadProcessId(hWnd, &pid) && pid == m_pi.dwProcessId;
    }
    ~CForeignProgram() {
        if (m_pi.hProcess) {
            ::TerminateProcess(m_pi.hProcess, 0);
            ::WaitForSingleObject(m_pi.hProcess, 10000);
            ::CloseHandle(m_pi.hThread);
            ::CloseHandle(m_pi.hProcess);
        }
    }

  private:
    PROCESS_INFORMATION m_pi = {};
};

}  // namespace

TEST_F(HotKeyRegistrationTest, KeySentOnTheDisplayArrivesAsItsIdWhileAnotherProgramHasTheFocus) {
    ASSERT_TRUE(m_settings.RegisterAll(&m_owner));
    CForeignProgram notepad;
    ASSERT_TRUE(notepad.Start());
    ASSERT_TRUE(PumpUntil([&] { return notepad.HasForeground(); }, 15000))
        << "notepad never had the focus";

    // Ctrl+F7 is Lines, Ctrl+F12 Position Increase; Ctrl+F1 is nobody's.
    for (const char* combo : {"ctrl+F1", "ctrl+F7", "ctrl+F12"}) {
        ASSERT_EQ(RunUnixProgram({"xdotool", "key", combo}), 0) << combo;
    }
    EXPECT_TRUE(PumpUntil([&] { return m_owner.m_hotKeys.size() >= 2; }, 10000));
    PumpUntil([] { return false; }, 200);  // anything more that was on its way
    EXPECT_EQ(m_owner.m_hotKeys, (std::vector<WPARAM>{HOTKEY_LINES, HOTKEY_POSUP}));
    EXPECT_TRUE(notepad.HasForeground());
}
