// What only the real Win32 API and real windows show, under Wine: the serial
// port and the link thread against tavrel-sim on ptys mapped as COM1 (missing),
// COM2 (silent) and COM3 (the magnifier); the registry; the hot keys, the
// warning, the tray icon and the status label of the real panel; the instance
// guard across processes; the window layer's reflection and exception guard.
// Wine drops synthetic input at times, so windows are driven by messages.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/instance_checker_win.h"
#include "device/com_port.h"
#include "device/device_link.h"
#include "framework/message_box.h"
#include "hotkeys/hot_key_settings.h"
#include "hotkeys/setup_logic.h"
#include "panel/connection_dlg_win.h"
#include "panel/remote_panel_dlg_win.h"
#include "pixels.h"
#include "window_checks.h"

namespace {

constexpr int kDeadlineMs = 15000;

// Whether a simulator's log (lines "<ms> <text>", path in environment variable
// pszLog) has a line with this text.
bool SimLogged(const char* pszLog, const std::string& strText) {
    const char* pszPath = std::getenv(pszLog);
    std::ifstream in(pszPath != nullptr ? pszPath : "");
    for (std::string strLine; std::getline(in, strLine);) {
        if (strLine.substr(strLine.find(' ') + 1) == strText) {
            return true;
        }
    }
    return false;
}

int Write(CComPort& port, const std::string& str) {
    return port.WriteBytes(reinterpret_cast<const std::uint8_t*>(str.data()),
                           static_cast<int>(str.size()));
}

std::string Read(CComPort& port, int nLimit) {
    std::string str(static_cast<std::size_t>(nLimit), '\0');
    str.resize(static_cast<std::size_t>(
        port.ReadAvailable(reinterpret_cast<std::uint8_t*>(str.data()), nLimit)));
    return str;
}

TEST(SerialPort, OpensOnlyWhatIsThereAndExchangesBytes) {
    // (Wine does not refuse a second open of a port in use, so that is not shown here.)
    CComPort port;
    EXPECT_FALSE(port.Open(1, 9600)) << "COM1 has nothing behind it";
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(Write(port, "BW\r\n"), 0);
    ASSERT_TRUE(port.Open(3, 9600)) << "COM3, the simulator";

    EXPECT_EQ(Write(port, "p3f\r\n"), 5);
    EXPECT_TRUE(WaitFor([] { return SimLogged("TAVREL_SIM_LOG", "p3f"); }, kDeadlineMs))
        << "p3f on the simulator's log";
    // The probe's answer "V1.23\r\n", taken in two reads up to their limits.
    ASSERT_EQ(Write(port, "?\r\n"), 3);
    ASSERT_TRUE(WaitFor([&] { return port.GetInputCount() == 7; }, kDeadlineMs))
        << "the 7 bytes of the probe's answer queued";
    EXPECT_EQ(Read(port, 3), "V1.");
    EXPECT_EQ(Read(port, 40), "23\r\n");
    EXPECT_EQ(Read(port, 40), "");

    // Closed and opened again, as after a lost magnifier.
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    ASSERT_TRUE(port.Open(3, 9600)) << "COM3 again after Close";
    EXPECT_EQ(Write(port, "BL\r\n"), 4);
    EXPECT_TRUE(WaitFor([] { return SimLogged("TAVREL_SIM_LOG", "BL"); }, kDeadlineMs))
        << "BL on the simulator's log";
}

TEST(LinkThread, ConnectsOnCom3PastAMissingAndASilentPortAndStops) {
    CDeviceLink link;
    std::thread thread([&link] { link.Run(); });
    const bool bConnected = WaitFor([&] { return link.IsConnected(); }, 30000);
    if (bConnected) {
        link.PressButton(LinkButton::Window);
    }
    const bool bPressed = WaitFor([] { return SimLogged("TAVREL_SIM_LOG", "BW"); }, kDeadlineMs);
    link.RequestStop();
    thread.join();
    ASSERT_TRUE(bConnected) << "not connected; last probe: " << link.GetDebugInfo();
    EXPECT_EQ(link.CurrentPort(), 3);
    EXPECT_TRUE(SimLogged("TAVREL_SILENT_LOG", "?")) << "COM2 was not probed";
    EXPECT_TRUE(bPressed) << "BW on the simulator's log";
    std::string strStatus;
    int nStatus = -1;
    link.GetStatus(strStatus, nStatus);
    EXPECT_EQ(nStatus, LINK_STOPPED);
}

// ---- the registry ----

constexpr const char* kProductKey = "Software\\Quorvane";
constexpr const char* kHotKeysKey = "Software\\Quorvane\\Tavrel Plus Remote\\HotKeys";

void RemoveSettings() {
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kProductKey);
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kProductKey);
}

