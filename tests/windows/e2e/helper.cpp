// The end-to-end driver's eyes and hands inside wine: what X cannot tell about
// the program's windows, the registry, and the few actions that are taken
// below the input because Wine may drop a click on a window it has only just
// mapped (a button's click, the Setup dialog's controls, bringing a window to
// the front). Answers one request per line on stdin, one line each ("none"
// when the window is not there); Answer() below says what each request does:
// panel ("VISIBLE LEFT TOP"), status, fg (the foreground's title), front
// CLASS, has CLASS, press ID, rect ID, cmd ID, focus ID, setup, check ID 0|1,
// select ID TEXT, ok, warning ("1" or "0"), box (UTF-8), acp, reg KEY|NAME
// ("TYPE SIZE HEX" or "missing"; under the classes root for "HKCR\..."),
// reg KEY|NAME|TYPE|HEX (writes), regdel KEY, running NAME, run COMMAND.
//   e2e_helper pose FILE   a running copy whose process outlives its window:
//                          a hidden window titled as the panel, FILE held as a
//                          running program's is; Exit takes the window down at
//                          once and ends the process 1.5 s later
//   e2e_helper --view PATH the .html viewer: writes PATH (UTF-8) to
//                          C:\tavrel_viewer.txt
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "resource.h"

namespace {

constexpr char kPanelTitle[] = "Quorvane - Tavrel Plus Remote";

HWND Panel() {
    return ::FindWindowA(nullptr, kPanelTitle);
}

HWND Setup() {
    return ::FindWindowA(nullptr, "Setup Hot Keys");
}

std::string Text(HWND hWnd) {
    char sz[256] = {};
    ::GetWindowTextA(hWnd, sz, sizeof sz);
    return sz;
}

BOOL CALLBACK FindWarning(HWND hWnd, LPARAM lParam) {
    HWND hText = ::GetDlgItem(hWnd, IDC_WARNING_TEXT);
    if (hText != nullptr && ::IsWindowVisible(hWnd) && Text(hText) == "Tavrel Plus Not Detected") {
        *reinterpret_cast<bool*>(lParam) = true;
        return FALSE;
    }
    return TRUE;
}

std::string Reg(const std::string& strArgs) {
    std::vector<std::string> parts;
    std::stringstream in(strArgs);
    for (std::string part; std::getline(in, part, '|');) {
        parts.push_back(part);
    }
    HKEY hRoot = HKEY_CURRENT_USER;
    if (parts.size() >= 2 && parts[0].rfind("HKCR\\", 0) == 0) {
        hRoot = HKEY_CLASSES_ROOT;  // where the shell finds a file type's program
        parts[0].erase(0, 5);
    }
    if (parts.size() == 4) {
        std::vector<BYTE> data;
        for (std::size_t i = 0; i + 1 < parts[3].size(); i += 2) {
            data.push_back(
                static_cast<BYTE>(std::strtoul(parts[3].substr(i, 2).c_str(), nullptr, 16)));
        }
        const LONG nResult = ::RegSetKeyValueA(hRoot, parts[0].c_str(), parts[1].c_str(),
                                               static_cast<DWORD>(std::atoi(parts[2].c_str())),
                                               data.data(), static_cast<DWORD>(data.size()));
        return nResult == ERROR_SUCCESS ? "ok" : "error " + std::to_string(nResult);
    }
    if (parts.size() != 2) {
        return "error reg KEY|NAME[|TYPE|HEX]";
    }
    DWORD dwType = 0;
    BYTE data[2048] = {};
    DWORD cb = sizeof data;
    if (::RegGetValueA(hRoot, parts[0].c_str(), parts[1].c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                       &dwType, data, &cb) != ERROR_SUCCESS) {
        return "missing";
    }
    std::string strHex;
    for (DWORD i = 0; i < cb; ++i) {
        strHex += "0123456789abcdef"[data[i] >> 4];
        strHex += "0123456789abcdef"[data[i] & 15];
    }
    return std::to_string(dwType) + ' ' + std::to_string(cb) + ' ' + strHex;
}

std::string Expanded(const std::string& str) {
    char sz[1024] = {};
    ::ExpandEnvironmentStringsA(str.c_str(), sz, sizeof sz);
    return sz;
}

bool Running(const std::string& strName) {
    HANDLE hSnapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    BOOL bMore = ::Process32First(hSnapshot, &entry);
    while (bMore && ::lstrcmpiA(entry.szExeFile, strName.c_str()) != 0) {
        bMore = ::Process32Next(hSnapshot, &entry);
    }
    ::CloseHandle(hSnapshot);
    return bMore != FALSE;
}

std::string Run(const std::string& strCommand) {
    std::string strLine = Expanded(strCommand);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(nullptr, strLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        return "error " + std::to_string(::GetLastError());
    }
    DWORD dwCode = STILL_ACTIVE;
    ::WaitForSingleObject(process.hProcess, 60000);
    ::GetExitCodeProcess(process.hProcess, &dwCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return "exit " + std::to_string(dwCode);
}

WNDPROC g_pfnDialogProc = nullptr;

LRESULT CALLBACK PoseProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_COMMAND && LOWORD(wParam) == ID_EXIT) {
        ::DestroyWindow(hWnd);
        ::PostQuitMessage(0);
        return 0;
    }
    return ::CallWindowProcA(g_pfnDialogProc, hWnd, uMsg, wParam, lParam);
}

