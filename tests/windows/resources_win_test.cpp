// TavrelRemote.exe's resources as Windows reads them: every dialog template
// control by control, the menus, the About string, the icon's images, the
// panel's background bitmap, and the font faces the windows ask for.
//
// The expected values are written as the numbers the rest of the program and
// its users rely on (ids, dialog units, texts), not through resource.h, so a
// wrong number in the header fails here too.
#include "resource.h"  // first: it must need no Windows header

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

static_assert((IDM_ABOUTBOX & 0xFFF0) == IDM_ABOUTBOX && IDM_ABOUTBOX < 0xF000,
              "a system-menu command needs its low four bits clear and must stay below SC_SIZE");

struct Bytes {
    const BYTE* p = nullptr;
    DWORD n = 0;
};

Bytes Resource(int nId, LPCSTR pszType) {
    HMODULE hModule = GetModuleHandleA(nullptr);
    HRSRC hInfo = FindResourceA(hModule, MAKEINTRESOURCEA(nId), pszType);
    HGLOBAL hData = hInfo ? LoadResource(hModule, hInfo) : nullptr;
    if (!hData) {
        return {};
    }
    return {static_cast<const BYTE*>(LockResource(hData)), SizeofResource(hModule, hInfo)};
}

template <typename T>
T Get(const Bytes& b, std::size_t nOffset) {
    T v{};
    if (nOffset + sizeof(T) <= b.n) {
        std::memcpy(&v, b.p + nOffset, sizeof(T));
    }
    return v;
}

// ---- Dialog templates ----

struct Control {
    int nId;
    std::string strClass;  // lower case
    std::string strText;   // "#N" for an ordinal (an icon's resource id)
    int x, y, cx, cy;
    DWORD dwStyle;
    DWORD dwExStyle;
};

struct Dialog {
    int nId = 0;
    DWORD dwStyle = 0;
    DWORD dwExStyle = 0;
    std::string strCaption, strMenu, strFace;
    int nPoints = 0, cx = 0, cy = 0;
    std::vector<Control> controls;
};

std::string Describe(const Control& c) {
    char sz[256];
    std::snprintf(sz, sizeof sz, "id %d %s \"%s\" at %d,%d size %d,%d style 0x%08lx ex 0x%lx",
                  c.nId, c.strClass.c_str(), c.strText.c_str(), c.x, c.y, c.cx, c.cy,
                  static_cast<unsigned long>(c.dwStyle), static_cast<unsigned long>(c.dwExStyle));
    return sz;
}

std::string Describe(const Dialog& d) {
    char sz[256];
    std::snprintf(sz, sizeof sz,
                  "\"%s\" menu '%s' font %d \"%s\" size %d,%d style 0x%08lx ex 0x%lx",
                  d.strCaption.c_str(), d.strMenu.c_str(), d.nPoints, d.strFace.c_str(), d.cx, d.cy,
                  static_cast<unsigned long>(d.dwStyle), static_cast<unsigned long>(d.dwExStyle));
    return sz;
}

std::string Lower(std::string s) {
    for (char& ch : s) {
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    }
    return s;
}

// Reads a DLGTEMPLATEEX; any read past the end clears m_bOk.
class TemplateReader {
  public:
    explicit TemplateReader(Bytes b) : m_b(b) {}
    bool Ok() const { return m_bOk; }

    WORD Word() { return Next<WORD>(); }
    DWORD Dword() { return Next<DWORD>(); }
    int Short() { return static_cast<short>(Word()); }
    void Align() { m_nPos = (m_nPos + 3) & ~std::size_t{3}; }
    void Skip(std::size_t n) { m_nPos += n; }

    // A name or an ordinal (written "#N"); predefined window classes by name.
    std::string Name(bool bClass = false) {
        const WORD w = Word();
        if (w == 0xFFFF) {
            const WORD nOrdinal = Word();
            static const char* const kClasses[] = {"button",  "edit",      "static",
                                                   "listbox", "scrollbar", "combobox"};
            if (bClass && nOrdinal >= 0x80 && nOrdinal <= 0x85) {
                return kClasses[nOrdinal - 0x80];
            }
            return "#" + std::to_string(nOrdinal);
        }
        std::string s;
        for (WORD ch = w; ch != 0 && m_bOk; ch = Word()) {
            s.push_back(ch < 0x80 ? static_cast<char>(ch) : '?');
        }
        return bClass ? Lower(s) : s;
    }

