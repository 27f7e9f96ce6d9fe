// What only the real Win32 API and real windows show, under Wine: the serial
// port against tavrel-sim on a pty mapped as COM3 (COM1 missing) and the
// system's list of ports; the registry; the hot keys, the
// warning, the tray icon and the status label of the real panel; the instance
// guard across processes; the window layer's reflection and exception guard.
// Wine drops synthetic input at times, so windows are driven by messages.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "panel/instance_checker_win.h"
#include "settings/options_section.h"
#include "app/remote_app_win.h"
#include "device/com_port.h"
#include "device/device_link.h"
#include "base/failure_log_win.h"
#include "framework/message_box.h"
#include "framework/screen_reader.h"
#include "framework/system_dll.h"
#include "base/utf16.h"
#include "hotkeys/hot_key_settings.h"
#include "hotkeys/setup_dlg_win.h"
#include "hotkeys/setup_logic.h"
#include "panel/connection_dlg_win.h"
#include "panel/panel_sound_win.h"
#include "panel/remote_panel_dlg_win.h"
#include "panel_fixture.h"
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

// What is queued (up to nLimit), or with nWithinMs what came by the 7th byte.
std::string Read(CComPort& port, int nLimit, int nWithinMs = -1) {
    std::uint8_t bytes[64];
    return {bytes, bytes + (nWithinMs < 0 ? port.ReadAvailable(bytes, nLimit)
                                          : port.ReadWithin(bytes, 7, nLimit, nWithinMs))};
}

// The line of COM3 as a program that opened it by hand set it (pSet) and
// left it. Of what it sets, Wine keeps the stop bits for the next open of a
// pseudo-terminal; the data bits and the parity the simulator puts back,
// DSR sensitivity and abort-on-error go with the handle.
DCB LineOfCom3(const DCB* pSet = nullptr) {
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    HANDLE hComm = ::CreateFileA("COM3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OVERLAPPED, nullptr);
    EXPECT_NE(hComm, INVALID_HANDLE_VALUE) << "COM3 opened by hand";
    if (pSet != nullptr) {
        DCB set = *pSet;
        EXPECT_TRUE(::SetCommState(hComm, &set)) << ::GetLastError();
    }
    EXPECT_TRUE(::GetCommState(hComm, &dcb));
    ::CloseHandle(hComm);
    return dcb;
}

TEST(SerialPort, OpensOnlyWhatIsThereExchangesBytesAndSetsItsOwnLine) {
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
    // Waited for: with what came after the 7th byte; nothing; at once when stopped.
    ASSERT_EQ(Write(port, "?\r\n?\r\n"), 6);
    ASSERT_TRUE(WaitFor([&] { return port.GetInputCount() == 14; }, kDeadlineMs)) << "2 answers";
    EXPECT_EQ(Read(port, 40, 60000), "V1.23\r\nV1.23\r\n");
    EXPECT_EQ(Read(port, 40, 50), "");
    std::thread stopper([&port] { port.StopWaits(); });
    const DWORD dwStart = ::GetTickCount();
    EXPECT_EQ(Read(port, 40, 60000), "");
    EXPECT_LT(::GetTickCount() - dwStart, 30000u) << "a stopped read waited its time out";
    stopper.join();

    // Closed, left by another program at 7 data bits, even parity, two stop
    // bits, DSR-sensitive and stopping at errors, and opened again as after a
    // lost magnifier: the port sets its own line, 9600 8N1.
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    DCB other = LineOfCom3();
    other.ByteSize = 7;
    other.Parity = EVENPARITY;
    other.fParity = other.fDsrSensitivity = other.fAbortOnError = TRUE;
    other.StopBits = TWOSTOPBITS;
    ASSERT_EQ(LineOfCom3(&other).StopBits, TWOSTOPBITS) << "the other program's line not kept";
    ASSERT_TRUE(port.Open(3, 9600)) << "COM3 again after Close";
    EXPECT_EQ(Write(port, "BL\r\n"), 4);
    EXPECT_TRUE(WaitFor([] { return SimLogged("TAVREL_SIM_LOG", "BL"); }, kDeadlineMs))
        << "BL on the simulator's log";
    port.Close();
    const DCB ours = LineOfCom3();
    EXPECT_EQ(std::make_tuple(ours.BaudRate, ours.ByteSize, ours.Parity, ours.StopBits),
              std::make_tuple(DWORD{9600}, BYTE{8}, BYTE{NOPARITY}, BYTE{ONESTOPBIT}));
}

// The system's list of ports, with Bluetooth links, a port named in the
// device namespace and a printer port added to what Wine lists.
TEST(SerialPort, ListsThePortsPresentAndWhichAreBluetooth) {
    HKEY hKey = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                                REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    const std::pair<const char*, const char*> added[] = {{"\\Device\\BthModem0", "COM5"},
                                                         {"\\Device\\Serial9", "\\\\.\\COM12"},
                                                         {"\\Device\\BthModem1", "COM2"},
                                                         {"\\Device\\Other", "LPT3"}};
    for (const auto& [pszName, pszPort] : added) {
        ::RegSetValueExA(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszPort),
                         static_cast<DWORD>(std::strlen(pszPort) + 1));
    }
    const std::vector<ListedPort> ports = CComPort::ListedPorts();
    for (const auto& entry : added) {
        ::RegDeleteValueA(hKey, entry.first);
    }
    ::RegCloseKey(hKey);
    // Wine lists COM1 to COM4 and COM7 itself; COM2 also as a Bluetooth link.
    EXPECT_EQ(
        ports,
        (std::vector<ListedPort>{
            {1, false}, {2, true}, {3, false}, {4, false}, {5, true}, {7, false}, {12, false}}));
}

