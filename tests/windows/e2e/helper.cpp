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
//   setup           "HWND VISIBLE L T R B" of the Setup Hot Keys dialog, or "none"
//   sctl ID         "VISIBLE ENABLED CHECK L T R B TEXT" of control ID of the
//                   Setup Hot Keys dialog (CHECK is BM_GETCHECK, -1 when the
//                   control is no button), or "none"
//   senabled ID...  one character per ID: "1" enabled, "0" disabled, "-" no
//                   such control of the Setup Hot Keys dialog
//   combo ID        "COUNT SEL DROPPED DROPWIDTH FIRST LAST SELTEXT" of a key
//                   list of the Setup Hot Keys dialog ("-" for a missing text)
//   droplist ID     "1 L T R B CLIENTWIDTH TOPINDEX CURSEL" of that key
//                   list's drop-down list while it is dropped, else "0"
//   listitem ID N   "L T R B" of item N in that drop-down list
//   extent ID TEXT  the width in pixels of TEXT in the font of control ID of
//                   the Setup Hot Keys dialog
//   msgbox          "L T R B<tab>CAPTION<tab>TEXT": the OK button and texts of
//                   a shown message box, or "none"
//   regget SECTION NAME         "dword N", "sz TEXT" or "missing": value NAME
//                               of the settings section SECTION
//   regset SECTION NAME dword N / regset SECTION NAME sz TEXT
//                               writes a value as a hand edit would; "ok"
//   regdump SECTION "NAME=TYPE:VALUE" of every value of the section, sorted,
//                   tab-separated; "missing" without the key
//   notepad         the text in notepad's edit box, or "none"
//   notepadrect     "L T R B" of notepad's window while it is shown, or "none"
//   workarea        "L T R B" of the primary screen's work area
//   dismiss         cancels a Setup Hot Keys dialog and OKs a message box of
//                   the program's that a failed check left open; "ok"
//   counters        "PID HANDLES GDI USER PRIVATEKIB CPUMS" of the panel's process:
//                   its handle count, GDI and USER objects, private bytes in
//                   KiB and user+kernel CPU time in ms; "none" without a panel
//   regraw SECTION NAME         "TYPE SIZE HEX": value NAME of the section as
//                               raw bytes, or "missing"
//   regraw SECTION NAME TYPE HEX  writes TYPE (a number) with those bytes; "ok"
//   regdel SECTION NAME         removes the value; "ok" (also when missing)
//   squat event     holds an event named as the program's start-up lock
//   squat block HEX holds the program's shared block with the 32-bit value
//                   HEX in it ("notepad": notepad's window); "ok"
//   unsquat         lets go of what squat holds; "ok"
//   input X Y       where a click at X Y goes and the panel's input state, for
//                   a click that went astray: "at=CLASS#ID:HIT,..." the windows
//                   under the point down to the first that does not let a click
//                   through, with their WM_NCHITTEST answers, "panel=ENABLED"
//                   (1/0), and "active=", "focus=",
//                   "capture=" of the panel's thread (CLASS#ID or "-"),
//                   "menu=1" while it is in a menu or move loop, "button=HEX"
//                   the BM_GETSTATE of the control under the point
//   window CLASS    "HWND VISIBLE ICONIC" of the first top-level window of
//                   class CLASS, or "none"; "minwindow CLASS" minimises it
//   quit            ends the helper
#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "pixels.h"
#include "resource.h"
#include "window_checks.h"