  private:
    template <typename T>
    T Next() {
        if (m_nPos + sizeof(T) > m_b.n) {
            m_bOk = false;
            return T{};
        }
        const T v = Get<T>(m_b, m_nPos);
        m_nPos += sizeof(T);
        return v;
    }

    Bytes m_b;
    std::size_t m_nPos = 0;
    bool m_bOk = true;
};

bool ParseTemplate(int nId, Dialog& d, std::string& strError) {
    const Bytes b = Resource(nId, RT_DIALOG);
    if (!b.p) {
        strError = "no dialog resource";
        return false;
    }
    TemplateReader r(b);
    if (r.Word() != 1 || r.Word() != 0xFFFF) {
        strError = "not an extended dialog template";
        return false;
    }
    d.nId = nId;
    r.Dword();  // help id
    d.dwExStyle = r.Dword();
    d.dwStyle = r.Dword();
    const int nItems = r.Word();
    r.Short();  // x and y: the program places its windows itself
    r.Short();
    d.cx = r.Short();
    d.cy = r.Short();
    d.strMenu = r.Name();
    if (!r.Name(true).empty()) {
        strError = "a dialog with a window class of its own";
        return false;
    }
    d.strCaption = r.Name();
    if (d.dwStyle & DS_SETFONT) {
        d.nPoints = r.Word();
        if (r.Word() != 0 || r.Word() != (DEFAULT_CHARSET << 8)) {  // weight; italic, charset
            strError = "the dialog font is not of normal weight and default character set";
            return false;
        }
        d.strFace = r.Name();
    }
    for (int i = 0; i < nItems && r.Ok(); i++) {
        r.Align();
        Control c{};
        r.Dword();  // help id
        c.dwExStyle = r.Dword();
        c.dwStyle = r.Dword();
        c.x = r.Short();
        c.y = r.Short();
        c.cx = r.Short();
        c.cy = r.Short();
        c.nId = static_cast<short>(LOWORD(r.Dword()));
        c.strClass = r.Name(true);
        c.strText = r.Name();
        r.Skip(r.Word());  // creation data
        d.controls.push_back(c);
    }
    if (!r.Ok()) {
        strError = "the template ends early";
    }
    return r.Ok();
}

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kCentred = kChild | SS_CENTER | SS_CENTERIMAGE;
constexpr DWORD kPush = kChild | BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kDefPush = kChild | BS_DEFPUSHBUTTON | WS_TABSTOP;
constexpr DWORD kCheck = kChild | BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD kGroup = kChild | BS_GROUPBOX;
constexpr DWORD kKeyList = kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
constexpr int kAny = -32768;  // a position the layout leaves free

Dialog AboutBox() {
    Dialog d;
    d.nId = 100;
    d.dwStyle = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    d.strCaption = "About";
    d.strFace = "MS Shell Dlg";
    d.nPoints = 8;
    d.cx = 235;
    d.cy = 55;
    d.controls = {
        {-1, "static", "#128", kAny, kAny, kAny, kAny, kChild | SS_ICON, 0},
        {-1, "static", "Tavrel Plus Remote Version 1.10", kAny, kAny, kAny, kAny,
         kChild | SS_LEFT | SS_NOPREFIX, 0},
        {IDOK, "button", "OK", kAny, kAny, kAny, kAny, kDefPush, 0},
    };
    return d;
}