// ---- the registry ----

constexpr const char* kHotKeysKey = "Software\\Quorvane\\Tavrel Plus Remote\\HotKeys";

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

// Asks the shell about icon uId of hWnd (by default whether it has it).
bool ShellHasIcon(HWND hWnd, UINT uId, DWORD dwMessage = NIM_MODIFY) {
    NOTIFYICONDATAA nid = {};
    nid.cbSize = sizeof nid;
    nid.hWnd = hWnd;
    nid.uID = uId;
    return ::Shell_NotifyIconA(dwMessage, &nid) != FALSE;
}

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
    // Down after its 1.5 s, and its timer with it: no wake-ups for ever after.
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(warning) == FALSE; }))
        << "the warning taken down";
    EXPECT_FALSE(::KillTimer(m_panel, CRemotePanelDlg::IDT_HIDE_WARNING))
        << "the warning's timer still runs after it took the warning down";
}

// The shell refuses the first adds, as before it is ready at sign-in; every
// request to it is kept.
struct LateShellTray : CSystemTray {
    using CSystemTray::m_pNotifyTarget;
    int m_nRefusals = 2;
    std::vector<DWORD> m_requests;
    BOOL NotifyShell(DWORD dwMessage) override {
        m_requests.push_back(dwMessage);
        if (dwMessage == NIM_ADD && m_nRefusals > 0) {
            --m_nRefusals;
            return FALSE;
        }
        return CSystemTray::NotifyShell(dwMessage);
    }
};

