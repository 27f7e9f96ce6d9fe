// The program's windows at 100 %, 150 % and 200 % scaling (96, 144 and 192
// dots per inch) under wine, and after a move to a screen of another scale.
//
// Wine takes the screen's resolution from "LogPixels" under
// HKCU\Control Panel\Desktop when a process starts, so each resolution is
// measured by a copy of this program started while the value is set
// ("--measure FILE"); the value is put back as it was before the test ends,
// whatever happens, since the prefix is shared with the other tests. The
// copy writes what it measured, a line "name v1 v2 ..." each, and the test
// compares the resolutions with one another. This program carries the
// program's manifest, as TavrelRemote.exe does.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cctype>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "device/device_link.h"
#include "framework/message_box.h"
#include "hotkeys/setup_dlg.h"
#include "panel/dpi_scale.h"
#include "panel/font_height.h"
#include "panel/remote_panel_dlg.h"
#include "panel/window_dpi_win.h"
#include "pixels.h"
#include "resource.h"
#include "window_checks.h"

namespace {

constexpr const char* kDesktopKey = "Control Panel\\Desktop";
constexpr const char* kProductKey = "Software\\Quorvane";
constexpr int kScales[] = {96, 144, 192};

using Measures = std::map<std::string, std::vector<int>>;

std::string ThisProgram() {
    char szPath[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, szPath, sizeof szPath);
    return szPath;
}

std::string BesideThisProgram(const char* pszName) {
    std::string path = ThisProgram();
    return path.substr(0, path.find_last_of("\\/") + 1) + pszName;
}

// ---- What a copy at one resolution measures ----

RECT RectIn(HWND hParent, HWND hChild) {
    RECT rc = {};
    ::GetWindowRect(hChild, &rc);
    ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

SIZE TextExtent(HFONT hFont, const std::string& text) {
    SIZE size = {};
    HDC hdc = ::GetDC(nullptr);
    HGDIOBJ hOld = ::SelectObject(hdc, hFont);
    ::GetTextExtentPoint32A(hdc, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(hdc, hOld);
    ::ReleaseDC(nullptr, hdc);
    return size;
}

// The rectangle of hButton's tool in whichever tooltip of this thread has
// it; an empty one when none has.
RECT ToolRect(HWND hButton) {
    struct Search {
        HWND hButton;
        RECT rc;
    } search = {hButton, {}};
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            auto* pSearch = reinterpret_cast<Search*>(lParam);
            char szClass[32] = {};
            ::GetClassNameA(hWnd, szClass, sizeof szClass);
            TOOLINFOA info = {};
            info.cbSize = TTTOOLINFOA_V2_SIZE;
            info.hwnd = pSearch->hButton;
            info.uId = 1;
            if (::lstrcmpiA(szClass, TOOLTIPS_CLASSA) == 0 &&
                ::SendMessageA(hWnd, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&info))) {
                pSearch->rc = info.rect;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.rc;
}

// The whole window as it is drawn, 0x00RRGGBB per pixel, rows top to
// bottom; empty when it could not be read.
std::vector<DWORD> CaptureWindow(HWND hWnd, int w, int h) {
    ::RedrawWindow(hWnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpMessages(50);
    ::GdiFlush();
    BITMAPINFO bi = PixelFormat(w, h);
    std::vector<DWORD> pixels;
    HDC hdcWindow = ::GetWindowDC(hWnd);
    HDC hdcMem = ::CreateCompatibleDC(hdcWindow);
    void* pBits = nullptr;
    HBITMAP hbm = ::CreateDIBSection(hdcWindow, &bi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    if (hbm != nullptr && pBits != nullptr) {
        HGDIOBJ hOld = ::SelectObject(hdcMem, hbm);
        if (::BitBlt(hdcMem, 0, 0, w, h, hdcWindow, 0, 0, SRCCOPY)) {
            ::GdiFlush();
            const DWORD* p = static_cast<const DWORD*>(pBits);
            pixels.assign(p, p + static_cast<size_t>(w) * h);
        }
        ::SelectObject(hdcMem, hOld);
    }
    if (hbm != nullptr) {
        ::DeleteObject(hbm);
    }
    ::DeleteDC(hdcMem);
    ::ReleaseDC(hWnd, hdcWindow);
    return pixels;
}

// Writes the whole window into a 24-bit .bmp file, also when it is wider
// than the screen (the panel at 200 % on the tests' 1024-pixel desktop): it
// is then read in strips, each moved onto the screen in turn, and put back.
bool SaveWholeWindow(HWND hWnd, const std::string& path) {
    const RECT rc = [&] {
        RECT r = {};
        ::GetWindowRect(hWnd, &r);
        return r;
    }();
    const int w = rc.right - rc.left;
    const int h = rc.bottom - rc.top;
    const int nScreen = ::GetSystemMetrics(SM_CXSCREEN);
    if (w <= 0 || h <= 0 || nScreen <= 0) {
        return false;
    }
    std::vector<DWORD> whole(static_cast<size_t>(w) * h);
    const UINT nFlags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
    for (int x0 = 0; x0 < w; x0 += nScreen) {
        ::SetWindowPos(hWnd, nullptr, -x0, rc.top, 0, 0, nFlags);
        const std::vector<DWORD> strip = CaptureWindow(hWnd, w, h);
        if (strip.empty()) {
            ::SetWindowPos(hWnd, nullptr, rc.left, rc.top, 0, 0, nFlags);
            return false;
        }
        for (int y = 0; y < h; ++y) {
            for (int x = x0; x < w && x < x0 + nScreen; ++x) {
                whole[static_cast<size_t>(y) * w + x] = strip[static_cast<size_t>(y) * w + x];
            }
        }
    }
    ::SetWindowPos(hWnd, nullptr, rc.left, rc.top, 0, 0, nFlags);

    const DWORD nStride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = w;
    info.biHeight = h;  // bottom-up, as .bmp files keep their rows
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = nStride * static_cast<DWORD>(h);
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    std::vector<char> row(nStride);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const DWORD c = whole[static_cast<size_t>(y) * w + x];
            row[static_cast<size_t>(x) * 3] = static_cast<char>(c & 0xFF);
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<char>((c >> 8) & 0xFF);
            row[static_cast<size_t>(x) * 3 + 2] = static_cast<char>((c >> 16) & 0xFF);
        }
        out.write(row.data(), static_cast<std::streamsize>(row.size()));
    }
    return out.good();
}

class Recorder {
  public:
    void Put(const std::string& name, std::vector<int> values) { m_out[name] = std::move(values); }
    void Rect(const std::string& name, const RECT& rc) {
        Put(name, {rc.left, rc.top, rc.right, rc.bottom});
    }
    void Text(const std::string& name, HFONT hFont, const std::string& text) {
        const SIZE size = TextExtent(hFont, text);
        Put(name, {size.cx, size.cy, FontOf(hFont).lfHeight});
    }
    bool Write(const std::string& path) const {
        std::ofstream out(path);
        for (const auto& [name, values] : m_out) {
            out << name;
            for (int v : values) {
                out << ' ' << v;
            }
            out << '\n';
        }
        return out.good();
    }

  private:
    Measures m_out;
};

void MeasurePanel(CRemotePanelDlg& panel, Recorder& rec) {
    HWND h = panel.m_hWnd;
    rec.Put("dpi", {static_cast<int>(DpiOfWindow(h))});
    const RECT rcClient = panel.GetClientRect();
    rec.Put("panel.client", {rcClient.right, rcClient.bottom});
    const std::pair<const char*, CWnd*> controls[] = {
        {"window", &panel.m_btnWindow},
        {"lines", &panel.m_btnLines},
        {"options", &panel.m_btnOptions},
        {"posbar", &panel.m_barPosition},
        {"widthbar", &panel.m_barWidth},
        {"posframe", &panel.m_lblPositionFrame},
        {"widthframe", &panel.m_lblWidthFrame},
        {"windowframe", &panel.m_lblWindowFrame},
        {"linesframe", &panel.m_lblLinesFrame},
        {"optionsframe", &panel.m_lblOptionsFrame},
        {"postitle", &panel.m_lblPositionTitle},
        {"status", &panel.m_lblStatus},
        {"conntitle", &panel.m_lblConnectionTitle},
    };
    for (const auto& [name, pWnd] : controls) {
        rec.Rect(std::string("rect.") + name, RectIn(h, pWnd->m_hWnd));
    }
    rec.Text("text.postitle", panel.m_lblPositionTitle.m_font, "POSITION");
    rec.Text("text.status", panel.m_lblStatus.m_font, "Not Connected");
    rec.Text("text.conntitle", panel.m_lblConnectionTitle.m_font, "Connection Status");
    rec.Text("text.debug", panel.m_lblDebugInfo.m_font, "Debug Info");
    rec.Text("text.options", panel.m_btnOptions.GetFont(), "OPTIONS");

    // The tip of a button covers the button.
    rec.Rect("tip.lines", ToolRect(panel.m_btnLines.m_hWnd));

    HICON hSmall = reinterpret_cast<HICON>(panel.SendMessage(WM_GETICON, ICON_SMALL));
    rec.Put("icons",
            {IconWidth(hSmall), IconWidth(panel.m_hIcon), IconWidth(panel.m_tray.GetIcon()),
             ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CXICON)});
}

void MeasureWarning(CPopupWarning& warning, Recorder& rec) {
    const RECT rcClient = warning.GetClientRect();
    rec.Put("warning.client", {rcClient.right, rcClient.bottom});
    rec.Rect("warning.label", RectIn(warning.m_hWnd, warning.m_label.m_hWnd));
    rec.Text("text.warning", warning.m_label.m_font, "Tavrel Plus Not Detected");
}

void MeasureSetup(CSetupDlg& dlg, Recorder& rec) {
    const RECT rcClient = dlg.GetClientRect();
    rec.Put("setup.client", {rcClient.right, rcClient.bottom});
    rec.Rect("setup.enable", RectIn(dlg.m_hWnd, dlg.m_chkEnable.m_hWnd));
    rec.Rect("setup.posgroup", RectIn(dlg.m_hWnd, ::GetDlgItem(dlg.m_hWnd, IDC_POSITION_GROUP)));
    rec.Rect("setup.popupkey", RectIn(dlg.m_hWnd, dlg.m_cboKey[0].m_hWnd));
    rec.Rect("setup.popupshift", RectIn(dlg.m_hWnd, dlg.m_chkModifiers[0][2].m_hWnd));
    rec.Text("text.setupgroup", dlg.m_fontGroup, "Position Slider");
    rec.Text("text.setupitem", dlg.m_fontItem, "Shift");
    rec.Text("text.setupenable", dlg.m_chkEnable.GetFont(), "ENABLE HOT KEYS");
}

// The copy's work: the panel, its warning and the setup dialog at this
// process's resolution. A picture of the panel at 192 dpi stays beside it.
int Measure(const std::string& path) {
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kProductKey);
    SetMessageBoxFunction([](HWND, const std::string&, const std::string&, UINT) { return IDOK; });
    g_deviceLink.m_bConnected = 0;
    Recorder rec;
    int nResult = 0;
    {
        CRemotePanelDlg panel;
        panel.m_bHideAtStart = FALSE;
        SetMainWnd(&panel);
        if (!panel.Create()) {
            return 3;
        }
        panel.ShowWindow(SW_SHOW);
        WaitFor([&] { return ::IsWindowVisible(panel.m_hWnd) != FALSE; });
        PumpMessages(100);
        MeasurePanel(panel, rec);
        MeasureWarning(panel.m_wndWarning, rec);
        if (DpiOfWindow(panel.m_hWnd) == 192) {
            const RECT rc = panel.GetWindowRect();
            rec.Rect("panel.window", rc);
            if (!SaveWholeWindow(panel.m_hWnd, "panel_192dpi.bmp")) {
                nResult = 4;
            }
        }
        {
            CSetupDlg dlg(&panel);
            if (dlg.Create(&panel)) {
                MeasureSetup(dlg, rec);
                if (DpiOfWindow(panel.m_hWnd) == 192) {
                    dlg.ShowWindow(SW_SHOW);
                    PumpMessages(100);
                    SaveWholeWindow(dlg.m_hWnd, "setup_192dpi.bmp");
                }
                dlg.DestroyWindow();
            }
        }
        panel.DestroyWindow();
        SetMainWnd(nullptr);
    }
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kProductKey);
    if (!rec.Write(path)) {
        return 5;
    }
    return nResult;
}