Dialog RemotePanel() {
    Dialog d;
    d.nId = 102;
    d.dwStyle = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU |
                WS_MINIMIZEBOX;
    d.strCaption = "Quorvane - Tavrel Plus Remote";
    d.strMenu = "#131";
    d.strFace = "Microsoft Sans Serif";
    d.nPoints = 8;
    d.cx = 384;
    d.cy = 206;
    d.controls = {
        {1006, "static", "WIDTH", 231, 6, 132, 24, kCentred, 0},
        {1005, "static", "POSITION", 21, 6, 132, 24, kCentred, WS_EX_TRANSPARENT},
        {1007, "static", "", 150, 192, 84, 14, kCentred | SS_SUNKEN, 0},
        {1009, "static", "Connection Status", 144, 174, 96, 18, kCentred, WS_EX_TRANSPARENT},
        {1008, "static", "width", 243, 60, 120, 8, kCentred, 0},
        {1004, "scrollbar", "", 231, 30, 132, 30, kChild | SBS_HORZ, 0},
        {1011, "static", "position", 21, 60, 120, 8, kCentred, 0},
        {1012, "static", "window", 30, 126, 72, 8, kCentred, 0},
        {1013, "static", "lines", 150, 162, 72, 8, kCentred, 0},
        {1014, "static", "options", 270, 128, 72, 8, kCentred, 0},
        {1003, "scrollbar", "", 21, 30, 132, 30, kChild | SBS_HORZ, 0},
        {1000, "button", "WINDOW", 30, 82, 84, 42, kPush, 0},
        {1001, "button", "LINES", 150, 120, 84, 42, kPush, 0},
        {1002, "button", "OPTIONS", 270, 84, 84, 42, kPush, 0},
        {1010, "static", "Debug Info", 0, 192, 144, 12, WS_CHILD | SS_LEFT | SS_CENTERIMAGE,
         WS_EX_TRANSPARENT},
    };
    return d;
}

// One hot-key row: Ctrl, Alt, Shift and Win check boxes and the key list,
// with a text label in the slider groups.
struct Row {
    int y;
    int nLabel;
    const char* pszLabel;
    int ids[5];
};

struct Group {
    int nId;
    const char* pszCaption;
    int x, y, cx, cy;
    std::vector<Row> rows;
};

Dialog SetupHotKeys() {
    Dialog d;
    d.nId = 135;
    d.dwStyle = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    d.strCaption = "Setup Hot Keys";
    d.strFace = "Microsoft Sans Serif";
    d.nPoints = 8;
    d.cx = 404;
    d.cy = 161;
    const Group kGroups[] = {
        {1016, "Popup Window", 6, 18, 174, 30, {{30, 0, "", {1009, 1010, 1011, 1012, 1014}}}},
        {1018, "Window Button", 6, 54, 174, 30, {{66, 0, "", {1013, 1017, 1019, 1020, 1021}}}},
        {1023, "Lines Button", 6, 90, 174, 30, {{102, 0, "", {1024, 1025, 1026, 1027, 1028}}}},
        {1030, "Options Button", 6, 126, 174, 30, {{138, 0, "", {1031, 1032, 1033, 1034, 1035}}}},
        {1037,
         "Position Slider",
         186,
         18,
         210,
         48,
         {{30, 1029, "Decrease", {1038, 1039, 1040, 1041, 1042}},
          {48, 1036, "Increase", {1044, 1045, 1046, 1047, 1048}}}},
        {1049,
         "Width Slider",
         186,
         72,
         210,
         48,
         {{84, 1043, "Decrease", {1050, 1051, 1052, 1053, 1054}},
          {102, 1055, "Increase", {1056, 1057, 1058, 1059, 1060}}}},
    };
    const char* const kModifiers[] = {"Ctrl", "Alt", "Shift", "Win"};
    const int kWidths[] = {27, 25, 31, 29};
    const int kLeftX[] = {12, 42, 72, 108, 138};
    const int kRightX[] = {228, 258, 288, 324, 354};

    d.controls = {{1, "button", "OK", 288, 144, 50, 14, kDefPush, 0},
                  {2, "button", "Cancel", 342, 144, 50, 14, kPush, 0}};
    for (const Group& g : kGroups) {
        d.controls.push_back({g.nId, "button", g.pszCaption, g.x, g.y, g.cx, g.cy, kGroup, 0});
        for (const Row& row : g.rows) {
            const int* xs = row.nLabel ? kRightX : kLeftX;
            for (int i = 0; i < 4; i++) {
                d.controls.push_back(
                    {row.ids[i], "button", kModifiers[i], xs[i], row.y, kWidths[i], 10, kCheck, 0});
            }
            d.controls.push_back({row.ids[4], "combobox", "", xs[4], row.y, 36, 96, kKeyList, 0});
        }
        for (const Row& row : g.rows) {
            if (row.nLabel) {
                d.controls.push_back(
                    {row.nLabel, "static", row.pszLabel, 189, row.y, 36, 8, kChild | SS_LEFT, 0});
            }
        }
    }
    d.controls.push_back({1008, "button", "ENABLE HOT KEYS" + std::string(27, ' '), 6, 0, 138, 20,
                          kCheck, WS_EX_TRANSPARENT});
    d.controls.push_back({1022, "button", "", 0, 6, 396, 138, WS_CHILD | BS_GROUPBOX, 0});
    return d;
}