void Store(const char* pszName, DWORD dwType, const std::string& strData) {
    HKEY hKey = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kHotKeysKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                                &hKey, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExA(hKey, pszName, 0, dwType, reinterpret_cast<const BYTE*>(strData.data()),
                     static_cast<DWORD>(strData.size()));
    ::RegCloseKey(hKey);
}

TEST(Registry, DamagedValuesReadAsAbsentAndOnlyTheyAndLongTextsWhole) {
    RemoveSettings();
    const std::string strLong(5000, 'K');
    Store("nPopupModifiers", REG_QWORD, std::string("\5\0\0\0\0\0\0\0", 8));
    Store("nWindowModifiers", REG_BINARY, std::string("\5\0", 2));
    Store("nLinesModifiers", REG_SZ, std::string("7\0", 2));
    Store("nOptionsModifiers", REG_BINARY, std::string("\11\0\0\0", 4));  // type is not checked
    Store("sPopupKey", REG_SZ, "Home");                                   // no NUL
    Store("sWindowKey", REG_SZ, strLong + '\0');
    CHotKeySettings settings;
    settings.Load();
    const RegDword nModifiers[kHotKeyCount] = {2, 2, 2, 9, 2, 2, 2, 2};
    const std::string strKeys[kHotKeyCount] = {"Home", strLong, "F7", "F8",
                                               "F11",  "F12",   "F9", "F10"};
    for (int i = 0; i < kHotKeyCount; ++i) {
        EXPECT_EQ(settings.m_nModifiers[i], nModifiers[i]) << g_hotKeyActions[i].pszModifierValue;
        EXPECT_EQ(settings.m_strKey[i], strKeys[i]) << g_hotKeyActions[i].pszKeyValue;
    }
    // Written back whole, as the registry's own types.
    ASSERT_EQ(settings.Save(), ERROR_SUCCESS);
    char szText[6000] = {};
    DWORD dwType = 0, dwSize = sizeof szText;
    EXPECT_EQ(::RegGetValueA(HKEY_CURRENT_USER, kHotKeysKey, "sWindowKey", RRF_RT_ANY, &dwType,
                             szText, &dwSize),
              ERROR_SUCCESS);
    EXPECT_EQ(dwType, DWORD{REG_SZ});
    EXPECT_EQ(szText, strLong);
    DWORD dwValue = 0;
    dwSize = sizeof dwValue;
    EXPECT_EQ(::RegGetValueA(HKEY_CURRENT_USER, kHotKeysKey, "nPopupModifiers", RRF_RT_REG_DWORD,
                             nullptr, &dwValue, &dwSize),
              ERROR_SUCCESS);
    EXPECT_EQ(dwValue, DWORD{MOD_CONTROL});
    RemoveSettings();
}

// ---- the real panel, created modeless as the program's main window ----

bool Taken(UINT nModifiers, UINT vk) {
    if (::RegisterHotKey(nullptr, 1, nModifiers, vk)) {
        ::UnregisterHotKey(nullptr, 1);
        return false;
    }
    return true;
}

bool ShellHasIcon(HWND hWnd, UINT uId) {
    NOTIFYICONDATAA nid = {};
    nid.cbSize = sizeof nid;
    nid.hWnd = hWnd;
    nid.uID = uId;
    return ::Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
}