// ---- The test's side ----

// Sets the resolution new processes of the prefix start with, and puts back
// what was there (a value or none) when it goes.
class ScreenResolution {
  public:
    ScreenResolution() {
        DWORD cb = sizeof m_nOld;
        m_bHadValue = ::RegGetValueA(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", RRF_RT_REG_DWORD,
                                     nullptr, &m_nOld, &cb) == ERROR_SUCCESS;
    }
    ~ScreenResolution() {
        if (m_bHadValue) {
            Set(m_nOld);
        } else {
            HKEY hKey = nullptr;
            if (::RegOpenKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_SET_VALUE, &hKey) ==
                ERROR_SUCCESS) {
                ::RegDeleteValueA(hKey, "LogPixels");
                ::RegCloseKey(hKey);
            }
        }
    }
    ScreenResolution(const ScreenResolution&) = delete;
    ScreenResolution& operator=(const ScreenResolution&) = delete;

    static bool Set(DWORD nDpi) {
        return ::RegSetKeyValueA(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", REG_DWORD, &nDpi,
                                 sizeof nDpi) == ERROR_SUCCESS;
    }

  private:
    DWORD m_nOld = 0;
    bool m_bHadValue = false;
};

// Runs a copy of this program at nDpi and reads what it measured. The copy
// gets 60 s and is ended by its own handle after that.
bool MeasureAt(int nDpi, Measures& out, std::string& error) {
    const std::string file = "dpi_" + std::to_string(nDpi) + ".txt";
    ::DeleteFileA(file.c_str());
    ScreenResolution restore;
    if (!ScreenResolution::Set(static_cast<DWORD>(nDpi))) {
        error = "LogPixels could not be set";
        return false;
    }
    std::string command = "\"" + ThisProgram() + "\" --measure " + file;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &si, &pi)) {
        error = "the copy did not start";
        return false;
    }
    DWORD nExit = 1;
    if (::WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) {
        ::TerminateProcess(pi.hProcess, 124);
        ::WaitForSingleObject(pi.hProcess, 10000);
        error = "the copy did not finish in 60 s";
    }
    ::GetExitCodeProcess(pi.hProcess, &nExit);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    if (nExit != 0) {
        error += " exit code " + std::to_string(nExit);
        return false;
    }
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string name;
        words >> name;
        int v = 0;
        while (words >> v) {
            out[name].push_back(v);
        }
    }
    return !out.empty();
}