Dialog PopupWarning() {
    Dialog d;
    d.nId = 140;
    d.dwStyle = DS_SETFONT | DS_CENTER | WS_POPUP | WS_DLGFRAME;
    d.dwExStyle = WS_EX_TOPMOST;
    d.strFace = "MS Shell Dlg";
    d.nPoints = 8;
    d.cx = 251;
    d.cy = 54;
    d.controls = {
        {1023, "static", "Tavrel Plus Not Detected", 6, 6, 240, 42, kCentred | SS_SUNKEN, 0}};
    return d;
}

std::vector<Dialog> ExpectedDialogs() {
    return {AboutBox(), RemotePanel(), SetupHotKeys(), PopupWarning()};
}

TEST(DialogTemplates, MatchTheLayoutControlByControlInTabOrder) {
    for (const Dialog& want : ExpectedDialogs()) {
        SCOPED_TRACE("dialog " + std::to_string(want.nId));
        Dialog got;
        std::string strError;
        ASSERT_TRUE(ParseTemplate(want.nId, got, strError)) << strError;
        EXPECT_EQ(Describe(got), Describe(want));
        ASSERT_EQ(got.controls.size(), want.controls.size());
        std::vector<int> ids;
        for (std::size_t i = 0; i < want.controls.size(); i++) {
            Control expected = want.controls[i];
            const Control& c = got.controls[i];
            if (expected.x == kAny) {  // free placement, but inside the dialog
                expected.x = c.x, expected.y = c.y, expected.cx = c.cx, expected.cy = c.cy;
                EXPECT_TRUE(c.x >= 0 && c.y >= 0 && c.x + c.cx <= want.cx && c.y + c.cy <= want.cy)
                    << Describe(c);
            }
            EXPECT_EQ(Describe(c), Describe(expected)) << "control " << i;
            if (c.nId != -1) {
                EXPECT_EQ(std::count(ids.begin(), ids.end(), c.nId), 0)
                    << "id " << c.nId << " twice";
                ids.push_back(c.nId);
            }
        }
    }
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT nMsg, WPARAM, LPARAM) {
    return nMsg == WM_INITDIALOG;
}

// Whether a face asked for by name was drawn in that face: Wine reports a
// substituted face under the name asked for, Windows under its substitute.
bool ResolvesTo(const std::string& strAsked, const std::string& strFace) {
    return strFace == strAsked || (strAsked == "MS Shell Dlg" && strFace == "Microsoft Sans Serif");
}

// The face a font gets on the screen.
std::string ResolvedFace(HFONT hFont, TEXTMETRICA* pMetrics = nullptr) {
    HDC hdc = GetDC(nullptr);
    HGDIOBJ hOld = SelectObject(hdc, hFont);
    char szFace[LF_FACESIZE] = {};
    GetTextFaceA(hdc, sizeof szFace, szFace);
    if (pMetrics) {
        GetTextMetricsA(hdc, pMetrics);
    }
    SelectObject(hdc, hOld);
    ReleaseDC(nullptr, hdc);
    return szFace;
}