namespace {

constexpr const char* kPanelTitle = "Quorvane - Tavrel Plus Remote";
constexpr const char* kSettingsKey = "Software\\Quorvane\\Tavrel Plus Remote";
constexpr const char* kWarningText = "Tavrel Plus Not Detected";
constexpr const char* kSetupTitle = "Setup Hot Keys";
constexpr const char* kAppName = "Tavrel Plus Remote";

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

std::string WindowName(HWND hWnd) {
    if (hWnd == nullptr) {
        return "-";
    }
    char sz[64] = {};
    ::GetClassNameA(hWnd, sz, sizeof sz);
    return std::string(sz) + '#' + std::to_string(::GetDlgCtrlID(hWnd));
}

std::string InputLine(int x, int y) {
    HWND hPanel = Panel();
    if (hPanel == nullptr) {
        return "none";
    }
    // The window a click there reaches: down the Z-order past the ones that
    // let it through (a static answers HTTRANSPARENT), as the hit test does.
    HWND hAt = ::WindowFromPoint(POINT{x, y});
    std::string strAt;
    for (HWND hWnd = hAt; hWnd != nullptr; hWnd = ::GetWindow(hWnd, GW_HWNDNEXT)) {
        RECT rc = {};
        if (!::IsWindowVisible(hWnd) || !::GetWindowRect(hWnd, &rc) ||
            !::PtInRect(&rc, POINT{x, y})) {
            continue;
        }
        const LRESULT nHit = ::SendMessageA(hWnd, WM_NCHITTEST, 0, MAKELPARAM(x, y));
        strAt += (strAt.empty() ? "" : ",") + WindowName(hWnd) + ':' + std::to_string(nHit);
        hAt = hWnd;
        if (nHit != HTTRANSPARENT || ::GetParent(hWnd) == nullptr) {
            break;
        }
    }
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(hPanel, nullptr), &info);
    char szState[16] = {};
    std::snprintf(szState, sizeof szState, "%lx",
                  static_cast<unsigned long>(::SendMessageA(hAt, BM_GETSTATE, 0, 0)));
    return "at=" + strAt + " panel=" + (::IsWindowEnabled(hPanel) ? "1" : "0") +
           " active=" + WindowName(info.hwndActive) + " focus=" + WindowName(info.hwndFocus) +
           " capture=" + WindowName(info.hwndCapture) +
           " menu=" + ((info.flags & (GUI_INMENUMODE | GUI_INMOVESIZE)) != 0 ? "1" : "0") +
           " button=" + szState;
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
    const int nLeft = NotificationAreaLeft(hTaskbar) + 2;
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

// ---- the Setup Hot Keys dialog, message boxes and notepad ----

HWND SetupDialog() {
    return ::FindWindowA(nullptr, kSetupTitle);
}

HWND SetupControl(int nId) {
    HWND hDialog = SetupDialog();
    return hDialog != nullptr ? ::GetDlgItem(hDialog, nId) : nullptr;
}

bool IsButton(HWND hWnd) {
    char sz[32] = {};
    ::GetClassNameA(hWnd, sz, sizeof sz);
    return _stricmp(sz, "Button") == 0;
}

std::string SetupLine() {
    HWND hDialog = SetupDialog();
    RECT rc = {};
    if (hDialog == nullptr || !::GetWindowRect(hDialog, &rc)) {
        return "none";
    }
    return Hex(reinterpret_cast<ULONG_PTR>(hDialog)) + ' ' +
           (::IsWindowVisible(hDialog) ? "1 " : "0 ") + Rect(rc);
}

std::string SetupControlLine(int nId) {
    HWND hCtl = SetupControl(nId);
    RECT rc = {};
    if (hCtl == nullptr || !::GetWindowRect(hCtl, &rc)) {
        return "none";
    }
    const LRESULT nCheck = IsButton(hCtl) ? ::SendMessageA(hCtl, BM_GETCHECK, 0, 0) : -1;
    char sz[256] = {};
    ::GetWindowTextA(hCtl, sz, sizeof sz);
    return std::string(::IsWindowVisible(hCtl) ? "1 " : "0 ") +
           (::IsWindowEnabled(hCtl) ? "1 " : "0 ") + std::to_string(nCheck) + ' ' + Rect(rc) + ' ' +
           sz;
}

// One snapshot of many controls, so that "all at once" is one look.
std::string SetupEnabledLine(std::istringstream& in) {
    std::string strOut;
    int nId = 0;
    while (in >> nId) {
        HWND hCtl = SetupControl(nId);
        strOut += hCtl == nullptr ? '-' : ::IsWindowEnabled(hCtl) ? '1' : '0';
    }
    return strOut;
}

// Another process's list texts come back as the control keeps them, in
// UTF-16, whichever character set the request was made in.
std::string ComboItem(HWND hCombo, LRESULT nItem) {
    const LRESULT nLength = ::SendMessageW(hCombo, CB_GETLBTEXTLEN, static_cast<WPARAM>(nItem), 0);
    if (nItem < 0 || nLength <= 0) {
        return "-";
    }
    std::wstring strWide(static_cast<std::size_t>(nLength) + 1, L'\0');
    ::SendMessageW(hCombo, CB_GETLBTEXT, static_cast<WPARAM>(nItem),
                   reinterpret_cast<LPARAM>(strWide.data()));
    char sz[256] = {};
    ::WideCharToMultiByte(CP_ACP, 0, strWide.c_str(), -1, sz, sizeof sz, nullptr, nullptr);
    return sz;
}

std::string ComboLine(int nId) {
    HWND hCombo = SetupControl(nId);
    if (hCombo == nullptr) {
        return "none";
    }
    const LRESULT nCount = ::SendMessageA(hCombo, CB_GETCOUNT, 0, 0);
    const LRESULT nSel = ::SendMessageA(hCombo, CB_GETCURSEL, 0, 0);
    std::ostringstream out;
    out << nCount << ' ' << nSel << ' ' << ::SendMessageA(hCombo, CB_GETDROPPEDSTATE, 0, 0) << ' '
        << ::SendMessageA(hCombo, CB_GETDROPPEDWIDTH, 0, 0) << ' ' << ComboItem(hCombo, 0) << ' '
        << ComboItem(hCombo, nCount - 1) << ' ' << ComboItem(hCombo, nSel);
    return out.str();
}

// The list a drop-down combo box shows is a top-level window of its own; the
// combo box's process has at most one on screen.
struct ListSearch {
    DWORD dwProcess;
    HWND hList;
};

BOOL CALLBACK FindDropList(HWND hWnd, LPARAM lParam) {
    auto* search = reinterpret_cast<ListSearch*>(lParam);
    char sz[16] = {};
    DWORD dwProcess = 0;
    ::GetWindowThreadProcessId(hWnd, &dwProcess);
    ::GetClassNameA(hWnd, sz, sizeof sz);
    if (dwProcess == search->dwProcess && _stricmp(sz, "ComboLBox") == 0 &&
        ::IsWindowVisible(hWnd)) {
        search->hList = hWnd;
        return FALSE;
    }
    return TRUE;
}

// The combo box's list while it is dropped, else null.
HWND DropList(int nId) {
    HWND hCombo = SetupControl(nId);
    if (hCombo == nullptr || !::SendMessageA(hCombo, CB_GETDROPPEDSTATE, 0, 0)) {
        return nullptr;
    }
    ListSearch search = {0, nullptr};
    ::GetWindowThreadProcessId(hCombo, &search.dwProcess);
    ::EnumWindows(FindDropList, reinterpret_cast<LPARAM>(&search));
    return search.hList;
}

std::string DropListLine(int nId) {
    HWND hList = DropList(nId);
    RECT rc = {}, rcClient = {};
    if (hList == nullptr || !::GetWindowRect(hList, &rc) || !::GetClientRect(hList, &rcClient)) {
        return "0";
    }
    std::ostringstream out;
    out << "1 " << Rect(rc) << ' ' << rcClient.right << ' '
        << ::SendMessageA(hList, LB_GETTOPINDEX, 0, 0) << ' '
        << ::SendMessageA(hList, LB_GETCURSEL, 0, 0);
    return out.str();
}

std::string ListItemLine(int nId, int nItem) {
    HWND hList = DropList(nId);
    RECT rc = {};
    if (hList == nullptr || ::SendMessageA(hList, LB_GETITEMRECT, static_cast<WPARAM>(nItem),
                                           reinterpret_cast<LPARAM>(&rc)) == LB_ERR) {
        return "none";
    }
    ::MapWindowPoints(hList, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    return Rect(rc);
}

std::string ExtentLine(int nId, const std::string& strText) {
    HWND hCtl = SetupControl(nId);
    if (hCtl == nullptr) {
        return "none";
    }
    HDC hdc = ::GetDC(hCtl);
    HGDIOBJ hOld =
        ::SelectObject(hdc, reinterpret_cast<HFONT>(::SendMessageA(hCtl, WM_GETFONT, 0, 0)));
    SIZE extent = {};
    ::GetTextExtentPoint32A(hdc, strText.c_str(), static_cast<int>(strText.size()), &extent);
    ::SelectObject(hdc, hOld);
    ::ReleaseDC(hCtl, hdc);
    return std::to_string(extent.cx);
}

// A message box: a visible dialog captioned with the program's name that has
// an OK button and a static text.
BOOL CALLBACK FindMessageBox(HWND hWnd, LPARAM lParam) {
    char szClass[16] = {}, szCaption[64] = {};
    ::GetClassNameA(hWnd, szClass, sizeof szClass);
    ::GetWindowTextA(hWnd, szCaption, sizeof szCaption);
    if (::IsWindowVisible(hWnd) && std::strcmp(szClass, "#32770") == 0 &&
        std::strcmp(szCaption, kAppName) == 0 && ::GetDlgItem(hWnd, IDOK) != nullptr) {
        *reinterpret_cast<HWND*>(lParam) = hWnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindStaticText(HWND hWnd, LPARAM lParam) {
    char szClass[16] = {}, szText[256] = {};
    ::GetClassNameA(hWnd, szClass, sizeof szClass);
    if (_stricmp(szClass, "Static") == 0 && ::GetWindowTextA(hWnd, szText, sizeof szText) > 0) {
        *reinterpret_cast<std::string*>(lParam) = szText;
        return FALSE;
    }
    return TRUE;
}

std::string MessageBoxLine() {
    HWND hBox = nullptr;
    ::EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&hBox));
    RECT rc = {};
    if (hBox == nullptr || !::GetWindowRect(::GetDlgItem(hBox, IDOK), &rc)) {
        return "none";
    }
    std::string strText;
    ::EnumChildWindows(hBox, FindStaticText, reinterpret_cast<LPARAM>(&strText));
    return Rect(rc) + '\t' + kAppName + '\t' + strText;
}

// ---- any section of the program's settings ----

std::string SectionKey(const std::string& strSection) {
    return std::string(kSettingsKey) + '\\' + strSection;
}

std::string ValueText(DWORD dwType, const std::vector<BYTE>& data) {
    if (dwType == REG_DWORD && data.size() == sizeof(DWORD)) {
        DWORD dw = 0;
        std::memcpy(&dw, data.data(), sizeof dw);
        return "dword " + std::to_string(dw);
    }
    if (dwType == REG_SZ) {
        std::string strText(data.begin(), data.end());
        strText.resize(std::strlen(strText.c_str()));
        return "sz " + strText;
    }
    return "type" + std::to_string(dwType);
}

std::string RegGet(const std::string& strSection, const std::string& strName) {
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, SectionKey(strSection).c_str(), 0, KEY_READ, &hKey) !=
        ERROR_SUCCESS) {
        return "missing";
    }
    DWORD dwType = 0, cb = 0;
    std::vector<BYTE> data;
    LONG nResult = ::RegQueryValueExA(hKey, strName.c_str(), nullptr, &dwType, nullptr, &cb);
    if (nResult == ERROR_SUCCESS) {
        data.resize(cb);
        nResult = ::RegQueryValueExA(hKey, strName.c_str(), nullptr, &dwType, data.data(), &cb);
        data.resize(cb);
    }
    ::RegCloseKey(hKey);
    return nResult == ERROR_SUCCESS ? ValueText(dwType, data) : "missing";
}