// Every resolution measured once for the whole program.
class Scales : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        for (int nDpi : kScales) {
            std::string error;
            if (!MeasureAt(nDpi, s_at[nDpi], error)) {
                s_errors += std::to_string(nDpi) + " dpi: " + error + "; ";
            }
        }
    }
    void SetUp() override { ASSERT_EQ(s_errors, "") << "a copy failed"; }

    static int V(int nDpi, const std::string& name, size_t i = 0) {
        const auto& values = s_at[nDpi][name];
        EXPECT_GT(values.size(), i) << name << " at " << nDpi;
        return values.size() > i ? values[i] : 0;
    }
    static int Width(int nDpi, const std::string& name) {
        return V(nDpi, name, 2) - V(nDpi, name, 0);
    }
    static int Height(int nDpi, const std::string& name) {
        return V(nDpi, name, 3) - V(nDpi, name, 1);
    }
    // The ratio of a length at nDpi to the same at 96 dpi is the ratio of
    // the resolutions, within nPercent of it (dialog units follow the
    // dialog font's measured characters, not the resolution exactly).
    static void ExpectScaled(int nDpi, int n96, int nAt, double nPercent, const std::string& what) {
        const double want = static_cast<double>(n96) * nDpi / 96;
        EXPECT_NEAR(nAt, want, want * nPercent / 100 + 1) << what << " at " << nDpi << " dpi";
    }

    static std::map<int, Measures> s_at;
    static std::string s_errors;
};