// The dialog manager builds every dialog: the controls in template order with
// their ids and classes, the panel's menu, the font by its own name, and the
// fixed texts fit their labels in that font.
TEST(DialogTemplates, CreateTheirWindowsWithTheirFontAndMenu) {
    for (const Dialog& want : ExpectedDialogs()) {
        SCOPED_TRACE("dialog " + std::to_string(want.nId));
        HWND hDlg = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(want.nId),
                                       nullptr, QuietDialogProc, 0);
        ASSERT_NE(hDlg, nullptr) << "error " << GetLastError();
        EXPECT_EQ(GetMenu(hDlg) != nullptr, !want.strMenu.empty());

        HFONT hFont = reinterpret_cast<HFONT>(SendMessageA(hDlg, WM_GETFONT, 0, 0));
        LOGFONTA lf{};
        ASSERT_TRUE(hFont && GetObjectA(hFont, sizeof lf, &lf));
        EXPECT_EQ(std::string(lf.lfFaceName), want.strFace);
        const std::string strFace = ResolvedFace(hFont);
        EXPECT_TRUE(ResolvesTo(want.strFace, strFace))
            << want.strFace << " is drawn in " << strFace;

        std::size_t i = 0;
        for (HWND h = GetWindow(hDlg, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT), i++) {
            ASSERT_LT(i, want.controls.size());
            const Control& c = want.controls[i];
            char szClass[64] = {};
            GetClassNameA(h, szClass, sizeof szClass);
            EXPECT_EQ(static_cast<short>(GetDlgCtrlID(h)), c.nId) << "control " << i;
            EXPECT_EQ(Lower(szClass), c.strClass) << "control " << c.nId;
            const DWORD dwType = c.dwStyle & SS_TYPEMASK;
            if (c.strClass == "static" && (dwType == SS_LEFT || dwType == SS_CENTER) &&
                !c.strText.empty()) {
                HDC hdc = GetDC(h);
                HGDIOBJ hOld =
                    SelectObject(hdc, reinterpret_cast<HFONT>(SendMessageA(h, WM_GETFONT, 0, 0)));
                SIZE size{};
                GetTextExtentPoint32A(hdc, c.strText.c_str(), static_cast<int>(c.strText.size()),
                                      &size);
                SelectObject(hdc, hOld);
                ReleaseDC(h, hdc);
                RECT rc{};
                GetClientRect(h, &rc);
                EXPECT_LE(size.cx, rc.right) << "\"" << c.strText << "\" does not fit";
                EXPECT_LE(size.cy, rc.bottom) << "\"" << c.strText << "\" does not fit";
            }
        }
        EXPECT_EQ(i, want.controls.size());
        DestroyWindow(hDlg);
    }
}

// ---- Menus and strings ----

// One line per item, indented by depth: "133 \"text\"", "----", "popup \"text\"".
void Flatten(HMENU hMenu, int nDepth, std::vector<std::string>& lines) {
    const int nCount = GetMenuItemCount(hMenu);
    for (int i = 0; i < nCount; i++) {
        char szText[128] = {};
        MENUITEMINFOA mii{};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
        mii.dwTypeData = szText;
        mii.cch = sizeof szText;
        ASSERT_TRUE(GetMenuItemInfoA(hMenu, static_cast<UINT>(i), TRUE, &mii));
        std::string strLine(static_cast<std::size_t>(nDepth) * 2, ' ');
        if (mii.fType & MFT_SEPARATOR) {
            lines.push_back(strLine + "----");
        } else if (mii.hSubMenu) {
            lines.push_back(strLine + "popup \"" + szText + "\"");
            Flatten(mii.hSubMenu, nDepth + 1, lines);
        } else {
            lines.push_back(strLine + std::to_string(mii.wID) + " \"" + szText + "\"");
        }
    }
}

std::vector<std::string> MenuLines(int nId) {
    std::vector<std::string> lines;
    HMENU hMenu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(nId));
    if (!hMenu) {
        return {"no menu " + std::to_string(nId)};
    }
    Flatten(hMenu, 0, lines);
    DestroyMenu(hMenu);
    return lines;
}

TEST(Menus, PanelMenuBarHasItsItemsInOrder) {
    const std::vector<std::string> want = {
        "popup \"&File\"",
        "  134 \"E&xit\"",
        "138 \"&Hot Keys...\"",
        "popup \"&Help\"",
        "  57670 \"Contents\"",
        "  ----",
        "  133 \"About Tavrel Plus Remote...\"",
    };
    EXPECT_EQ(MenuLines(131), want);
}

TEST(Menus, TrayMenuIsOnePopupWhoseDefaultCanBeMaximize) {
    const std::vector<std::string> want = {
        "popup \"POPUP\"",
        "  133 \"About Tavrel Plus Remote...\"",
        "  ----",
        "  32780 \"Maximize\"",
        "  32781 \"Minimize\"",
        "  138 \"Hot Keys...\"",
        "  ----",
        "  134 \"Exit\"",
    };
    EXPECT_EQ(MenuLines(130), want);

    // The tray icon makes "Maximize" the default item by its command id.
    HMENU hMenu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(130));
    ASSERT_NE(hMenu, nullptr);
    HMENU hPopup = GetSubMenu(hMenu, 0);
    EXPECT_EQ(GetMenuDefaultItem(hPopup, TRUE, 0), static_cast<UINT>(-1)) << "no default yet";
    EXPECT_TRUE(SetMenuDefaultItem(hPopup, 32780, FALSE));
    EXPECT_EQ(GetMenuDefaultItem(hPopup, TRUE, 0), 2u);
    DestroyMenu(hMenu);
}