int Pose(const std::string& strFile) {
    HANDLE hFile = ::CreateFileA(Expanded(strFile).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        return 1;
    }
    HWND hWnd = ::CreateWindowExA(0, WC_DIALOG, kPanelTitle, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  nullptr, nullptr);
    g_pfnDialogProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PoseProc)));
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::DispatchMessageA(&msg);
    }
    ::Sleep(1500);
    ::CloseHandle(hFile);
    return 0;
}

std::string Answer(const std::string& strLine) {
    std::istringstream in(strLine);
    std::string strVerb;
    int nId = 0;
    in >> strVerb >> nId;
    HWND hPanel = Panel();
    HWND hSetup = Setup();
    if (strVerb == "panel" && hPanel != nullptr) {
        RECT rc = {};
        ::GetWindowRect(hPanel, &rc);
        return std::string(::IsWindowVisible(hPanel) ? "1 " : "0 ") + std::to_string(rc.left) +
               ' ' + std::to_string(rc.top);
    }
    if (strVerb == "status" && hPanel != nullptr) {
        return Text(::GetDlgItem(hPanel, IDC_STATUS));
    }
    if (strVerb == "fg") {
        return Text(::GetForegroundWindow());
    }
    if (strVerb == "front" || strVerb == "has") {
        HWND hWnd = ::FindWindowA(strLine.substr(strVerb.size() + 1).c_str(), nullptr);
        return hWnd != nullptr && (strVerb == "has" || ::SetForegroundWindow(hWnd)) ? "ok" : "none";
    }
    if (strVerb == "press" && hPanel != nullptr) {
        ::PostMessageA(::GetDlgItem(hPanel, nId), BM_CLICK, 0, 0);
        return "ok";
    }
    if (strVerb == "rect" && hPanel != nullptr) {
        RECT rc = {};
        ::GetWindowRect(::GetDlgItem(hPanel, nId), &rc);
        return std::to_string(rc.left) + ' ' + std::to_string(rc.top) + ' ' +
               std::to_string(rc.right) + ' ' + std::to_string(rc.bottom);
    }
    if (strVerb == "cmd" && hPanel != nullptr) {
        ::PostMessageA(hPanel, WM_COMMAND, static_cast<WPARAM>(nId), 0);
        return "ok";
    }
    if (strVerb == "focus" && hPanel != nullptr) {
        ::SendMessageA(hPanel, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(hPanel, nId)),
                       TRUE);
        return "ok";
    }
    if (strVerb == "setup") {
        return hSetup != nullptr && ::IsWindowVisible(hSetup) && ::IsWindowEnabled(hSetup) ? "1"
                                                                                           : "0";
    }
    if (strVerb == "check" && hSetup != nullptr) {
        int nCheck = 0;
        in >> nCheck;
        ::SendDlgItemMessageA(hSetup, nId, BM_SETCHECK, nCheck ? BST_CHECKED : BST_UNCHECKED, 0);
        return "ok";
    }
    if (strVerb == "select" && hSetup != nullptr) {
        std::string strText;
        in >> strText;
        HWND hCombo = ::GetDlgItem(hSetup, nId);
        const LRESULT nAt = ::SendMessageA(hCombo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>(strText.c_str()));
        ::SendMessageA(hCombo, CB_SETCURSEL, static_cast<WPARAM>(nAt), 0);
        ::SendMessageA(hSetup, WM_COMMAND, MAKEWPARAM(nId, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(hCombo));
        char sz[64] = {};
        ::SendMessageA(hCombo, CB_GETLBTEXT, ::SendMessageA(hCombo, CB_GETCURSEL, 0, 0),
                       reinterpret_cast<LPARAM>(sz));
        return sz;
    }
    if (strVerb == "ok" && hSetup != nullptr) {
        ::PostMessageA(hSetup, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(hSetup, IDOK)));
        return "ok";
    }
    if (strVerb == "warning") {
        bool bShown = false;
        ::EnumWindows(FindWarning, reinterpret_cast<LPARAM>(&bShown));
        return bShown ? "1" : "0";
    }
    if (strVerb == "box") {
        HWND hBox = ::FindWindowA("#32770", "Tavrel Plus Remote");
        wchar_t szText[1000] = {};
        ::GetDlgItemTextW(hBox, 0xFFFF, szText, 1000);  // the box's text, as on Windows
        char szUtf8[3000] = {};
        ::WideCharToMultiByte(CP_UTF8, 0, szText, -1, szUtf8, sizeof szUtf8, nullptr, nullptr);
        ::PostMessageA(hBox, WM_COMMAND, IDOK, 0);
        std::string strText = hBox != nullptr ? szUtf8 : "none";
        std::replace(strText.begin(), strText.end(), '\n', ' ');
        return strText;
    }
    if (strVerb == "acp") {
        return std::to_string(::GetACP());
    }
    if (strVerb == "reg" && strLine.size() > 4) {
        return Reg(strLine.substr(4));
    }
    if (strVerb == "regdel" && strLine.size() > 7) {
        const LONG nResult = ::RegDeleteTreeA(HKEY_CURRENT_USER, strLine.substr(7).c_str());
        return nResult == ERROR_SUCCESS || nResult == ERROR_FILE_NOT_FOUND ? "ok" : "error";
    }
    if (strVerb == "running" && strLine.size() > 8) {
        return Running(strLine.substr(8)) ? "ok" : "none";
    }
    if (strVerb == "run" && strLine.size() > 4) {
        return Run(strLine.substr(4));
    }
    return "none";
}

}  // namespace

// The viewer ShellExecute starts for a .html file: "HELPER" --view "PATH".
int View() {
    std::wstring strLine = ::GetCommandLineW();
    strLine.erase(0, strLine.find(L"--view ") + 7);
    strLine.erase(std::remove(strLine.begin(), strLine.end(), L'"'), strLine.end());
    char szUtf8[3000] = {};
    ::WideCharToMultiByte(CP_UTF8, 0, strLine.c_str(), -1, szUtf8, sizeof szUtf8, nullptr, nullptr);
    std::ofstream("C:\\tavrel_viewer.txt", std::ios::binary) << szUtf8;
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "pose") {
        return Pose(argv[2]);
    }
    if (argc > 1 && std::string(argv[1]) == "--view") {
        return View();
    }
    for (std::string strLine; std::getline(std::cin, strLine);) {
        if (!strLine.empty() && strLine.back() == '\r') {
            strLine.pop_back();
        }
        std::cout << Answer(strLine) << std::endl;
    }
    return 0;
}