std::string RegSet(const std::string& strSection, const std::string& strName,
                   const std::string& strType, const std::string& strValue) {
    HKEY hKey = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, SectionKey(strSection).c_str(), 0, nullptr, 0,
                          KEY_WRITE, nullptr, &hKey, nullptr) != ERROR_SUCCESS) {
        return "error the key could not be made";
    }
    LONG nResult = ERROR_INVALID_PARAMETER;
    if (strType == "dword") {
        const DWORD dw = static_cast<DWORD>(std::strtoul(strValue.c_str(), nullptr, 10));
        nResult = ::RegSetValueExA(hKey, strName.c_str(), 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&dw), sizeof dw);
    } else if (strType == "sz") {
        nResult = ::RegSetValueExA(hKey, strName.c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(strValue.c_str()),
                                   static_cast<DWORD>(strValue.size() + 1));
    }
    ::RegCloseKey(hKey);
    return nResult == ERROR_SUCCESS ? "ok" : "error " + std::to_string(nResult);
}

std::string RegDump(const std::string& strSection) {
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, SectionKey(strSection).c_str(), 0, KEY_READ, &hKey) !=
        ERROR_SUCCESS) {
        return "missing";
    }
    std::vector<std::string> values;
    for (DWORD i = 0;; ++i) {
        char szName[256] = {};
        DWORD cchName = sizeof szName, dwType = 0;
        std::vector<BYTE> data(1024);
        DWORD cb = static_cast<DWORD>(data.size());
        const LONG nResult =
            ::RegEnumValueA(hKey, i, szName, &cchName, nullptr, &dwType, data.data(), &cb);
        if (nResult == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (nResult != ERROR_SUCCESS) {
            ::RegCloseKey(hKey);
            return "error " + std::to_string(nResult);
        }
        data.resize(cb);
        values.push_back(std::string(szName) + '=' + ValueText(dwType, data));
    }
    ::RegCloseKey(hKey);
    std::sort(values.begin(), values.end());
    std::string strOut;
    for (const std::string& value : values) {
        strOut += (strOut.empty() ? "" : "\t") + value;
    }
    return strOut;
}