std::map<int, Measures> Scales::s_at;
std::string Scales::s_errors;

TEST_F(Scales, EachCopyRanAtTheResolutionItWasGiven) {
    for (int nDpi : kScales) {
        EXPECT_EQ(V(nDpi, "dpi"), nDpi);
    }
}

TEST_F(Scales, PanelFontsAreTheirPointSizesAtTheScreensResolution) {
    for (int nDpi : kScales) {
        SCOPED_TRACE(std::to_string(nDpi) + " dpi");
        EXPECT_EQ(V(nDpi, "text.postitle", 2), PointsToHeightAt(18, nDpi));
        EXPECT_EQ(V(nDpi, "text.status", 2), PointsToHeightAt(11, nDpi));
        EXPECT_EQ(V(nDpi, "text.conntitle", 2), PointsToHeightAt(11, nDpi));
        EXPECT_EQ(V(nDpi, "text.debug", 2), PointsToHeightAt(10, nDpi));
        EXPECT_EQ(V(nDpi, "text.options", 2), -(nDpi * 180 / 720));
        EXPECT_EQ(V(nDpi, "text.warning", 2), PointsToHeightAt(18, nDpi));
        // What is drawn grows with them: the text's extent.
        for (const char* name : {"text.postitle", "text.status", "text.options", "text.warning"}) {
            ExpectScaled(nDpi, V(96, name, 0), V(nDpi, name, 0), 8, name);
            ExpectScaled(nDpi, V(96, name, 1), V(nDpi, name, 1), 8, name);
        }
    }
}