TEST(Strings, AboutItemOfTheSystemMenu) {
    char sz[64] = {};
    EXPECT_EQ(LoadStringA(GetModuleHandleA(nullptr), 101, sz, sizeof sz), 16);
    EXPECT_STREQ(sz, "&About Remote...");
}

// ---- Version ----

// The version resource of the file at strPath, as the shell reads it.
struct VersionView {
    bool bRead = false;
    VS_FIXEDFILEINFO fixed = {};
    std::vector<std::string> translations;  // "040904b0"
    std::vector<BYTE> data;

    std::string Text(const char* pszName) const {
        if (translations.empty()) {
            return {};
        }
        const std::string strKey = "\\StringFileInfo\\" + translations[0] + "\\" + pszName;
        void* pValue = nullptr;
        UINT nLength = 0;
        if (!VerQueryValueA(data.data(), strKey.c_str(), &pValue, &nLength) || nLength == 0) {
            return {};
        }
        return std::string(static_cast<const char*>(pValue));
    }
};

VersionView ReadVersion(const std::string& strPath) {
    VersionView view;
    DWORD dwHandle = 0;
    const DWORD dwSize = GetFileVersionInfoSizeA(strPath.c_str(), &dwHandle);
    if (dwSize == 0) {
        return view;
    }
    view.data.resize(dwSize);
    if (!GetFileVersionInfoA(strPath.c_str(), 0, dwSize, view.data.data())) {
        return view;
    }
    void* pValue = nullptr;
    UINT nLength = 0;
    if (VerQueryValueA(view.data.data(), "\\", &pValue, &nLength) &&
        nLength == sizeof(VS_FIXEDFILEINFO)) {
        std::memcpy(&view.fixed, pValue, sizeof view.fixed);
    }
    if (VerQueryValueA(view.data.data(), "\\VarFileInfo\\Translation", &pValue, &nLength)) {
        const WORD* pPairs = static_cast<const WORD*>(pValue);
        for (UINT i = 0; i + 1 < nLength / sizeof(WORD); i += 2) {
            char sz[16];
            std::snprintf(sz, sizeof sz, "%04x%04x", pPairs[i], pPairs[i + 1]);
            view.translations.push_back(sz);
        }
    }
    view.bRead = true;
    return view;
}

std::string BesideThisProgram(const char* pszName) {
    char sz[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, sz, MAX_PATH);
    std::string strPath(sz);
    strPath.resize(strPath.find_last_of('\\') + 1);
    return strPath + pszName;
}

TEST(Version, ReadsBackAsTavrelPlusRemote110OfQuorvane) {
    // The program itself, and this test's own copy of the same resources.
    char szSelf[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, szSelf, MAX_PATH);
    for (const std::string& strPath :
         {BesideThisProgram("TavrelRemote.exe"), std::string(szSelf)}) {
        SCOPED_TRACE(strPath);
        const VersionView view = ReadVersion(strPath);
        ASSERT_TRUE(view.bRead) << "no version resource";
        EXPECT_EQ(view.fixed.dwSignature, 0xFEEF04BDu);
        EXPECT_EQ(view.fixed.dwFileVersionMS, 0x0001000Au) << "1.10";
        EXPECT_EQ(view.fixed.dwProductVersionMS, 0x0001000Au) << "1.10";
        EXPECT_EQ(view.fixed.dwFileVersionLS, 0u);
        EXPECT_EQ(view.fixed.dwFileType, static_cast<DWORD>(VFT_APP));
        EXPECT_EQ(view.fixed.dwFileFlags & view.fixed.dwFileFlagsMask, 0u) << "a release build";
        ASSERT_EQ(view.translations, std::vector<std::string>{"040904b0"});
        EXPECT_EQ(view.Text("ProductName"), "Tavrel Plus Remote");
        EXPECT_EQ(view.Text("ProductVersion"), "1.10");
        EXPECT_EQ(view.Text("FileVersion"), "1.10");
        EXPECT_EQ(view.Text("CompanyName"), "Quorvane");
        EXPECT_EQ(view.Text("OriginalFilename"), "TavrelRemote.exe");
    }
}