class Panel : public ::testing::Test {
  protected:
    void SetUp() override {
        RemoveSettings();
        g_deviceLink.SetStatus(LINK_STARTING);
        SetMessageBoxFunction([this](HWND, const std::string& strText, const std::string&, UINT) {
            m_boxes.push_back(strText);
            return IDOK;
        });
    }
    void Open() {
        m_panel.m_bHideAtStart = FALSE;
        SetMainWnd(&m_panel);
        ASSERT_TRUE(m_panel.Create());
        m_panel.ShowWindow(SW_SHOW);
        ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(m_panel) != FALSE; })) << "panel shown";
    }
    void TearDown() override {
        m_panel.DestroyWindow();
        SetMainWnd(nullptr);
        SetMessageBoxFunction(nullptr);
        RemoveSettings();
    }

    CRemotePanelDlg m_panel;
    std::vector<std::string> m_boxes;
};

// Closes the Setup Hot Keys dialog from inside its modal loop: OK as a
// message (Wine may drop a click), Cancel once 10 s have passed without it.
int g_nSetupTicks = 0;
void CALLBACK PressSetupOk(HWND, UINT, UINT_PTR, DWORD) {
    HWND hSetup = ::FindWindowA(nullptr, "Setup Hot Keys");
    if (hSetup != nullptr && ::IsWindowVisible(hSetup)) {
        const UINT nId = ++g_nSetupTicks < 200 ? IDOK : IDCANCEL;
        ::PostMessageA(hSetup, WM_COMMAND, MAKEWPARAM(nId, BN_CLICKED), 0);
    }
}

TEST_F(Panel, HotKeysHeldElsewhereAreReportedAndSetupLeavesExactlyTheNewKeys) {
    ASSERT_TRUE(::RegisterHotKey(nullptr, 7, MOD_CONTROL, VK_F9));  // Width Decrease's default
    Open();
    ::UnregisterHotKey(nullptr, 7);
    EXPECT_EQ(m_boxes, std::vector<std::string>{"Could not activate hot key for Width Decrease"});

    // Window and Lines swap keys, Options has none, Position Decrease gets
    // other modifiers; Setup shows that and its OK takes it.
    Store("sWindowKey", REG_SZ, std::string("F7", 3));
    Store("sLinesKey", REG_SZ, std::string("F6", 3));
    Store("sOptionsKey", REG_SZ, std::string("n/u", 4));
    Store("nPosDownModifiers", REG_DWORD, std::string("\5\0\0\0", 4));
    const UINT_PTR nTimer = ::SetTimer(nullptr, 0, 50, PressSetupOk);
    m_panel.SendMessage(WM_COMMAND, ID_HOTKEYS);
    ::KillTimer(nullptr, nTimer);
    ASSERT_LT(g_nSetupTicks, 200) << "Setup did not close on OK";
    EXPECT_EQ(m_boxes.size(), 1u) << ::testing::PrintToString(m_boxes);

    struct Key {
        UINT nModifiers, vk;
    };
    const Key now[kHotKeyCount] = {{MOD_CONTROL, VK_F5},          {MOD_CONTROL, VK_F7},
                                   {MOD_CONTROL, VK_F6},          {0, 0},
                                   {MOD_ALT | MOD_SHIFT, VK_F11}, {MOD_CONTROL, VK_F12},
                                   {MOD_CONTROL, VK_F9},          {MOD_CONTROL, VK_F10}};
    for (int i = 0; i < kHotKeyCount; ++i) {
        const char* pszAction = g_hotKeyActions[i].pszDisplayName;
        if (now[i].vk == 0) {
            EXPECT_FALSE(::UnregisterHotKey(m_panel, g_hotKeyActions[i].nId)) << pszAction;
            continue;
        }
        EXPECT_TRUE(Taken(now[i].nModifiers, now[i].vk)) << pszAction << "'s new key is free";
        // Released under the action's id, the action's key is free.
        EXPECT_TRUE(::UnregisterHotKey(m_panel, g_hotKeyActions[i].nId)) << pszAction;
        EXPECT_FALSE(Taken(now[i].nModifiers, now[i].vk)) << pszAction << " under another id";
    }
    EXPECT_FALSE(Taken(MOD_CONTROL, VK_F8)) << "Options' old key still taken";
    EXPECT_FALSE(Taken(MOD_CONTROL, VK_F11)) << "Position Decrease's old key still taken";
}