// GetWindowText gives another process's control only the text it was made
// with; what the user typed is asked for.
std::string NotepadText() {
    HWND hNotepad = ::FindWindowA("Notepad", nullptr);
    HWND hEdit =
        hNotepad != nullptr ? ::FindWindowExA(hNotepad, nullptr, "Edit", nullptr) : nullptr;
    wchar_t szText[1024] = {};
    DWORD_PTR nResult = 0;
    if (hEdit == nullptr ||
        !::SendMessageTimeoutW(hEdit, WM_GETTEXT, sizeof szText / sizeof szText[0],
                               reinterpret_cast<LPARAM>(szText), SMTO_ABORTIFHUNG, 5000,
                               &nResult)) {
        return "none";
    }
    char sz[1024] = {};
    ::WideCharToMultiByte(CP_ACP, 0, szText, -1, sz, sizeof sz, nullptr, nullptr);
    return sz;
}

std::string NotepadRect() {
    HWND hNotepad = ::FindWindowA("Notepad", nullptr);
    RECT rc = {};
    return hNotepad != nullptr && ::IsWindowVisible(hNotepad) && ::GetWindowRect(hNotepad, &rc)
               ? Rect(rc)
               : "none";
}

std::string WorkAreaLine() {
    RECT rc = {};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &rc, 0);
    return Rect(rc);
}