// Where the menu's commands go.
struct CommandSink : CWnd {
    std::vector<UINT> m_commands;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_COMMAND) {
            m_commands.push_back(LOWORD(wParam));
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

// Closes the tray menu from inside its modal loop once it is up, by the key
// g_wMenuKey (0: cancelled), and keeps where it was.
RECT g_rcMenu;
WPARAM g_wMenuKey;
void CALLBACK AnswerTrayMenu(HWND, UINT, UINT_PTR nTimer, DWORD) {
    HWND hMenu = ::FindWindowA("#32768", nullptr);
    if (hMenu != nullptr && ::IsWindowVisible(hMenu)) {
        ::KillTimer(nullptr, nTimer);
        ::GetWindowRect(hMenu, &g_rcMenu);
        if (g_wMenuKey != 0) {
            ::PostMessageA(hMenu, WM_KEYDOWN, g_wMenuKey, 0);
        } else {
            ::EndMenu();
        }
    }
}

TEST(Tray, AnIconRefusedComesLaterAndItsKeysShowThePanelOrOpenTheMenuAndGiveTheFocusBack) {
    // Wine's tray cannot take the keyboard, so the shell's callbacks are sent here.
    CommandSink sink;
    ASSERT_TRUE(sink.CreateEx(0, RegisterWndClass(0), "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr));
    LateShellTray tray;
    tray.m_pNotifyTarget = &sink;
    const UINT uId = CRemotePanelDlg::kTrayId, uCallback = WM_APP + 12;
    EXPECT_FALSE(
        tray.CreateTrayIcon(nullptr, uCallback, "keys", ::LoadIcon(nullptr, IDI_APPLICATION), uId));
    ASSERT_TRUE(WaitFor([&] { return ShellHasIcon(tray, uId); }, 3 * CSystemTray::kAddRetryMs))
        << "the icon after two refused adds";
    ASSERT_EQ(tray.GetShellVersion(), 4u) << "the shell's keyboard-aware callbacks";
    tray.SetDefaultItem(ID_MAXIMIZE, FALSE);
    // After each event a marker command, so that the commands it posted are in.
    const UINT uMarker = 0xFFFF;
    const auto event = [&](UINT uEvent, int x, int y) {
        tray.m_requests.clear();
        tray.SendMessage(uCallback, MAKEWPARAM(x, y), MAKELPARAM(uEvent, uId));
        sink.PostMessage(WM_COMMAND, uMarker, 0);
        EXPECT_TRUE(WaitFor([&] {
            return !sink.m_commands.empty() && sink.m_commands.back() == uMarker;
        })) << "the marker after event "
            << uEvent;
        sink.m_commands.pop_back();
    };
    event(NIN_KEYSELECT, 900, 740);
    event(NIN_SELECT, 900, 740);
    EXPECT_EQ(sink.m_commands, (std::vector<UINT>{ID_MAXIMIZE, ID_MAXIMIZE})) << "Enter, a click";

    // The context-menu key: at the icon, and Escape gives the focus back.
    struct Row {
        std::vector<UINT> events;
        WPARAM wKey;
        std::vector<UINT> commands;
        bool bFocusBack;
    } rows[] = {
        {{WM_CONTEXTMENU}, 0, {}, true},
        {{WM_RBUTTONUP, WM_CONTEXTMENU}, 0, {}, false},
        {{WM_CONTEXTMENU}, 'N', {ID_MINIMIZE}, false},
    };
    for (const Row& row : rows) {
        sink.m_commands.clear();
        g_rcMenu = {};
        g_wMenuKey = row.wKey;
        ::SetTimer(nullptr, 0, 10, AnswerTrayMenu);
        for (UINT uEvent : row.events) {
            event(uEvent, 300, 200);
        }
        EXPECT_EQ(g_rcMenu.left, 300) << "the menu's left edge";
        EXPECT_EQ(g_rcMenu.top, 200) << "the menu's top edge";
        EXPECT_EQ(sink.m_commands, row.commands) << "key " << row.wKey;
        const bool bFocusBack = std::find(tray.m_requests.begin(), tray.m_requests.end(),
                                          DWORD{NIM_SETFOCUS}) != tray.m_requests.end();
        EXPECT_EQ(bFocusBack, row.bFocusBack) << "the focus back to the notification area";
    }
}

std::string TextOf(HWND hWnd) {
    char szText[256] = {};
    ::GetWindowTextA(hWnd, szText, sizeof szText);
    std::string str = szText;
    str.erase(std::remove(str.begin(), str.end(), '&'), str.end());
    return str;
}

std::string ClassOf(HWND hWnd) {
    char szClass[32] = {};
    ::GetClassNameA(hWnd, szClass, sizeof szClass);
    return szClass;
}

// What a screen reader calls hControl: the name given to it, else a button's
// or a static's own text, else the text of the static just before it.
std::string SpokenName(HWND hControl, const std::map<HWND, std::string>& given) {
    if (const auto it = given.find(hControl); it != given.end()) {
        return it->second;
    }
    if (ClassOf(hControl) == "Button" || ClassOf(hControl) == "Static") {
        return TextOf(hControl);
    }
    HWND hBefore = ::GetWindow(hControl, GW_HWNDPREV);
    return hBefore != nullptr && ClassOf(hBefore) == "Static" ? TextOf(hBefore) : "";
}

TEST_F(Panel, ScreenReadersNameEveryControlAsItIsSeenAndTabFollowsTheScreen) {
    std::map<HWND, std::string> names;
    SetAnnotationFunction([&](HWND hWnd, Annotation what, const std::string& strText) {
        if (what == Annotation::Name) {
            names[hWnd] = strText;
        }
        return true;
    });
    Open();
    CSetupDlg setup(&m_panel);
    ASSERT_TRUE(setup.Create(&m_panel));
    SetAnnotationFunction(nullptr);
    const std::map<HWND, std::string> none;
    // Where the system has no annotations the template's order names the bars and lists.
    EXPECT_EQ(SpokenName(m_panel.m_barPosition, none), "POSITION");
    EXPECT_EQ(SpokenName(m_panel.m_barWidth, none), "WIDTH");
    EXPECT_EQ(SpokenName(m_panel.m_barPosition, names), "Position");
    EXPECT_EQ(SpokenName(m_panel.m_lblStatus, names), "Connection Status");
    // A row reads as the visible group box around its key list, and the
    // visible text on the list's line inside it (Decrease, Increase), if any.
    const auto rowSeen = [&](HWND hKey) {
        RECT rcKey = {}, rcGroup = {}, rc = {}, rcCommon = {};
        ::GetWindowRect(hKey, &rcKey);
        std::string strGroup, strLabel;
        for (int nPass = 0; nPass < 2; ++nPass) {
            for (HWND h = ::GetWindow(setup, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
                const LONG nStyle = ::GetWindowLongA(h, GWL_STYLE);
                ::GetWindowRect(h, &rc);
                if ((nStyle & WS_VISIBLE) == 0) {
                    continue;
                }
                if (nPass == 0 && ClassOf(h) == "Button" && (nStyle & BS_TYPEMASK) == BS_GROUPBOX &&
                    ::IntersectRect(&rcCommon, &rc, &rcKey)) {
                    strGroup = TextOf(h);
                    rcGroup = rc;
                } else if (nPass == 1 && ClassOf(h) == "Static" && rc.top == rcKey.top &&
                           ::IntersectRect(&rcCommon, &rc, &rcGroup)) {
                    strLabel = " " + TextOf(h);
                }
            }
        }
        return strGroup + strLabel;
    };
    std::string rows[kHotKeyCount];
    for (int i = 0; i < kHotKeyCount; ++i) {
        rows[i] = rowSeen(setup.m_cboKey[i]);
    }
    EXPECT_EQ(rows[1], "Window Button");
    EXPECT_EQ(rows[4], "Position Slider Decrease");
    for (int i = 0; i < kHotKeyCount; ++i) {
        EXPECT_EQ(SpokenName(setup.m_cboKey[i], none), std::string(rows[i]) + " key");
        EXPECT_EQ(SpokenName(setup.m_cboKey[i], names), std::string(rows[i]) + " key");
        for (CButton& check : setup.m_chkModifiers[i]) {
            EXPECT_EQ(SpokenName(check, names), std::string(rows[i]) + " " + TextOf(check));
        }
    }
    // Tab goes as the dialog is read: ENABLE HOT KEYS, the left column's rows
    // top down, then the right column's, and OK and Cancel last.
    RECT rcSetup = {};
    ::GetWindowRect(setup, &rcSetup);
    const auto place = [&](HWND hWnd) {
        RECT rc = {};
        ::GetWindowRect(hWnd, &rc);
        return std::tuple(rc.left > (rcSetup.left + rcSetup.right) / 2, rc.top, rc.left);
    };
    HWND hFirst = ::GetNextDlgTabItem(setup, nullptr, FALSE);
    EXPECT_EQ(hFirst, setup.m_chkEnable.m_hWnd) << "the first tab stop";
    for (HWND h = hFirst, hNext; (hNext = ::GetNextDlgTabItem(setup, h, FALSE)) != hFirst;
         h = hNext) {
        EXPECT_LT(place(h), place(hNext)) << TextOf(h) << " before " << TextOf(hNext);
    }
    setup.DestroyWindow();
}

// The accessibility events of this process, each as (event, window) of a
// window's client object.
std::vector<std::pair<DWORD, HWND>> g_events;
void CALLBACK KeepEvent(HWINEVENTHOOK, DWORD dwEvent, HWND hWnd, LONG idObject, LONG, DWORD,
                        DWORD) {
    if (idObject == OBJID_CLIENT) {
        g_events.emplace_back(dwEvent, hWnd);
    }
}
std::size_t Raised(DWORD dwEvent, HWND hWnd) {
    return std::count(g_events.begin(), g_events.end(), std::make_pair(dwEvent, hWnd));
}

// The link's status as its thread publishes it, once the panel has taken it.
void Publish(int nStatus, const char* pszText) {
    g_deviceLink.SetStatusText(pszText);
    g_deviceLink.SetStatus(nStatus);
    ASSERT_TRUE(WaitFor([] { return !g_deviceLink.IsStatusUnread(); })) << pszText;
}

TEST_F(Panel, SoundsAnswerEachActionAndTheTrayIconAndScreenReadersEachChangeOfLink) {
    std::vector<int> heard;
    SetPanelSoundFunction([&](panel_logic::PanelSound nSound) { heard.push_back(nSound); });
    HWINEVENTHOOK hHook = ::SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_OBJECT_NAMECHANGE, nullptr,
                                            KeepEvent, ::GetCurrentProcessId(), 0, 0);
    Open();
    Publish(LINK_SEARCHING, "COM1");  // not connected before, not connected now: nothing to tell
    const HWND hWindow = m_panel.m_btnWindow, hBar = m_panel.m_barWidth;
    m_panel.SendMessage(WM_COMMAND, ID_SOUNDS);
    ::SendMessageA(hWindow, BM_CLICK, 0, 0);
    g_deviceLink.SetConnected(true);
    ::SendMessageA(hWindow, BM_CLICK, 0, 0);
    ::SetScrollPos(hBar, SB_CTL, 255, FALSE);
    m_panel.SendMessage(WM_HSCROLL, SB_LINERIGHT, reinterpret_cast<LPARAM>(hBar));
    m_panel.SendMessage(WM_COMMAND, ID_SOUNDS);
    ::SendMessageA(hWindow, BM_CLICK, 0, 0);
    SetPanelSoundFunction(nullptr);
    EXPECT_EQ(heard, (std::vector<int>{panel_logic::SOUND_NOT_DETECTED, panel_logic::SOUND_SENT,
                                       panel_logic::SOUND_AT_LIMIT}));

    // The tray icon and its tip as the shell has them, in both states, and
    // sent again only at a change: a marker put in while searching stays.
    CSystemTray& tray = m_panel.m_tray;
    const auto expectTray = [&tray](bool bConnected, const std::string& strState) {
        EXPECT_EQ(tray.GetIcon(), CRemotePanelDlg::TrayIcon(bConnected)) << strState;
        EXPECT_EQ(tray.GetTip(), "QRV Remote - Right click on me!\n" + strState);
        EXPECT_TRUE(ShellHasIcon(tray, CRemotePanelDlg::kTrayId)) << strState;
    };
    expectTray(false, "Tavrel Plus Not Detected");
    g_deviceLink.UsePortNumber(1);
    Publish(LINK_CONNECTED, "ACTIVE Port 1");
    expectTray(true, "ACTIVE Port 1");
    Publish(LINK_SEARCHING, "COM1");
    expectTray(false, "Tavrel Plus Not Detected");
    const HICON hMarker = ::LoadIcon(nullptr, IDI_APPLICATION);
    tray.ChangeTrayIcon(hMarker);
    Publish(LINK_SEARCHING, "COM2");
    EXPECT_EQ(tray.GetIcon(), hMarker) << "the icon sent again at a scan";
    g_deviceLink.UsePortNumber(999);
    Publish(LINK_CONNECTED, "ACTIVE Port 999");
    expectTray(true, "ACTIVE Port 999");
    // A new taskbar knows no icons; told so, the panel's comes back as it was.
    ASSERT_TRUE(ShellHasIcon(tray, CRemotePanelDlg::kTrayId, NIM_DELETE));
    ::SendMessageTimeoutA(HWND_BROADCAST, ::RegisterWindowMessageA("TaskbarCreated"), 0, 0,
                          SMTO_ABORTIFHUNG, 5000, nullptr);
    EXPECT_TRUE(WaitFor([&] { return ShellHasIcon(tray, CRemotePanelDlg::kTrayId); }))
        << "the icon added again";
    expectTray(true, "ACTIVE Port 999");
    const HWND hStatus = m_panel.m_lblStatus, hWarning = m_panel.m_wndWarning.m_label;
    EXPECT_TRUE(WaitFor([&] { return Raised(EVENT_OBJECT_NAMECHANGE, hStatus) >= 3; }));
    ::UnhookWinEvent(hHook);
    EXPECT_EQ(Raised(EVENT_OBJECT_NAMECHANGE, hStatus), 3u) << "connected, lost, connected";
    EXPECT_EQ(Raised(EVENT_SYSTEM_ALERT, hWarning), 1u) << "the one warning";
}

// A hot key says what it did while a screen reader runs, and only then.
TEST_F(Panel, HotKeysSayWhatTheyDidWhileAScreenReaderRuns) {
    std::vector<std::string> said;
    SetAnnotationFunction([&](HWND, Annotation what, const std::string& strText) {
        if (what == Annotation::Notification) {
            said.push_back(strText);
        }
        return true;
    });
    Open();
    for (bool bRunning : {true, false}) {
        SetScreenReaderOverride(bRunning);
        for (UINT nId : {HOTKEY_POSUP, HOTKEY_WINDOW, HOTKEY_POPUP}) {
            m_panel.SendMessage(WM_HOTKEY, nId, MAKELPARAM(MOD_CONTROL, VK_F5 + nId - 100));
        }
    }
    SetScreenReaderOverride(std::nullopt);
    SetAnnotationFunction(nullptr);
    EXPECT_EQ(said, (std::vector<std::string>{"Position 64", "Window"}));
}

// The buttons' clicks the panel hears.
LRESULT CALLBACK KeepClicks(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR pClicks) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        reinterpret_cast<std::vector<UINT>*>(pClicks)->push_back(LOWORD(wParam));
    }
    return ::DefSubclassProc(hWnd, message, wParam, lParam);
}

// Every key the panel works itself, each through the panel's key handling
// (Wine drops synthetic input at times): the access keys always, the others
// only under Keyboard Control and on the focused control, and a key held
// down (its repeats) once.
TEST_F(Panel, EachAccessKeyAndKeyboardControlKeyWorksItsControlOncePerStroke) {
    Open();
    std::vector<UINT> clicks;
    ::SetWindowSubclass(m_panel, KeepClicks, 1, reinterpret_cast<DWORD_PTR>(&clicks));
    constexpr LPARAM kAlt = LPARAM{1} << 29, kRepeat = LPARAM{1} << 30;
    const HWND hWindow = m_panel.m_btnWindow, hLines = m_panel.m_btnLines,
               hOptions = m_panel.m_btnOptions, hBar = m_panel.m_barPosition;
    const struct {
        const char* pszName;
        bool bKeyboardControl;
        HWND hFocus;
        UINT nMessage;
        WPARAM nKey;
        LPARAM nFlags;
        UINT nClicked;  // 0: none
        int nLevel;     // of POSITION afterwards, from 63
    } cases[] = {
        {"alt+w", false, hLines, WM_SYSKEYDOWN, 'W', kAlt, IDC_WINDOW_BUTTON, 63},
        {"alt+l", false, hWindow, WM_SYSKEYDOWN, 'L', kAlt, IDC_LINES_BUTTON, 63},
        {"alt+o", true, hBar, WM_SYSKEYDOWN, 'O', kAlt, IDC_OPTIONS_BUTTON, 63},
        {"alt+w held", false, hWindow, WM_SYSKEYDOWN, 'W', kAlt | kRepeat, 0, 63},
        {"alt+x", false, hWindow, WM_SYSKEYDOWN, 'X', kAlt, 0, 63},
        {"a plain w", true, hWindow, WM_CHAR, 'w', 0, 0, 63},
        {"space on WINDOW", true, hWindow, WM_KEYDOWN, VK_SPACE, 0, IDC_WINDOW_BUTTON, 63},
        {"enter on OPTIONS", true, hOptions, WM_KEYDOWN, VK_RETURN, 0, IDC_OPTIONS_BUTTON, 63},
        {"space held", true, hLines, WM_KEYDOWN, VK_SPACE, kRepeat, 0, 63},
        {"space, Keyboard Control off", false, hLines, WM_KEYDOWN, VK_SPACE, 0, 0, 63},
        {"right", true, hBar, WM_KEYDOWN, VK_RIGHT, 0, 0, 64},
        {"down", true, hBar, WM_KEYDOWN, VK_DOWN, 0, 0, 64},
        {"left", true, hBar, WM_KEYDOWN, VK_LEFT, 0, 0, 62},
        {"up", true, hBar, WM_KEYDOWN, VK_UP, 0, 0, 62},
        {"page down", true, hBar, WM_KEYDOWN, VK_NEXT, 0, 0, 71},
        {"page up", true, hBar, WM_KEYDOWN, VK_PRIOR, 0, 0, 55},
        {"end", true, hBar, WM_KEYDOWN, VK_END, 0, 0, 255},
        {"home", true, hBar, WM_KEYDOWN, VK_HOME, 0, 0, 0},
        {"right held", true, hBar, WM_KEYDOWN, VK_RIGHT, kRepeat, 0, 64},
        {"right on a button", true, hWindow, WM_KEYDOWN, VK_RIGHT, 0, 0, 63},
        {"right, Keyboard Control off", false, hBar, WM_KEYDOWN, VK_RIGHT, 0, 0, 63},
    };
    for (const auto& c : cases) {
        if (g_options.m_bKeyboardControl != c.bKeyboardControl) {
            m_panel.SendMessage(WM_COMMAND, ID_KEYBOARD_CONTROL);
        }
        ::SetScrollPos(hBar, SB_CTL, 63, FALSE);
        ::SetFocus(c.hFocus);
        clicks.clear();
        MSG msg = {};
        msg.hwnd = c.hFocus;
        msg.message = c.nMessage;
        msg.wParam = c.nKey;
        msg.lParam = c.nFlags;
        if (!m_panel.PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        EXPECT_EQ(clicks, c.nClicked ? std::vector<UINT>{c.nClicked} : std::vector<UINT>{})
            << c.pszName;
        EXPECT_EQ(::GetScrollPos(hBar, SB_CTL), c.nLevel) << c.pszName;
    }
    ::RemoveWindowSubclass(m_panel, KeepClicks, 1);
}

// Reads the open Connection details window and its port list, then selects
// the entry g_strPortToChoose (if any), copies and closes it.
std::string g_strDetailsShown;
std::vector<std::string> g_portEntries;
std::string g_strPortSelected;
std::string g_strPortToChoose;
void CALLBACK ReadDetailsAndClose(HWND, UINT, UINT_PTR, DWORD) {
    HWND hDetails = ::FindWindowA(nullptr, "Connection details");
    if (hDetails != nullptr && ::IsWindowVisible(hDetails)) {
        wchar_t szShown[1000] = {};
        ::GetDlgItemTextW(hDetails, IDC_CONNECTION_LINES, szShown, 1000);
        g_strDetailsShown = Utf8(szShown);
        char szText[100] = {};
        const HWND hList = ::GetDlgItem(hDetails, IDC_PORT_CHOICE);
        g_portEntries.clear();
        for (LRESULT i = 0; i < ::SendMessageA(hList, CB_GETCOUNT, 0, 0); ++i) {
            ::SendMessageA(hList, CB_GETLBTEXT, static_cast<WPARAM>(i),
                           reinterpret_cast<LPARAM>(szText));
            g_portEntries.push_back(szText);
        }
        ::GetWindowTextA(hList, szText, sizeof szText);
        g_strPortSelected = szText;
        if (!g_strPortToChoose.empty()) {
            ::SendMessageA(hList, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>(g_strPortToChoose.c_str()));
        }
        ::SendMessageA(hDetails, WM_COMMAND, MAKEWPARAM(IDC_COPY_LINES, BN_CLICKED), 0);
        ::PostMessageA(hDetails, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
}

DWORD StoredOption(const char* pszName) {
    DWORD dwValue = 0xFFFFFFFF, dwSize = sizeof dwValue;
    ::RegGetValueA(HKEY_CURRENT_USER, "Software\\Quorvane\\Tavrel Plus Remote\\Options", pszName,
                   RRF_RT_REG_DWORD, nullptr, &dwValue, &dwSize);
    return dwValue;
}

TEST(ConnectionDetails, ShowEachPortsReasonOnItsOwnLineCopyThemAndChooseThePort) {
    RemoveSettings();
    // The second reason as the system words it where the user's language is
    // not in the system's code page.
    const std::string strLines = "COM1: missing (12:03:04)\r\nCOM2: Отказано в доступе (12:03:05)";
    const auto lines = [] {
        return std::vector<std::string>{"COM1: missing (12:03:04)",
                                        "COM2: Отказано в доступе (12:03:05)"};
    };
    const auto ports = [] { return std::vector<ListedPort>{{5, true}, {2, false}}; };
    // Each row: the choice before, the entries then (those present, and the
    // chosen one not present), the one selected, the one chosen, the choice after.
    const std::vector<std::string> kPresent = {"Port: Automatic", "Port: COM2",
                                               "Port: COM5 (Bluetooth)"};
    const struct {
        int nChosenBefore;
        const char* pszAbsent;
        const char *pszSelected, *pszChoose;
        int nChosenAfter;
    } cases[] = {
        {0, nullptr, "Port: Automatic", "Port: COM5 (Bluetooth)", 5},
        {5, nullptr, "Port: COM5 (Bluetooth)", "Port: Automatic", 0},
        {7, "Port: COM7 (not present)", "Port: COM7 (not present)", "Port: COM2", 2},
    };
    for (const auto& c : cases) {
        g_deviceLink.SetPortChoice(c.nChosenBefore);
        g_strPortToChoose = c.pszChoose;
        CConnectionDlg details(nullptr, lines, ports);
        const UINT_PTR nTimer = ::SetTimer(nullptr, 0, 50, ReadDetailsAndClose);
        EXPECT_EQ(details.DoModal(), IDCANCEL);
        ::KillTimer(nullptr, nTimer);
        std::vector<std::string> entries = kPresent;
        if (c.pszAbsent != nullptr) {
            entries.push_back(c.pszAbsent);
        }
        EXPECT_EQ(g_portEntries, entries) << c.nChosenBefore;
        EXPECT_EQ(g_strPortSelected, c.pszSelected) << c.nChosenBefore;
        EXPECT_EQ(g_deviceLink.PortChoice(), c.nChosenAfter) << c.pszChoose;
        EXPECT_EQ(StoredOption("nPort"), static_cast<DWORD>(c.nChosenAfter)) << c.pszChoose;
    }
    g_deviceLink.SetPortChoice(0);
    RemoveSettings();
    EXPECT_EQ(g_strDetailsShown, strLines);
    ASSERT_TRUE(::OpenClipboard(nullptr));
    const HANDLE hCopied = ::GetClipboardData(CF_UNICODETEXT);
    const auto* pszCopied = static_cast<const wchar_t*>(::GlobalLock(hCopied));
    EXPECT_EQ(std::wstring(pszCopied != nullptr ? pszCopied : L""), Utf16(strLines));
    ::GlobalUnlock(hCopied);
    ::CloseClipboard();
}

// The levels are kept for the next start, not at every step: a second after
// the first change, what the bars show then.
TEST_F(Panel, TheLevelsAreStoredASecondAfterTheyChangeNotAtEveryStep) {
    Open();
    for (int i = 0; i < 3; ++i) {
        m_panel.SendMessage(WM_HSCROLL, SB_LINERIGHT,
                            reinterpret_cast<LPARAM>(m_panel.m_barPosition.m_hWnd));
    }
    EXPECT_EQ(StoredOption("nPosition"), 0xFFFFFFFFu) << "stored at a step";
    EXPECT_TRUE(WaitFor([] { return StoredOption("nPosition") == 66; }))
        << "POSITION 66 stored after a second";
    EXPECT_EQ(StoredOption("nWidth"), 63u);
}

// Only the system folder's DLLs: one beside this program is not loaded (a
// plain LoadLibrary takes it), and why a DLL or function was not had is kept.
TEST(SystemDlls, ComeFromTheSystemFolderOnlyAndAFailureIsKept) {
    EXPECT_EQ(SystemDllFunction("tavrel_planted.dll", "PlaySoundW"), nullptr);
    // The system's whole text for the error ("...not found" on Windows and
    // Wine), without its full stop and line end, then its code.
    const std::string strReason = FailureReason("tavrel_planted.dll");
    EXPECT_EQ(strReason.rfind("LoadLibraryEx from the system folder: ", 0), 0u) << strReason;
    EXPECT_NE(strReason.find("found (error 126)"), std::string::npos) << strReason;
    HMODULE hBeside = ::LoadLibraryW(L"tavrel_planted.dll");
    EXPECT_NE(hBeside, nullptr) << "the DLL beside this program";
    ::FreeLibrary(hBeside);
    EXPECT_NE(SystemDllFunction("winmm.dll", "PlaySoundW"), nullptr);
    EXPECT_EQ(FailureReason("winmm.dll"), "");
    EXPECT_EQ(SystemDllFunction("winmm.dll", "PlaySoundX"), nullptr);
    EXPECT_NE(FailureReason("winmm.dll").find("GetProcAddress PlaySoundX"), std::string::npos);
    ForgetFailure("tavrel_planted.dll");
    ForgetFailure("winmm.dll");
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

// ---- the whole program's end ----

// A serial port whose open does not return until the test lets it go, as a
// Bluetooth port's open blocks while Windows calls the paired device.
struct HangingPort : ISerialPort {
    HANDLE hEntered = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE hRelease = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ~HangingPort() override {
        ::CloseHandle(hEntered);
        ::CloseHandle(hRelease);
    }
    bool Open(int, int) override {
        ::SetEvent(hEntered);
        ::WaitForSingleObject(hRelease, INFINITE);
        return false;
    }
    bool Close() override { return true; }
    int WriteBytes(const std::uint8_t*, int) override { return 0; }
    int GetInputCount() override { return 0; }
    int ReadAvailable(std::uint8_t*, int) override { return 0; }
    int ReadWithin(std::uint8_t*, int, int, int) override { return 0; }
    void StopWaits() override {}
    bool IsOpen() const override { return false; }
};

// Chooses Exit on the panel once the link thread hangs in its open, and sees
// what is left on the screen just after.
HangingPort* g_pHanging = nullptr;
bool g_bExitChosen = false, g_bPanelLeft = true, g_bIconLeft = true;
void CALLBACK ExitOnceTheOpenHangs(HWND, UINT, UINT_PTR nTimer, DWORD) {
    auto* pPanel = dynamic_cast<CRemotePanelDlg*>(GetMainWnd());
    if (pPanel == nullptr || ::WaitForSingleObject(g_pHanging->hEntered, 0) != WAIT_OBJECT_0) {
        return;
    }
    ::KillTimer(nullptr, nTimer);
    const HWND hTray = pPanel->m_tray;
    g_bExitChosen = ::SendMessageA(*pPanel, WM_COMMAND, ID_EXIT, 0) == 0;
    g_bPanelLeft = ::IsWindowVisible(*pPanel) != FALSE;
    g_bIconLeft = ShellHasIcon(hTray, CRemotePanelDlg::kTrayId);
}

// The whole program, its link thread hanging in a port's open: chooses Exit
// and returns from main with the thread still hanging there. Run alone in a
// fresh process (the ctest entry tavrel_exit_over_a_hanging_port), as the
// single-instance guard keeps its registration for the process's life. 0
// when all went as it should; what did not goes to the error output.
int RunProgramThatHangsInAnOpen() {
    HangingPort port;
    g_pHanging = &port;
    g_deviceLink.UsePort(&port);
    std::vector<std::string> boxes;
    SetMessageBoxFunction([&](HWND, const std::string& strText, const std::string&, UINT) {
        boxes.push_back(strText);
        return IDOK;
    });
    const UINT_PTR nTimer = ::SetTimer(nullptr, 0, 20, ExitOnceTheOpenHangs);
    theApp.InitInstance("TavrelRemote.exe -show");  // returns once the program has ended
    ::KillTimer(nullptr, nTimer);
    int nFaults = 0;
    const auto check = [&nFaults](bool bGood, const char* pszFault) {
        if (!bGood) {
            std::fprintf(stderr, "%s\n", pszFault);
            ++nFaults;
        }
    };
    check(g_bExitChosen, "the link thread never reached the open");
    check(!g_bPanelLeft, "the panel stayed on the screen after Exit");
    check(!g_bIconLeft, "the icon stayed in the tray after Exit");
    check(boxes == std::vector<std::string>{"Serial comm thread still running"},
          "the message was not \"Serial comm thread still running\" alone");
    check(g_deviceLink.IsRunning(), "the link thread did not hang in the open");
    return nFaults;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--first-copy") {
        return RunFirstCopy();
    }
    if (argc > 1 && std::string(argv[1]) == "--program-hanging-in-open") {
        return RunProgramThatHangsInAnOpen();
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