TEST_F(Panel, SetupAsksBeforeABareLetterAndNoGoesBackToTheDialog) {
    Open();
    Store("sWindowKey", REG_SZ, std::string("W", 2));
    Store("nWindowModifiers", REG_DWORD, std::string("\0\0\0\0", 4));
    int nAnswer = IDNO;  // No first: the dialog stays and OK comes again; then Yes
    SetMessageBoxFunction([&](HWND, const std::string& strText, const std::string&, UINT) {
        m_boxes.push_back(strText);
        return std::exchange(nAnswer, IDYES);
    });
    g_nSetupTicks = 0;
    const UINT_PTR nTimer = ::SetTimer(nullptr, 0, 50, PressSetupOk);
    m_panel.SendMessage(WM_COMMAND, ID_HOTKEYS);
    ::KillTimer(nullptr, nTimer);
    ASSERT_LT(g_nSetupTicks, 200) << "Setup did not close on OK";
    EXPECT_EQ(m_boxes, std::vector<std::string>(2, setup_logic::BareKeyQuestion("W", 0)));
    EXPECT_TRUE(Taken(0, 'W')) << "the bare W kept after Yes";
}

// A window of another thread, standing for the program the user types in.
class OtherProgram {
  public:
    OtherProgram()
        : m_thread([this] {
              HWND hWnd = ::CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                            500, 400, 300, 200, nullptr, nullptr, nullptr, nullptr);
              ::SetForegroundWindow(hWnd);
              m_dwThread = ::GetCurrentThreadId();
              m_hWnd = hWnd;
              MSG msg;
              while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
                  ::DispatchMessageA(&msg);
              }
              ::DestroyWindow(hWnd);
          }) {}
    ~OtherProgram() {
        while (m_dwThread == 0) {
            ::Sleep(10);  // until it has its window and message queue
        }
        ::PostThreadMessageA(m_dwThread, WM_QUIT, 0, 0);
        m_thread.join();
    }
    std::atomic<HWND> m_hWnd{nullptr};

  private:
    std::atomic<DWORD> m_dwThread{0};
    std::thread m_thread;
};

TEST_F(Panel, TheWarningNeverTakesTheKeyboardFromTheProgramInFront) {
    Open();
    OtherProgram other;
    ASSERT_TRUE(WaitFor([&] { return other.m_hWnd && ::GetForegroundWindow() == other.m_hWnd; }))
        << "the other program in front";
    // A hot key pressed in the other program while no magnifier answers.
    m_panel.SendMessage(WM_HOTKEY, HOTKEY_WINDOW, MAKELPARAM(MOD_CONTROL, VK_F6));
    CPopupWarning& warning = m_panel.m_wndWarning;
    ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(warning) != FALSE; })) << "warning shown";
    EXPECT_EQ(::GetForegroundWindow(), other.m_hWnd) << "the warning took the foreground";
    EXPECT_EQ(warning.SendMessage(WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(m_panel.m_hWnd),
                                  MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
              MA_NOACTIVATE)
        << "a click on the warning would activate it";
    EXPECT_EQ(warning.SendMessage(WM_NCHITTEST, 0, 0), HTTRANSPARENT) << "clicks pass through";
}