std::string Dismiss() {
    HWND hBox = nullptr;
    ::EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&hBox));
    if (hBox != nullptr) {
        ::PostMessageA(hBox, WM_COMMAND, IDOK, 0);
    }
    if (SetupDialog() != nullptr) {
        ::PostMessageA(SetupDialog(), WM_COMMAND, IDCANCEL, 0);
    }
    return "ok";
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

// ---- the fault rows: counters of the program, raw registry values, the guard's names ----

std::string CountersLine() {
    HWND hPanel = Panel();
    DWORD dwProcess = 0;
    if (hPanel == nullptr || ::GetWindowThreadProcessId(hPanel, &dwProcess) == 0) {
        return "none";
    }
    HANDLE hProcess = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, dwProcess);
    if (hProcess == nullptr) {
        return "none";
    }
    DWORD dwHandles = 0;
    ::GetProcessHandleCount(hProcess, &dwHandles);
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    ::GetProcessMemoryInfo(hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                           sizeof memory);
    FILETIME created = {}, exited = {}, kernel = {}, user = {};
    ::GetProcessTimes(hProcess, &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& ft) {
        return ((static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) /
               10000;
    };
    // Wine answers these only for the calling process; the system's process
    // list has the handle count and the private bytes of every process.
    SIZE_T nPrivate = memory.PrivateUsage;
    if (dwHandles == 0 || nPrivate == 0) {
        ULONG cb = 1 << 20;
        std::vector<BYTE> list(cb);
        if (::NtQuerySystemInformation(SystemProcessInformation, list.data(), cb, &cb) == 0) {
            for (std::size_t at = 0;;) {
                const auto* pInfo =
                    reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(list.data() + at);
                if (reinterpret_cast<ULONG_PTR>(pInfo->UniqueProcessId) == dwProcess) {
                    dwHandles = dwHandles != 0 ? dwHandles : pInfo->HandleCount;
                    nPrivate = nPrivate != 0 ? nPrivate : pInfo->PrivatePageCount;
                    break;
                }
                if (pInfo->NextEntryOffset == 0) {
                    break;
                }
                at += pInfo->NextEntryOffset;
            }
        }
    }
    std::ostringstream out;
    out << dwProcess << ' ' << dwHandles << ' ' << ::GetGuiResources(hProcess, GR_GDIOBJECTS) << ' '
        << ::GetGuiResources(hProcess, GR_USEROBJECTS) << ' ' << nPrivate / 1024 << ' '
        << ms(kernel) + ms(user);
    ::CloseHandle(hProcess);
    return out.str();
}