TEST_F(Scales, PanelControlsKeepTheirProportions) {
    for (int nDpi : kScales) {
        ExpectScaled(nDpi, V(96, "panel.client", 0), V(nDpi, "panel.client", 0), 8, "client width");
        ExpectScaled(nDpi, V(96, "panel.client", 1), V(nDpi, "panel.client", 1), 8,
                     "client height");
        for (const char* name : {"rect.window", "rect.lines", "rect.options", "rect.posbar",
                                 "rect.widthbar", "rect.postitle", "rect.status"}) {
            ExpectScaled(nDpi, Width(96, name), Width(nDpi, name), 8, name);
            ExpectScaled(nDpi, Height(96, name), Height(nDpi, name), 8, name);
            // The same place in the panel, as a share of its client area.
            const double x96 = static_cast<double>(V(96, name, 0)) / V(96, "panel.client", 0);
            const double xAt = static_cast<double>(V(nDpi, name, 0)) / V(nDpi, "panel.client", 0);
            EXPECT_NEAR(xAt, x96, 0.02) << name << " at " << nDpi;
        }
    }
}

TEST_F(Scales, FramesStandSixPixelsAt96DpiAndScaledBeyondTheirControls) {
    const std::pair<const char*, const char*> frames[] = {
        {"rect.posbar", "rect.posframe"},      {"rect.widthbar", "rect.widthframe"},
        {"rect.window", "rect.windowframe"},   {"rect.lines", "rect.linesframe"},
        {"rect.options", "rect.optionsframe"},
    };
    for (int nDpi : kScales) {
        const int nMargin = dpi_scale::ScaleForDpi(6, nDpi);
        for (const auto& [control, frame] : frames) {
            SCOPED_TRACE(std::string(frame) + " at " + std::to_string(nDpi) + " dpi");
            EXPECT_EQ(V(nDpi, control, 0) - V(nDpi, frame, 0), nMargin);
            EXPECT_EQ(V(nDpi, control, 1) - V(nDpi, frame, 1), nMargin);
            EXPECT_EQ(V(nDpi, frame, 2) - V(nDpi, control, 2), nMargin);
            EXPECT_EQ(V(nDpi, frame, 3) - V(nDpi, control, 3), nMargin);
        }
    }
    EXPECT_EQ(dpi_scale::ScaleForDpi(6, 144), 9);
    EXPECT_EQ(dpi_scale::ScaleForDpi(6, 192), 12);
}

TEST_F(Scales, TextsFitTheirLabelsAndButtons) {
    for (int nDpi : kScales) {
        SCOPED_TRACE(std::to_string(nDpi) + " dpi");
        const std::pair<const char*, const char*> fits[] = {
            {"text.postitle", "rect.postitle"},   {"text.status", "rect.status"},
            {"text.conntitle", "rect.conntitle"}, {"text.options", "rect.options"},
            {"text.warning", "warning.label"},
        };
        for (const auto& [text, rect] : fits) {
            EXPECT_LT(V(nDpi, text, 0), Width(nDpi, rect)) << text;
            EXPECT_LT(V(nDpi, text, 1), Height(nDpi, rect)) << text;
        }
        // The warning's text keeps the same share of its window.
        const double share96 =
            static_cast<double>(V(96, "text.warning", 0)) / Width(96, "warning.label");
        const double shareAt =
            static_cast<double>(V(nDpi, "text.warning", 0)) / Width(nDpi, "warning.label");
        EXPECT_NEAR(shareAt, share96, 0.06);
        ExpectScaled(nDpi, V(96, "warning.client", 0), V(nDpi, "warning.client", 0), 8,
                     "warning width");
    }
}

TEST_F(Scales, SetupDialogFontsAndControlsFollowTheScale) {
    for (int nDpi : kScales) {
        SCOPED_TRACE(std::to_string(nDpi) + " dpi");
        EXPECT_EQ(V(nDpi, "text.setupgroup", 2), -::MulDiv(120, nDpi, 720));
        EXPECT_EQ(V(nDpi, "text.setupitem", 2), -::MulDiv(100, nDpi, 720));
        ExpectScaled(nDpi, V(96, "text.setupgroup", 0), V(nDpi, "text.setupgroup", 0), 8, "group");
        ExpectScaled(nDpi, V(96, "setup.client", 0), V(nDpi, "setup.client", 0), 8, "width");
        for (const char* name : {"setup.posgroup", "setup.popupkey", "setup.popupshift"}) {
            ExpectScaled(nDpi, Width(96, name), Width(nDpi, name), 8, name);
        }
        // The enable check is as wide as its caption (measured in the
        // dialog's font) and the mark, which scale alike.
        ExpectScaled(nDpi, Width(96, "setup.enable"), Width(nDpi, "setup.enable"), 8, "enable");
        // The group's caption fits its box, and a modifier's its check box
        // beside the mark.
        EXPECT_LT(V(nDpi, "text.setupgroup", 0), Width(nDpi, "setup.posgroup"));
        EXPECT_LT(V(nDpi, "text.setupitem", 0), Width(nDpi, "setup.popupshift"));
    }
}

