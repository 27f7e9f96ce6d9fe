// The end-to-end suite's eyes and a few hands inside wine: what X cannot tell
// about the program's windows (which one is the panel, where a control or a
// caption button is, a control's text, the foreground window, the tray icon on
// the taskbar), the program's settings in the registry, and starts of the
// program with an exact command line.
//
//   app_e2e_helper serve    answers one request per line on stdin, one line each
//
// Requests (rectangles are screen coordinates, which are the X display's with
// the virtual desktop at +0+0; window handles in hex):
//   panel           "HWND VISIBLE ICONIC L T R B" of the panel, or "none"
//   client          "L T R B" of the panel's client area, or "none"
//   panels          how many top-level windows carry the panel's title
//   ctl ID          "VISIBLE L T R B TEXT" of control ID of the panel, or "none"
//   caption         "CLOSEX CLOSEY MINX MINY": centres of the panel's close and
//                   minimise boxes as the panel's hit test finds them, or "none"
//   warning         "1 L T R B" while the not-detected warning is shown, else "0"
//   fg              "HWND TITLE" of the foreground window ("0" when none)
//   tray            "X Y WIDTH ICON": centre of what is drawn in the
//                   notification area, its width and a small icon's width, or "none"
//   popup           "L T R B" of the open popup menu, or "none"
//   metric N        GetSystemMetrics(N)
//   minimize        minimises the panel as a program other than the user would
//   reg NAME        the program's MainWindow value NAME as a signed number, or "missing"
//   regclear        removes the program's settings key; "ok"
//   launch LINE     starts a process with exactly the command line LINE; its
//                   process id, or "error ..."
//   ended ID        "1" once process ID (launched here) has ended, with its
//                   exit code after a blank; "0" while it runs
//   kill ID         ends process ID (launched here); "ok"
//   exit            posts the Exit command to the panel; "ok" or "none"
//   quit            ends the helper
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "pixels.h"
#include "resource.h"