TEST_F(Panel, TheTrayIconComesBackWhenTheTaskbarIsCreatedAgain) {
    Open();
    const UINT uId = CRemotePanelDlg::kTrayId;
    const HWND hTray = m_panel.m_tray;
    ASSERT_TRUE(ShellHasIcon(hTray, uId)) << "the icon after start";
    // A new taskbar knows no icons; the shell then tells every top-level window.
    NOTIFYICONDATAA nid = {};
    nid.cbSize = sizeof nid;
    nid.hWnd = hTray;
    nid.uID = uId;
    ASSERT_TRUE(::Shell_NotifyIconA(NIM_DELETE, &nid));
    ::SendMessageTimeoutA(HWND_BROADCAST, ::RegisterWindowMessageA("TaskbarCreated"), 0, 0,
                          SMTO_ABORTIFHUNG, 5000, nullptr);
    EXPECT_TRUE(WaitFor([&] { return ShellHasIcon(hTray, uId); })) << "the icon added again";
}

// The shell refuses the first adds, as before it is ready at sign-in.
struct LateShellTray : CSystemTray {
    int m_nRefusals = 2;
    BOOL NotifyShell(DWORD dwMessage) override {
        if (dwMessage == NIM_ADD && m_nRefusals > 0) {
            --m_nRefusals;
            return FALSE;
        }
        return CSystemTray::NotifyShell(dwMessage);
    }
};

TEST(Tray, AnAddTheShellRefusedIsTriedAgainUntilItTakesIt) {
    LateShellTray tray;
    EXPECT_FALSE(tray.CreateTrayIcon(nullptr, WM_APP + 11, "late",
                                     ::LoadIcon(nullptr, IDI_APPLICATION), 77));
    EXPECT_TRUE(WaitFor([&] { return ShellHasIcon(tray, 77); }, 3 * CSystemTray::kAddRetryMs))
        << "the icon after two refused adds";
}

TEST_F(Panel, TheStatusLabelShowsGreenWhileConnectedAndRedOtherwise) {
    Open();
    CTextLabel& label = m_panel.m_lblStatus;
    const struct {
        int nStatus;
        const char* pszText;
        COLORREF crBack;
    } cases[] = {{LINK_CONNECTED, "ACTIVE Port 3", RGB(0, 200, 0)},
                 {LINK_SEARCHING, "NONE", RGB(255, 0, 0)}};
    for (const auto& c : cases) {
        g_deviceLink.SetStatusText("ACTIVE Port 3");
        g_deviceLink.SetStatus(c.nStatus);
        ASSERT_TRUE(WaitFor([&] { return label.GetWindowText() == c.pszText; })) << c.pszText;
        const ClientPixels px(label);
        EXPECT_GT(px.Count({0, 0, px.Width(), px.Height()}, c.crBack), px.Width() * px.Height() / 2)
            << c.pszText << ": the label's background is not mostly its colour";
    }
}