TEST_F(Scales, IconsAreLoadedAtTheSizesTheSystemAsksFor) {
    for (int nDpi : kScales) {
        SCOPED_TRACE(std::to_string(nDpi) + " dpi");
        const int nSmall = V(nDpi, "icons", 3);
        EXPECT_EQ(nSmall, dpi_scale::ScaleForDpi(16, nDpi));
        EXPECT_EQ(V(nDpi, "icons", 0), nSmall) << "the caption's icon";
        EXPECT_EQ(V(nDpi, "icons", 2), nSmall) << "the tray icon";
        EXPECT_EQ(V(nDpi, "icons", 1), V(nDpi, "icons", 4)) << "the large icon";
    }
}

TEST_F(Scales, TheButtonsTipCoversTheButton) {
    for (int nDpi : kScales) {
        EXPECT_EQ(V(nDpi, "tip.lines", 2), Width(nDpi, "rect.lines")) << nDpi;
        EXPECT_EQ(V(nDpi, "tip.lines", 3), Height(nDpi, "rect.lines")) << nDpi;
    }
}

// ---- A move to a screen of another scale, in this process ----

class DpiChange : public ::testing::Test {
  protected:
    void SetUp() override {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kProductKey);
        SetMessageBoxFunction(
            [](HWND, const std::string&, const std::string&, UINT) { return IDOK; });
        g_deviceLink.m_bConnected = 0;
        m_panel.m_bHideAtStart = FALSE;
        SetMainWnd(&m_panel);
        ASSERT_TRUE(m_panel.Create());
        m_panel.ShowWindow(SW_SHOW);
        ASSERT_TRUE(WaitFor([&] { return ::IsWindowVisible(m_panel.m_hWnd) != FALSE; }));
    }
    void TearDown() override {
        if (m_panel.m_hWnd != nullptr) {
            m_panel.DestroyWindow();
        }
        SetMainWnd(nullptr);
        SetMessageBoxFunction(nullptr);
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kProductKey);
    }
    // What the system sends a window that has moved onto a screen of nDpi:
    // the new resolution and its rectangle scaled about its top left corner.
    static RECT SendDpiChanged(HWND hWnd, int nFrom, int nDpi) {
        RECT rc = {};
        ::GetWindowRect(hWnd, &rc);
        RECT rcNew = {rc.left, rc.top,
                      rc.left + dpi_scale::RescaleDpi(rc.right - rc.left, nFrom, nDpi),
                      rc.top + dpi_scale::RescaleDpi(rc.bottom - rc.top, nFrom, nDpi)};
        ::SendMessageA(hWnd, WM_DPICHANGED, MAKEWPARAM(nDpi, nDpi),
                       reinterpret_cast<LPARAM>(&rcNew));
        return rcNew;
    }
    static dpi_scale::Rect Scaled(const RECT& rc, int nFrom, int nTo) {
        return dpi_scale::RescaleRect({rc.left, rc.top, rc.right, rc.bottom}, nFrom, nTo);
    }
    static void ExpectRect(const RECT& rc, const dpi_scale::Rect& want, const char* what) {
        EXPECT_EQ(rc.left, want.left) << what;
        EXPECT_EQ(rc.top, want.top) << what;
        EXPECT_EQ(rc.right, want.right) << what;
        EXPECT_EQ(rc.bottom, want.bottom) << what;
    }

    CRemotePanelDlg m_panel;
};