std::string RawValueKey(const std::string& strSection) {
    return std::string(kSettingsKey) + '\\' + strSection;
}

std::string RegRawGet(const std::string& strSection, const std::string& strName) {
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, RawValueKey(strSection).c_str(), 0, KEY_READ, &hKey) !=
        ERROR_SUCCESS) {
        return "missing";
    }
    DWORD dwType = 0, cb = 0;
    LONG nResult = ::RegQueryValueExA(hKey, strName.c_str(), nullptr, &dwType, nullptr, &cb);
    std::vector<BYTE> data(cb + 1);
    if (nResult == ERROR_SUCCESS) {
        nResult = ::RegQueryValueExA(hKey, strName.c_str(), nullptr, &dwType, data.data(), &cb);
    }
    ::RegCloseKey(hKey);
    if (nResult != ERROR_SUCCESS) {
        return "missing";
    }
    std::string strOut = std::to_string(dwType) + ' ' + std::to_string(cb) + ' ';
    for (DWORD i = 0; i < cb; ++i) {
        char sz[3];
        std::snprintf(sz, sizeof sz, "%02x", data[i]);
        strOut += sz;
    }
    return strOut;
}

std::string RegRawSet(const std::string& strSection, const std::string& strName, DWORD dwType,
                      const std::string& strHex) {
    std::vector<BYTE> data;
    for (std::size_t i = 0; i + 1 < strHex.size(); i += 2) {
        data.push_back(static_cast<BYTE>(std::strtoul(strHex.substr(i, 2).c_str(), nullptr, 16)));
    }
    HKEY hKey = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, RawValueKey(strSection).c_str(), 0, nullptr, 0,
                          KEY_WRITE, nullptr, &hKey, nullptr) != ERROR_SUCCESS) {
        return "error the key could not be made";
    }
    const LONG nResult = ::RegSetValueExA(hKey, strName.c_str(), 0, dwType, data.data(),
                                          static_cast<DWORD>(data.size()));
    ::RegCloseKey(hKey);
    return nResult == ERROR_SUCCESS ? "ok" : "error " + std::to_string(nResult);
}

std::string RegDelete(const std::string& strSection, const std::string& strName) {
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, RawValueKey(strSection).c_str(), 0, KEY_SET_VALUE,
                        &hKey) != ERROR_SUCCESS) {
        return "ok";
    }
    ::RegDeleteValueA(hKey, strName.c_str());
    ::RegCloseKey(hKey);
    return "ok";
}

// Objects held under the guard's names until "unsquat".
std::vector<HANDLE> g_squatted;

std::string Squat(const std::string& strKind, const std::string& strValue) {
    if (strKind == "event") {
        HANDLE h = ::CreateEventA(nullptr, TRUE, FALSE, "Tavrel Remote App");
        if (h == nullptr) {
            return "error " + std::to_string(::GetLastError());
        }
        g_squatted.push_back(h);
        return "ok";
    }
    if (strKind != "block") {
        return "error squat event|block";
    }
    DWORD dwValue = static_cast<DWORD>(std::strtoul(strValue.c_str(), nullptr, 16));
    if (strValue == "notepad") {
        dwValue =
            static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(::FindWindowA("Notepad", nullptr)));
    }
    HANDLE h = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4,
                                    "CInstanceChecker_MMF_Tavrel Remote App");
    if (h == nullptr) {
        return "error " + std::to_string(::GetLastError());
    }
    void* pView = ::MapViewOfFile(h, FILE_MAP_WRITE, 0, 0, 4);
    if (pView != nullptr) {
        std::memcpy(pView, &dwValue, sizeof dwValue);
        ::UnmapViewOfFile(pView);
    }
    g_squatted.push_back(h);
    return "ok";
}