// ---- Icon and bitmap ----

int Luminance(const BYTE* pBgr) {
    return (pBgr[2] * 299 + pBgr[1] * 587 + pBgr[0] * 114) / 1000;
}

// A 32 and a 16 pixel picture, and one for every size Windows asks for at
// 125 % to 200 % scaling (small icons 20, 24, 32; large ones 40, 48, 64).
TEST(Icon, HoldsAPictureOf256ColoursForEverySizeUpTo200Percent) {
    const Bytes group = Resource(128, RT_GROUP_ICON);
    ASSERT_NE(group.p, nullptr);
    ASSERT_EQ(Get<WORD>(group, 2), 1) << "an icon group";
    const int kSizes[] = {32, 16, 64, 48, 40, 24, 20};
    constexpr int kImages = static_cast<int>(sizeof kSizes / sizeof kSizes[0]);
    ASSERT_EQ(Get<WORD>(group, 4), kImages);
    for (int i = 0; i < kImages; i++) {
        const int nSize = kSizes[i];
        SCOPED_TRACE(std::to_string(nSize) + " x " + std::to_string(nSize));
        const std::size_t nEntry = 6 + 14 * static_cast<std::size_t>(i);
        EXPECT_EQ(Get<BYTE>(group, nEntry), nSize);
        EXPECT_EQ(Get<BYTE>(group, nEntry + 1), nSize);
        EXPECT_EQ(Get<WORD>(group, nEntry + 6), 8) << "bits per pixel";
        const int nImage = Get<WORD>(group, nEntry + 12);
        // The system picks this image when it asks for this size.
        EXPECT_EQ(LookupIconIdFromDirectoryEx(const_cast<BYTE*>(group.p), TRUE, nSize, nSize,
                                              LR_DEFAULTCOLOR),
                  nImage);

        const Bytes image = Resource(nImage, RT_ICON);
        BITMAPINFOHEADER bih{};
        ASSERT_GE(image.n, sizeof bih);
        std::memcpy(&bih, image.p, sizeof bih);
        EXPECT_EQ(bih.biWidth, nSize);
        EXPECT_EQ(bih.biHeight, 2 * nSize);
        EXPECT_EQ(bih.biBitCount, 8);
        EXPECT_TRUE(bih.biClrUsed == 0 || bih.biClrUsed == 256) << bih.biClrUsed;
        const std::size_t nPalette = sizeof bih;
        const std::size_t nPixels = nPalette + 256 * 4;
        const std::size_t nMask = nPixels + static_cast<std::size_t>(nSize * nSize);
        // Mask rows are padded to whole 32-bit words.
        const int nMaskStride = (nSize + 31) / 32 * 4;
        ASSERT_EQ(image.n, nMask + static_cast<std::size_t>(nSize * nMaskStride));
        // A picture with a see-through background and light and dark parts.
        int nOpaque = 0, nDarkest = 255, nLightest = 0;
        for (int y = 0; y < nSize; y++) {
            for (int x = 0; x < nSize; x++) {
                const std::size_t nBit = static_cast<std::size_t>(y * nMaskStride * 8 + x);
                if (image.p[nMask + nBit / 8] & (0x80 >> (nBit % 8))) {
                    continue;
                }
                nOpaque++;
                const int nIndex = image.p[nPixels + static_cast<std::size_t>(y * nSize + x)];
                const int nLum = Luminance(image.p + nPalette + nIndex * 4);
                nDarkest = std::min(nDarkest, nLum);
                nLightest = std::max(nLightest, nLum);
            }
        }
        EXPECT_GT(nOpaque, nSize * nSize / 4);
        EXPECT_LT(nOpaque, nSize * nSize);
        EXPECT_GE(nLightest - nDarkest, 200) << "high contrast";

        HICON hIcon = static_cast<HICON>(LoadImageA(
            GetModuleHandleA(nullptr), MAKEINTRESOURCEA(128), IMAGE_ICON, nSize, nSize, 0));
        ASSERT_NE(hIcon, nullptr);
        ICONINFO info{};
        BITMAP bm{};
        ASSERT_TRUE(GetIconInfo(hIcon, &info));
        ASSERT_TRUE(GetObjectA(info.hbmColor, sizeof bm, &bm));
        EXPECT_EQ(bm.bmWidth, nSize);
        EXPECT_EQ(bm.bmHeight, nSize);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(hIcon);
    }
}