TEST_F(DpiChange, ThePanelTakesTheSuggestedRectangleAndLaysItselfOutAgain) {
    const int nFrom = static_cast<int>(DpiOfWindow(m_panel.m_hWnd));
    HWND h = m_panel.m_hWnd;
    const RECT rcWindow = RectIn(h, m_panel.m_btnWindow.m_hWnd);
    const RECT rcBar = RectIn(h, m_panel.m_barWidth.m_hWnd);
    const RECT rcTitle = RectIn(h, m_panel.m_lblPositionTitle.m_hWnd);
    HFONT hOldButtons = m_panel.m_fontButtons;

    for (int nDpi : {192, 144, nFrom}) {
        SCOPED_TRACE(std::to_string(nDpi) + " dpi");
        const RECT rcSuggested = SendDpiChanged(h, nFrom, nDpi);
        const RECT rcNow = m_panel.GetWindowRect();
        EXPECT_TRUE(::EqualRect(&rcSuggested, &rcNow));
        ExpectRect(RectIn(h, m_panel.m_btnWindow.m_hWnd), Scaled(rcWindow, nFrom, nDpi), "WINDOW");
        ExpectRect(RectIn(h, m_panel.m_barWidth.m_hWnd), Scaled(rcBar, nFrom, nDpi), "WIDTH bar");
        ExpectRect(RectIn(h, m_panel.m_lblPositionTitle.m_hWnd), Scaled(rcTitle, nFrom, nDpi),
                   "POSITION");
        // The frames stand the scaled margin beyond their controls.
        RECT rcFrame = RectIn(h, m_panel.m_lblWindowFrame.m_hWnd);
        const RECT rcButton = RectIn(h, m_panel.m_btnWindow.m_hWnd);
        const int nMargin = dpi_scale::ScaleForDpi(CRemotePanelDlg::kFrameMargin, nDpi);
        EXPECT_EQ(rcButton.left - rcFrame.left, nMargin);
        EXPECT_EQ(rcFrame.bottom - rcButton.bottom, nMargin);
        rcFrame = RectIn(h, m_panel.m_lblWidthFrame.m_hWnd);
        EXPECT_EQ(RectIn(h, m_panel.m_barWidth.m_hWnd).top - rcFrame.top, nMargin);
        // Fonts made anew at the new resolution, in their points.
        EXPECT_EQ(FontOf(m_panel.m_lblPositionTitle.m_font).lfHeight, PointsToHeightAt(18, nDpi));
        EXPECT_STREQ(FontOf(m_panel.m_lblPositionTitle.m_font).lfFaceName, "Arial");
        EXPECT_EQ(FontOf(m_panel.m_lblPositionTitle.m_font).lfWeight, FW_BOLD);
        EXPECT_EQ(FontOf(m_panel.m_lblStatus.m_font).lfHeight, PointsToHeightAt(11, nDpi));
        EXPECT_EQ(FontOf(m_panel.m_lblDebugInfo.m_font).lfHeight, PointsToHeightAt(10, nDpi));
        EXPECT_EQ(m_panel.m_btnOptions.GetFont(), m_panel.m_fontButtons.Get());
        EXPECT_EQ(FontOf(m_panel.m_fontButtons).lfHeight, -(nDpi * 180 / 720));
        // The buttons' tip follows the button.
        const RECT rcTip = ToolRect(m_panel.m_btnWindow.m_hWnd);
        EXPECT_EQ(rcTip.right, rcButton.right - rcButton.left);
        EXPECT_EQ(rcTip.bottom, rcButton.bottom - rcButton.top);
    }
    // Back at its first resolution the panel is as it was.
    ExpectRect(RectIn(h, m_panel.m_btnWindow.m_hWnd), Scaled(rcWindow, nFrom, nFrom), "WINDOW");
    EXPECT_NE(m_panel.m_fontButtons.Get(), hOldButtons);  // a font made anew, the old one gone
    EXPECT_EQ(::GetObjectType(hOldButtons), 0u);
}