std::string Unsquat() {
    for (HANDLE h : g_squatted) {
        ::CloseHandle(h);
    }
    g_squatted.clear();
    return "ok";
}

std::string WindowLine(const std::string& strClass, bool bMinimise) {
    HWND hWnd = ::FindWindowA(strClass.c_str(), nullptr);
    if (hWnd == nullptr) {
        return "none";
    }
    if (bMinimise) {
        ::ShowWindow(hWnd, SW_MINIMIZE);
    }
    return Hex(reinterpret_cast<ULONG_PTR>(hWnd)) + ' ' + (::IsWindowVisible(hWnd) ? "1 " : "0 ") +
           (::IsIconic(hWnd) ? "1" : "0");
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
    if (strVerb == "input" && !strArg.empty()) {
        int y = 0;
        in >> y;
        return InputLine(std::atoi(strArg.c_str()), y);
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
    if (strVerb == "setup") {
        return SetupLine();
    }
    if (strVerb == "sctl" && !strArg.empty()) {
        return SetupControlLine(std::atoi(strArg.c_str()));
    }
    if (strVerb == "senabled") {
        std::istringstream ids(strLine.substr(strVerb.size()));
        return SetupEnabledLine(ids);
    }
    if (strVerb == "combo" && !strArg.empty()) {
        return ComboLine(std::atoi(strArg.c_str()));
    }
    if (strVerb == "droplist" && !strArg.empty()) {
        return DropListLine(std::atoi(strArg.c_str()));
    }
    if (strVerb == "listitem" && !strArg.empty()) {
        int nItem = -1;
        in >> nItem;
        return ListItemLine(std::atoi(strArg.c_str()), nItem);
    }
    if (strVerb == "extent" && !strArg.empty()) {
        std::string strText;
        in >> strText;
        return ExtentLine(std::atoi(strArg.c_str()), strText);
    }
    if (strVerb == "msgbox") {
        return MessageBoxLine();
    }
    if (strVerb == "regget" && !strArg.empty()) {
        std::string strName;
        in >> strName;
        return RegGet(strArg, strName);
    }
    if (strVerb == "regset" && !strArg.empty()) {
        std::string strName, strType, strValue;
        in >> strName >> strType;
        std::getline(in >> std::ws, strValue);
        return RegSet(strArg, strName, strType, strValue);
    }
    if (strVerb == "regdump" && !strArg.empty()) {
        return RegDump(strArg);
    }
    if (strVerb == "notepad") {
        return NotepadText();
    }
    if (strVerb == "notepadrect") {
        return NotepadRect();
    }
    if (strVerb == "workarea") {
        return WorkAreaLine();
    }
    if (strVerb == "dismiss") {
        return Dismiss();
    }
    if (strVerb == "counters") {
        return CountersLine();
    }
    if (strVerb == "regraw" && !strArg.empty()) {
        std::string strName, strType, strHex;
        in >> strName >> strType >> strHex;
        return strType.empty()
                   ? RegRawGet(strArg, strName)
                   : RegRawSet(strArg, strName,
                               static_cast<DWORD>(std::strtoul(strType.c_str(), nullptr, 10)),
                               strHex);
    }
    if (strVerb == "regdel" && !strArg.empty()) {
        std::string strName;
        in >> strName;
        return RegDelete(strArg, strName);
    }
    if (strVerb == "squat" && !strArg.empty()) {
        std::string strValue;
        in >> strValue;
        return Squat(strArg, strValue);
    }
    if (strVerb == "unsquat") {
        return Unsquat();
    }
    if ((strVerb == "window" || strVerb == "minwindow") && !strArg.empty()) {
        return WindowLine(strArg, strVerb == "minwindow");
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