namespace {

constexpr const char* kPanelTitle = "Quorvane - Tavrel Plus Remote";
constexpr const char* kSettingsKey = "Software\\Quorvane\\Tavrel Plus Remote";
constexpr const char* kWarningText = "Tavrel Plus Not Detected";

std::string Hex(unsigned long long v) {
    char sz[32];
    std::snprintf(sz, sizeof sz, "%llx", v);
    return sz;
}

std::string Rect(const RECT& rc) {
    std::ostringstream out;
    out << rc.left << ' ' << rc.top << ' ' << rc.right << ' ' << rc.bottom;
    return out.str();
}

HWND Panel() {
    return ::FindWindowA(nullptr, kPanelTitle);
}

BOOL CALLBACK CountPanels(HWND hWnd, LPARAM lParam) {
    char sz[64] = {};
    ::GetWindowTextA(hWnd, sz, sizeof sz);
    if (std::strcmp(sz, kPanelTitle) == 0) {
        ++*reinterpret_cast<int*>(lParam);
    }
    return TRUE;
}

BOOL CALLBACK FindWarning(HWND hWnd, LPARAM lParam) {
    char sz[64] = {};
    HWND hText = ::GetDlgItem(hWnd, IDC_WARNING_TEXT);
    if (hText != nullptr && ::IsWindowVisible(hWnd) && ::GetWindowTextA(hText, sz, sizeof sz) > 0 &&
        std::strcmp(sz, kWarningText) == 0) {
        *reinterpret_cast<HWND*>(lParam) = hWnd;
        return FALSE;
    }
    return TRUE;
}

std::string PanelLine() {
    HWND hPanel = Panel();
    if (hPanel == nullptr) {
        return "none";
    }
    RECT rc = {};
    ::GetWindowRect(hPanel, &rc);
    return Hex(reinterpret_cast<ULONG_PTR>(hPanel)) + ' ' +
           (::IsWindowVisible(hPanel) ? "1 " : "0 ") + (::IsIconic(hPanel) ? "1 " : "0 ") +
           Rect(rc);
}

std::string ControlLine(int nId) {
    HWND hCtl = Panel() ? ::GetDlgItem(Panel(), nId) : nullptr;
    if (hCtl == nullptr) {
        return "none";
    }
    RECT rc = {};
    ::GetWindowRect(hCtl, &rc);
    char sz[256] = {};
    ::GetWindowTextA(hCtl, sz, sizeof sz);
    return std::string(::IsWindowVisible(hCtl) ? "1 " : "0 ") + Rect(rc) + ' ' + sz;
}

std::string ForegroundLine() {
    HWND hWnd = ::GetForegroundWindow();
    if (hWnd == nullptr) {
        return "0";
    }
    char sz[256] = {};
    ::GetWindowTextA(hWnd, sz, sizeof sz);
    return Hex(reinterpret_cast<ULONG_PTR>(hWnd)) + ' ' + sz;
}

// The notification area: right of the taskbar's child windows (start button,
// window buttons). The icons are what differs there from the taskbar's
// background, which is the colour at the area's left end in each row.
std::string TrayLine() {
    HWND hTaskbar = ::FindWindowA("Shell_TrayWnd", nullptr);
    if (hTaskbar == nullptr || !::IsWindowVisible(hTaskbar)) {
        return "none";
    }
    int nLeft = 0;
    for (HWND hChild = ::GetWindow(hTaskbar, GW_CHILD); hChild != nullptr;
         hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
        RECT rc = {};
        if (::IsWindowVisible(hChild) && ::GetWindowRect(hChild, &rc)) {
            POINT pt = {rc.right, rc.top};
            ::ScreenToClient(hTaskbar, &pt);
            nLeft = pt.x > nLeft ? pt.x : nLeft;
        }
    }
    nLeft += 2;
    const ClientPixels shot(hTaskbar);
    int nFirst = -1, nLast = -1, nTop = shot.Height(), nBottom = -1;
    for (int x = nLeft; x < shot.Width(); ++x) {
        int nInk = 0;
        for (int y = 0; y < shot.Height(); ++y) {
            if (shot.At(x, y) != shot.At(nLeft, y)) {
                ++nInk;
                nTop = y < nTop ? y : nTop;
                nBottom = y > nBottom ? y : nBottom;
            }
        }
        if (nInk >= 3) {
            nFirst = nFirst < 0 ? x : nFirst;
            nLast = x;
        }
    }
    if (nFirst < 0) {
        return "none";
    }
    POINT pt = {(nFirst + nLast) / 2, (nTop + nBottom) / 2};
    ::ClientToScreen(hTaskbar, &pt);
    std::ostringstream out;
    out << pt.x << ' ' << pt.y << ' ' << (nLast - nFirst + 1) << ' '
        << ::GetSystemMetrics(SM_CXSMICON);
    return out.str();
}

std::string RegistryLine(const std::string& strName) {
    const std::string strKey = std::string(kSettingsKey) + "\\MainWindow";
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, strKey.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS) {
        return "missing";
    }
    DWORD dwType = 0, dwValue = 0, cb = sizeof dwValue;
    const LONG nResult = ::RegQueryValueExA(hKey, strName.c_str(), nullptr, &dwType,
                                            reinterpret_cast<BYTE*>(&dwValue), &cb);
    ::RegCloseKey(hKey);
    if (nResult != ERROR_SUCCESS || dwType != REG_DWORD || cb != sizeof dwValue) {
        return "missing";
    }
    return std::to_string(static_cast<LONG>(dwValue));
}

std::string ClearSettings() {
    const LONG nResult = ::RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
    return nResult == ERROR_SUCCESS || nResult == ERROR_FILE_NOT_FOUND
               ? "ok"
               : "error " + std::to_string(nResult);
}

std::string PostExit() {
    HWND hPanel = Panel();
    return hPanel != nullptr && ::PostMessageA(hPanel, WM_COMMAND, ID_EXIT, 0) ? "ok" : "none";
}

std::string ClientLine() {
    HWND hPanel = Panel();
    RECT rc = {};
    if (hPanel == nullptr || !::GetClientRect(hPanel, &rc)) {
        return "none";
    }
    ::MapWindowPoints(hPanel, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    return Rect(rc);
}

// Walks the caption row from the right edge and asks the panel what each
// point is, as the system does for a click there.
std::string CaptionLine() {
    HWND hPanel = Panel();
    RECT rcWindow = {}, rcClient = {};
    if (hPanel == nullptr || !::IsWindowVisible(hPanel) || !::GetWindowRect(hPanel, &rcWindow) ||
        !::GetClientRect(hPanel, &rcClient)) {
        return "none";
    }
    const int y =
        rcWindow.top + ::GetSystemMetrics(SM_CYFIXEDFRAME) + ::GetSystemMetrics(SM_CYCAPTION) / 2;
    int nCloseFirst = -1, nCloseLast = -1, nMinFirst = -1, nMinLast = -1;
    for (int x = rcWindow.right - 1; x > rcWindow.left; --x) {
        DWORD_PTR nHit = 0;
        if (!::SendMessageTimeoutA(hPanel, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG,
                                   2000, &nHit)) {
            return "none";
        }
        if (nHit == HTCLOSE) {
            nCloseLast = nCloseLast < 0 ? x : nCloseLast;
            nCloseFirst = x;
        } else if (nHit == HTMINBUTTON) {
            nMinLast = nMinLast < 0 ? x : nMinLast;
            nMinFirst = x;
        }
    }
    if (nCloseFirst < 0 || nMinFirst < 0) {
        return "none";
    }
    std::ostringstream out;
    out << (nCloseFirst + nCloseLast) / 2 << ' ' << y << ' ' << (nMinFirst + nMinLast) / 2 << ' '
        << y;
    return out.str();
}

std::string PopupLine() {
    HWND hMenu = ::FindWindowA("#32768", nullptr);
    RECT rc = {};
    return hMenu != nullptr && ::IsWindowVisible(hMenu) && ::GetWindowRect(hMenu, &rc) ? Rect(rc)
                                                                                       : "none";
}

// Processes started by "launch", by id.
std::map<DWORD, HANDLE> g_processes;

std::string Launch(const std::string& strCommandLine) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(strCommandLine.begin(), strCommandLine.end());
    line.push_back('\0');
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                          &pi)) {
        return "error " + std::to_string(::GetLastError());
    }
    ::CloseHandle(pi.hThread);
    g_processes[pi.dwProcessId] = pi.hProcess;
    return std::to_string(pi.dwProcessId);
}