TEST_F(DpiChange, TheWarningAndTheSetupDialogFollowToo) {
    const int nFrom = static_cast<int>(DpiOfWindow(m_panel.m_hWnd));
    CPopupWarning& warning = m_panel.m_wndWarning;
    const RECT rcLabel = RectIn(warning.m_hWnd, warning.m_label.m_hWnd);
    const RECT rcSuggested = SendDpiChanged(warning.m_hWnd, nFrom, 192);
    const RECT rcNow = warning.GetWindowRect();
    EXPECT_TRUE(::EqualRect(&rcSuggested, &rcNow));
    ExpectRect(RectIn(warning.m_hWnd, warning.m_label.m_hWnd), Scaled(rcLabel, nFrom, 192),
               "warning text");
    EXPECT_EQ(FontOf(warning.m_label.m_font).lfHeight, PointsToHeightAt(18, 192));
    EXPECT_EQ(FontOf(warning.m_label.m_font).lfWeight, FW_BOLD);

    CSetupDlg dlg(&m_panel);
    ASSERT_TRUE(dlg.Create(&m_panel));
    const RECT rcKey = RectIn(dlg.m_hWnd, dlg.m_cboKey[5].m_hWnd);
    RECT rcList = {};
    dlg.m_cboKey[5].SendMessage(CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&rcList));
    const int nListHeight = rcList.bottom - rcList.top;
    const RECT rcEnable = RectIn(dlg.m_hWnd, dlg.m_chkEnable.m_hWnd);
    SendDpiChanged(dlg.m_hWnd, nFrom, 144);
    const RECT rcKeyAt = RectIn(dlg.m_hWnd, dlg.m_cboKey[5].m_hWnd);
    EXPECT_EQ(rcKeyAt.left, Scaled(rcKey, nFrom, 144).left);
    EXPECT_EQ(rcKeyAt.right, Scaled(rcKey, nFrom, 144).right);
    EXPECT_EQ(rcKeyAt.top, Scaled(rcKey, nFrom, 144).top);
    // The list keeps its share of the screen: its height is scaled too (to
    // within the box's own height, which some systems count in the list's
    // rectangle and others do not), not cut down to the box.
    dlg.m_cboKey[5].SendMessage(CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&rcList));
    EXPECT_NEAR(rcList.bottom - rcList.top, dpi_scale::RescaleDpi(nListHeight, nFrom, 144),
                rcKeyAt.bottom - rcKeyAt.top + 2);
    ExpectRect(RectIn(dlg.m_hWnd, dlg.m_chkEnable.m_hWnd), Scaled(rcEnable, nFrom, 144), "enable");
    EXPECT_EQ(FontOf(dlg.m_fontGroup).lfHeight, -::MulDiv(120, 144, 720));
    EXPECT_EQ(FontOf(dlg.m_fontItem).lfHeight, -::MulDiv(100, 144, 720));
    EXPECT_EQ(dlg.m_cboKey[5].GetFont(), dlg.m_fontItem.Get());
    EXPECT_EQ(reinterpret_cast<HFONT>(
                  ::SendDlgItemMessageA(dlg.m_hWnd, IDC_WIDTH_GROUP, WM_GETFONT, 0, 0)),
              dlg.m_fontGroup.Get());
    dlg.DestroyWindow();
}

// ---- The manifest ----

std::string ManifestOf(const std::string& path) {
    HMODULE hModule = ::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (hModule == nullptr) {
        return {};
    }
    std::string text;
    if (HRSRC hRes = ::FindResourceA(hModule, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
        if (HGLOBAL hData = ::LoadResource(hModule, hRes)) {
            text.assign(static_cast<const char*>(::LockResource(hData)),
                        ::SizeofResource(hModule, hRes));
        }
    }
    ::FreeLibrary(hModule);
    return text;
}

TEST(Manifest, TheProgramAsksForCommonControls6PerMonitorScalingAndTheUsersRights) {
    const std::string text = ManifestOf(BesideThisProgram("TavrelRemote.exe"));
    ASSERT_FALSE(text.empty()) << "TavrelRemote.exe has no manifest resource 1";
    for (const char* want : {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                             "publicKeyToken=\"6595b64144ccf1df\"", "level=\"asInvoker\"",
                             ">true/pm</dpiAware>", ">PerMonitorV2, PerMonitor</dpiAwareness>",
                             "http://schemas.microsoft.com/SMI/2005/WindowsSettings",
                             "http://schemas.microsoft.com/SMI/2016/WindowsSettings"}) {
        EXPECT_NE(text.find(want), std::string::npos) << want;
    }
    // This test carries the same manifest, and the system honoured it.
    EXPECT_EQ(ManifestOf(ThisProgram()), text);
}

TEST(Manifest, TheSystemGivesTheProgramTheVersion6CommonControls) {
    // The common controls this program runs with come from the side-by-side
    // store as version 6, as the manifest asks, not from the system folder.
    ::InitCommonControls();
    HMODULE hComctl = ::GetModuleHandleA("comctl32.dll");
    ASSERT_NE(hComctl, nullptr);
    char szPath[MAX_PATH] = {};
    ::GetModuleFileNameA(hComctl, szPath, sizeof szPath);
    std::string path = szPath;
    for (char& c : path) {
        c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    }
    EXPECT_NE(path.find("\\winsxs\\"), std::string::npos) << szPath;
    EXPECT_NE(path.find("common-controls_6595b64144ccf1df_6.0."), std::string::npos) << szPath;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--measure") == 0) {
        return Measure(argv[2]);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