// Reads the open Connection details window, then copies and closes it.
std::string g_strDetailsShown;
void CALLBACK ReadDetailsAndClose(HWND, UINT, UINT_PTR, DWORD) {
    HWND hDetails = ::FindWindowA(nullptr, "Connection details");
    if (hDetails != nullptr && ::IsWindowVisible(hDetails)) {
        char szText[1000] = {};
        ::GetDlgItemTextA(hDetails, IDC_CONNECTION_LINES, szText, sizeof szText);
        g_strDetailsShown = szText;
        ::SendMessageA(hDetails, WM_COMMAND, MAKEWPARAM(IDC_COPY_LINES, BN_CLICKED), 0);
        ::PostMessageA(hDetails, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
}

TEST(ConnectionDetails, ShowEachPortsReasonOnItsOwnLineAndCopyThem) {
    const std::string strLines = "COM1: missing (12:03:04)\r\nCOM2: no answer (12:03:05)";
    CConnectionDlg details(nullptr, [] {
        return std::vector<std::string>{"COM1: missing (12:03:04)", "COM2: no answer (12:03:05)"};
    });
    const UINT_PTR nTimer = ::SetTimer(nullptr, 0, 50, ReadDetailsAndClose);
    EXPECT_EQ(details.DoModal(), IDCANCEL);
    ::KillTimer(nullptr, nTimer);
    EXPECT_EQ(g_strDetailsShown, strLines);
    ASSERT_TRUE(::OpenClipboard(nullptr));
    const char* pszCopied = static_cast<const char*>(::GlobalLock(::GetClipboardData(CF_TEXT)));
    EXPECT_EQ(std::string(pszCopied != nullptr ? pszCopied : ""), strLines) << "the clipboard";
    ::GlobalUnlock(::GetClipboardData(CF_TEXT));
    ::CloseClipboard();
}

// ---- the instance guard, with a copy of this program as the first copy ----

constexpr const char* kGuardName = "Tavrel Remote Win Test";

HANDLE Event(const char* pszTag) {
    return ::CreateEventA(nullptr, TRUE, FALSE, (std::string(kGuardName) + pszTag).c_str());
}

// The first copy: a hidden main window, registered; asked to, it stops
// answering messages, then takes the start-up lock again and keeps it until
// it is killed.
int RunFirstCopy() {
    CWnd wnd;
    wnd.CreateEx(0, RegisterWndClass(0), "first copy", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                 nullptr);
    SetMainWnd(&wnd);
    CInstanceChecker guard(kGuardName);
    guard.TakeStartupLock();
    if (!guard.RegisterFirstCopy()) {
        return 1;
    }
    ::SetEvent(Event(":registered"));
    HANDLE hHang = Event(":hang");
    while (::MsgWaitForMultipleObjects(1, &hHang, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        PumpMessages(10);
    }
    ::SetEvent(Event(":hung"));
    ::WaitForSingleObject(Event(":hold"), INFINITE);
    guard.m_dwAnswerWaitMs = INFINITE;
    guard.TakeStartupLock();
    ::SetEvent(Event(":held"));
    ::Sleep(INFINITE);
    return 0;
}

TEST(InstanceGuard, ASecondStartRaisesARenamedFirstAndIsNeverBlockedByAHungOne) {
    HANDLE hRegistered = Event(":registered"), hHeld = Event(":held");
    std::vector<std::string> boxes;
    SetMessageBoxFunction([&](HWND, const std::string& strText, const std::string&, UINT) {
        boxes.push_back(strText);
        return IDOK;
    });
    // The first copy is this program under another file name.
    char szPath[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, szPath, MAX_PATH);
    const std::string strRenamed = std::string(szPath) + "-renamed.exe";
    ASSERT_TRUE(::CopyFileA(szPath, strRenamed.c_str(), FALSE));
    std::string strCommand = "\"" + strRenamed + "\" --first-copy";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(::CreateProcessA(nullptr, strCommand.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &si, &pi));
    const bool bRegistered = ::WaitForSingleObject(hRegistered, kDeadlineMs) == WAIT_OBJECT_0;
    HWND hFirst = nullptr;
    bool bHeld = false;
    if (bRegistered) {
        CInstanceChecker second(kGuardName);
        EXPECT_FALSE(second.MayRun());
        hFirst = ::FindWindowA(nullptr, "first copy");
        EXPECT_TRUE(WaitFor([&] { return hFirst && ::IsWindowVisible(hFirst); }))
            << "the renamed first copy's window shown";
        // A first copy that takes no message, then one that keeps the lock:
        // each later start ends within its wait, telling the user.
        const auto laterStart = [] {
            CInstanceChecker later(kGuardName);
            later.m_dwAnswerWaitMs = 1000;
            return later.MayRun();
        };
        ::SetEvent(Event(":hang"));
        EXPECT_EQ(::WaitForSingleObject(Event(":hung"), kDeadlineMs), WAIT_OBJECT_0) << "hung";
        EXPECT_FALSE(laterStart());
        ::SetEvent(Event(":hold"));
        bHeld = ::WaitForSingleObject(hHeld, kDeadlineMs) == WAIT_OBJECT_0;
        EXPECT_FALSE(laterStart());
        const std::vector<std::string> told(2, CInstanceChecker::kNoAnswerText);
        EXPECT_EQ(boxes, told) << "each blocked start tells the user";
    }
    SetMessageBoxFunction(nullptr);
    ::TerminateProcess(pi.hProcess, 9);
    ::WaitForSingleObject(pi.hProcess, kDeadlineMs);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    ::DeleteFileA(strRenamed.c_str());
    ASSERT_TRUE(bRegistered) << "the first copy did not register";
    ASSERT_NE(hFirst, nullptr) << "the second start found no window";
    ASSERT_TRUE(bHeld) << "the first copy did not take the lock again";

    CInstanceChecker next(kGuardName);
    next.TakeStartupLock();  // abandoned by the killed copy: taken over at once
    EXPECT_FALSE(next.IsAnotherCopyRunning()) << "the killed copy's block is still there";
}

// ---- the window layer ----

struct Seen {
    int nChildCommands = 0, nChildDraws = 0, nParentCommands = 0, nParentDraws = 0;
};

class ReflectedChild : public CWnd {
  public:
    Seen* m_pSeen = nullptr;
    bool m_bConsume = true;
    bool OnChildNotify(UINT message, WPARAM, LPARAM, LRESULT* pResult) override {
        *pResult = TRUE;
        if (message == WM_COMMAND) {
            ++m_pSeen->nChildCommands;
            return m_bConsume;
        }
        m_pSeen->nChildDraws += message == WM_DRAWITEM;
        return message == WM_DRAWITEM;
    }
};

class ThrowingParent : public CWnd {
  public:
    Seen* m_pSeen = nullptr;

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_APP) {
            throw std::runtime_error("a handler failed");
        }
        m_pSeen->nParentCommands += message == WM_COMMAND;
        m_pSeen->nParentDraws += message == WM_DRAWITEM;
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

TEST(WindowLayer, NotificationsGoToTheControlFirstAndNoExceptionLeavesAWindow) {
    Seen seen;
    ThrowingParent parent;
    parent.m_pSeen = &seen;
    ASSERT_TRUE(parent.CreateEx(0, RegisterWndClass(0), "layer", WS_POPUP, 0, 0, 200, 100, nullptr,
                                nullptr));
    HWND hButton = ::CreateWindowExA(0, "BUTTON", "b", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, 0,
                                     50, 20, parent, reinterpret_cast<HMENU>(7), nullptr, nullptr);
    const WPARAM click = MAKEWPARAM(7, BN_CLICKED);
    DRAWITEMSTRUCT dis = {ODT_BUTTON, 7, 0, ODA_DRAWENTIRE, 0, hButton, nullptr, {}, 0};
    {
        ReflectedChild button;
        button.m_pSeen = &seen;
        ASSERT_TRUE(button.SubclassWindow(hButton));
        EXPECT_EQ(CWnd::FromHandle(hButton), &button);
        parent.SendMessage(WM_COMMAND, click, reinterpret_cast<LPARAM>(hButton));
        EXPECT_EQ(parent.SendMessage(WM_DRAWITEM, 7, reinterpret_cast<LPARAM>(&dis)), TRUE);
        button.m_bConsume = false;
        parent.SendMessage(WM_COMMAND, click, reinterpret_cast<LPARAM>(hButton));
        EXPECT_EQ(seen.nChildCommands, 2);
        EXPECT_EQ(seen.nChildDraws, 1);
        EXPECT_EQ(seen.nParentCommands, 1) << "the parent gets only what the control leaves";
        EXPECT_EQ(seen.nParentDraws, 0);
    }
    // The control's object is gone: its window still works, its notes reach the parent.
    EXPECT_EQ(CWnd::FromHandle(hButton), nullptr);
    EXPECT_TRUE(::SendMessageA(hButton, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("c")));
    parent.SendMessage(WM_COMMAND, click, reinterpret_cast<LPARAM>(hButton));
    EXPECT_EQ(seen.nParentCommands, 2);
    EXPECT_EQ(parent.SendMessage(WM_APP), 0);  // the default answer instead of a crash
    EXPECT_TRUE(::IsWindow(parent));
    parent.DestroyWindow();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--first-copy") {
        return RunFirstCopy();
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