std::string Ended(DWORD dwId) {
    const auto it = g_processes.find(dwId);
    if (it == g_processes.end()) {
        return "error unknown process";
    }
    DWORD dwCode = 0;
    if (::WaitForSingleObject(it->second, 0) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(it->second, &dwCode)) {
        return "0";
    }
    return "1 " + std::to_string(dwCode);
}

std::string Kill(DWORD dwId) {
    const auto it = g_processes.find(dwId);
    if (it == g_processes.end()) {
        return "error unknown process";
    }
    ::TerminateProcess(it->second, 1);
    ::WaitForSingleObject(it->second, 10000);
    ::CloseHandle(it->second);
    g_processes.erase(it);
    return "ok";
}

std::string Answer(const std::string& strLine) {
    std::istringstream in(strLine);
    std::string strVerb, strArg;
    in >> strVerb >> strArg;
    if (strVerb == "panel") {
        return PanelLine();
    }
    if (strVerb == "panels") {
        int n = 0;
        ::EnumWindows(CountPanels, reinterpret_cast<LPARAM>(&n));
        return std::to_string(n);
    }
    if (strVerb == "ctl" && !strArg.empty()) {
        return ControlLine(std::atoi(strArg.c_str()));
    }
    if (strVerb == "warning") {
        HWND hWarning = nullptr;
        ::EnumWindows(FindWarning, reinterpret_cast<LPARAM>(&hWarning));
        RECT rc = {};
        return hWarning != nullptr && ::GetWindowRect(hWarning, &rc) ? "1 " + Rect(rc) : "0";
    }
    if (strVerb == "client") {
        return ClientLine();
    }
    if (strVerb == "caption") {
        return CaptionLine();
    }
    if (strVerb == "popup") {
        return PopupLine();
    }
    if (strVerb == "metric" && !strArg.empty()) {
        return std::to_string(::GetSystemMetrics(std::atoi(strArg.c_str())));
    }
    if (strVerb == "minimize") {
        return Panel() != nullptr && ::ShowWindow(Panel(), SW_MINIMIZE) >= 0 ? "ok" : "none";
    }
    if (strVerb == "launch") {
        const std::size_t nAt = strLine.find(' ');
        return nAt == std::string::npos ? "error no command line" : Launch(strLine.substr(nAt + 1));
    }
    if (strVerb == "ended" && !strArg.empty()) {
        return Ended(static_cast<DWORD>(std::strtoul(strArg.c_str(), nullptr, 10)));
    }
    if (strVerb == "kill" && !strArg.empty()) {
        return Kill(static_cast<DWORD>(std::strtoul(strArg.c_str(), nullptr, 10)));
    }
    if (strVerb == "fg") {
        return ForegroundLine();
    }
    if (strVerb == "tray") {
        return TrayLine();
    }
    if (strVerb == "reg" && !strArg.empty()) {
        return RegistryLine(strArg);
    }
    if (strVerb == "regclear") {
        return ClearSettings();
    }
    if (strVerb == "exit") {
        return PostExit();
    }
    return "error unknown request '" + strLine + "'";
}

int Serve() {
    std::string strLine;
    while (std::getline(std::cin, strLine)) {
        if (!strLine.empty() && strLine.back() == '\r') {
            strLine.pop_back();  // a command line keeps its other blanks
        }
        if (strLine == "quit") {
            break;
        }
        std::cout << Answer(strLine) << std::endl;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "serve") == 0) {
        return Serve();
    }
    std::fprintf(stderr, "usage: app_e2e_helper serve\n");
    return 2;
}
