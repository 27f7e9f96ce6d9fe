#include "app/remote_app_win.h"

#include <commctrl.h>
#include <process.h>
#include <shellapi.h>

#include "settings/options_section.h"
#include "device/device_link.h"
#include "framework/high_contrast.h"
#include "framework/message_box.h"
#include "base/utf16.h"
#include "framework/wnd.h"
#include "panel/panel_logic.h"
#include "panel/remote_panel_dlg_win.h"
#include "resource.h"

CRemoteApp theApp;

namespace {

// _beginthreadex wants its own calling convention; the link thread's body is
// the portable LinkThreadProc.
unsigned __stdcall LinkThreadEntry(void* pParam) {
    return LinkThreadProc(pParam);
}

}  // namespace

CRemoteApp::~CRemoteApp() = default;

BOOL CRemoteApp::InitInstance() {
    return InitInstance(Utf8(::GetCommandLineW()).c_str());
}

BOOL CRemoteApp::InitInstance(const char* pszCommandLine) {
    ::InitCommonControls();
    // Wine cannot switch Windows' high contrast on: there the user asks for
    // the program's high-contrast look with TAVREL_HIGH_CONTRAST=1 (and
    // keeps it off with 0); otherwise the system's setting holds.
    char szHighContrast[4] = {};
    if (::GetEnvironmentVariableA("TAVREL_HIGH_CONTRAST", szHighContrast, sizeof szHighContrast) ==
        1) {
        if (szHighContrast[0] == '1' || szHighContrast[0] == '0') {
            SetHighContrastOverride(szHighContrast[0] == '1');
        }
    }

    BOOL bShow = FALSE;
    const std::string_view strArguments =
        panel_logic::ArgumentText(pszCommandLine != nullptr ? pszCommandLine : "");
    if (!strArguments.empty()) {
        bShow = panel_logic::IsShowSwitch(strArguments) ? TRUE : FALSE;
    }

    SetAppCommandHandler([this](UINT nId) { return OnCommand(nId); });
    {
        CRemotePanelDlg dlg(nullptr);
        SetMainWnd(&dlg);
        dlg.m_bHideAtStart = bShow ? FALSE : TRUE;

        // Held until the panel registers this copy as the first one, or until
        // the other copy has been raised.
        if (!dlg.m_instanceChecker.MayRun()) {
            SetMainWnd(nullptr);
        } else {
            // Which port to use, and which to try first, before the first scan.
            g_options.Load();
            g_deviceLink.SetPortChoice(g_options.m_nPort);
            g_deviceLink.SetRememberedPort(g_options.m_nLastPort);
            StartLinkThread();
            dlg.DoModal();
            StopLinkThread();
        }
    }
    SetMainWnd(nullptr);
    SetAppCommandHandler({});
    return FALSE;
}

bool CRemoteApp::OnCommand(UINT nId) {
    switch (nId) {
        case ID_HELP_CONTENTS:
            OnHelpContents();
            return true;
        default:
            return false;
    }
}

std::string CRemoteApp::HelpFilePath() {
    // Wide: the installer puts the program under the user's own folder, whose
    // name need not fit the system's code page. The module's path may be
    // longer than MAX_PATH; grow until it fits.
    std::wstring strPath(MAX_PATH, L'\0');
    for (;;) {
        const DWORD dwLength =
            ::GetModuleFileNameW(nullptr, strPath.data(), static_cast<DWORD>(strPath.size()));
        if (dwLength == 0) {
            strPath.clear();
            break;
        }
        if (dwLength < strPath.size()) {
            strPath.resize(dwLength);
            break;
        }
        strPath.resize(strPath.size() * 2);
    }
    const std::wstring::size_type nSlash = strPath.find_last_of(L"\\/");
    strPath.resize(nSlash == std::wstring::npos ? 0 : nSlash + 1);
    return Utf8(strPath) + kHelpFileName;
}

void CRemoteApp::OnHelpContents() {
    const std::string& strPath = m_strHelpFile;
    if (::GetFileAttributesW(Utf16(strPath).c_str()) == INVALID_FILE_ATTRIBUTES) {
        AppMessageBox("The help file " + strPath +
                          " is missing.\nInstall Tavrel Plus Remote again to restore it.",
                      MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    bool bOpened = false;
    if (m_openDocument) {
        bOpened = m_openDocument(strPath);
    } else {
        CWnd* pMain = GetMainWnd();
        const HINSTANCE hResult =
            ::ShellExecuteW(pMain != nullptr ? pMain->m_hWnd : nullptr, L"open",
                            Utf16(strPath).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        // ShellExecute reports success as a value above 32.
        bOpened = reinterpret_cast<INT_PTR>(hResult) > 32;
    }
    if (!bOpened) {
        AppMessageBox("The help file " + strPath +
                          " could not be opened.\nOpen it with a web browser instead.",
                      MB_OK | MB_ICONEXCLAMATION);
    }
}

void CRemoteApp::StartLinkThread() {
    if (m_pLinkThread) {
        return;  // started once per program
    }
    const uintptr_t hThread =
        ::_beginthreadex(nullptr, 0, LinkThreadEntry, &g_deviceLink, 0, nullptr);
    m_pLinkThread.Attach(reinterpret_cast<HANDLE>(hThread));
}

void CRemoteApp::StopLinkThread() {
    if (!m_pLinkThread) {
        return;
    }
    // Asked also when the thread has not reached its body yet: it then ends
    // without a scan. The thread itself is waited for, not its running flag,
    // which it sets only once it runs.
    g_deviceLink.RequestStop();
    for (int i = 0; i < kStopWaits; ++i) {
        if (::WaitForSingleObject(m_pLinkThread.Get(), kStopWaitMs) != WAIT_TIMEOUT) {
            return;
        }
    }
    AppMessageBox("Serial comm thread still running");
}