TEST(Bitmap, PanelBackgroundIsFourByFourWhitePixels) {
    const Bytes dib = Resource(141, RT_BITMAP);
    BITMAPINFOHEADER bih{};
    ASSERT_GE(dib.n, sizeof bih);
    std::memcpy(&bih, dib.p, sizeof bih);
    EXPECT_EQ(bih.biBitCount, 24);
    EXPECT_EQ(bih.biCompression, static_cast<DWORD>(BI_RGB));

    // As the panel loads it: natural size, no flags.
    HBITMAP hBitmap = static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(141), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_NE(hBitmap, nullptr);
    BITMAP bm{};
    ASSERT_TRUE(GetObjectA(hBitmap, sizeof bm, &bm));
    EXPECT_EQ(bm.bmWidth, 4);
    EXPECT_EQ(bm.bmHeight, 4);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = 4;
    bi.bmiHeader.biHeight = -4;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    DWORD pixels[16] = {};
    HDC hdc = GetDC(nullptr);
    EXPECT_EQ(GetDIBits(hdc, hBitmap, 0, 4, pixels, &bi, DIB_RGB_COLORS), 4);
    ReleaseDC(nullptr, hdc);
    for (int i = 0; i < 16; i++) {
        EXPECT_EQ(pixels[i] & 0xFFFFFF, 0xFFFFFFu) << "pixel " << i % 4 << "," << i / 4;
    }
    DeleteObject(hBitmap);
}

// ---- Fonts ----

// A face the windows ask for at the size they use, and the vertical metrics
// (per 2048 units of the em) it must have: Arial's for the sans faces,
// Courier New's for Courier.
struct Face {
    const char* pszName;
    int nPoints;
    int nWeight;
    int nAscent, nDescent;
    bool bFixed;
};

constexpr Face kFaces[] = {
    {"Arial", 18, FW_BOLD, 1854, 434, false},
    {"Arial", 11, FW_BOLD, 1854, 434, false},
    {"Courier", 10, FW_BOLD, 1705, 615, true},
    {"Microsoft Sans Serif", 8, FW_NORMAL, 1854, 434, false},
    {"MS Shell Dlg", 8, FW_NORMAL, 1854, 434, false},
};

HFONT MakeFont(const Face& f, int nHeight) {
    return CreateFontA(nHeight, 0, 0, 0, f.nWeight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                       PROOF_QUALITY, 0, f.pszName);
}

// Each face is a real, scalable font with the metrics of the one it stands
// for, at the program's size and at a size that shows a difference of metrics.
TEST(Fonts, NamedFacesResolveToMetricCompatibleOutlineFonts) {
    HDC hdc = GetDC(nullptr);
    const int nDpi = GetDeviceCaps(hdc, LOGPIXELSY);
    ReleaseDC(nullptr, hdc);
    for (const Face& f : kFaces) {
        const int nPixels = MulDiv(f.nPoints, nDpi, 72);
        for (int nEm : {nPixels, 200}) {
            SCOPED_TRACE(std::string(f.pszName) + " at " + std::to_string(nEm) + " px");
            HFONT hFont = MakeFont(f, -nEm);
            ASSERT_NE(hFont, nullptr);
            TEXTMETRICA tm{};
            const std::string strFace = ResolvedFace(hFont, &tm);
            DeleteObject(hFont);
            EXPECT_TRUE(ResolvesTo(f.pszName, strFace)) << "drawn in " << strFace;
            EXPECT_TRUE(tm.tmPitchAndFamily & TMPF_TRUETYPE) << "not an outline font";
            EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, nEm);
            EXPECT_NEAR(tm.tmAscent, nEm * f.nAscent / 2048.0, 1.0);
            EXPECT_NEAR(tm.tmDescent, nEm * f.nDescent / 2048.0, 1.0);
            EXPECT_GE(tm.tmWeight, f.nWeight);
            // TMPF_FIXED_PITCH set means a variable pitch.
            EXPECT_EQ((tm.tmPitchAndFamily & TMPF_FIXED_PITCH) == 0, f.bFixed);
            if (f.bFixed) {
                EXPECT_NEAR(tm.tmAveCharWidth, nEm * 1229 / 2048.0, 1.0);
            }
        }
    }
}

}  // namespace
