#include "app/remote_app.h"

#include <commctrl.h>
#include <process.h>

#include "device/device_link.h"
#include "framework/message_box.h"
#include "framework/wnd.h"
#include "panel/panel_logic.h"
#include "panel/remote_panel_dlg.h"

CRemoteApp theApp;

namespace {

// _beginthreadex wants its own calling convention; the link thread's body is
// the portable LinkThreadProc.
unsigned __stdcall LinkThreadEntry(void* pParam) {
    return LinkThreadProc(pParam);
}

}  // namespace

CRemoteApp::~CRemoteApp() {
    if (m_pLinkThread != nullptr) {
        ::CloseHandle(m_pLinkThread);
    }
}

BOOL CRemoteApp::InitInstance() {
    return InitInstance(::GetCommandLineA());
}

BOOL CRemoteApp::InitInstance(const char* pszCommandLine) {
    ::InitCommonControls();

    BOOL bShow = FALSE;
    const std::string_view strArguments =
        panel_logic::ArgumentText(pszCommandLine != nullptr ? pszCommandLine : "");
    if (!strArguments.empty()) {
        bShow = panel_logic::IsShowSwitch(strArguments) ? TRUE : FALSE;
    }

    {
        CRemotePanelDlg dlg(nullptr);
        SetMainWnd(&dlg);
        dlg.m_bHideAtStart = bShow ? FALSE : TRUE;

        // Held until the panel registers this copy as the first one, or until
        // the other copy has been raised.
        dlg.m_instanceChecker.TakeStartupLock();
        if (dlg.m_instanceChecker.IsAnotherCopyRunning()) {
            dlg.m_instanceChecker.ActivateOtherCopy();
            SetMainWnd(nullptr);
        } else {
            StartLinkThread();
            dlg.DoModal();
            StopLinkThread();
        }
    }
    SetMainWnd(nullptr);
    return FALSE;
}

void CRemoteApp::StartLinkThread() {
    if (m_pLinkThread != nullptr) {
        return;  // started once per program
    }
    const uintptr_t hThread =
        ::_beginthreadex(nullptr, 0, LinkThreadEntry, &g_deviceLink, 0, nullptr);
    m_pLinkThread = reinterpret_cast<HANDLE>(hThread);
}

void CRemoteApp::StopLinkThread() {
    if (m_pLinkThread == nullptr || g_deviceLink.m_bRunning == 0) {
        return;
    }
    g_deviceLink.m_bStopRequest = 1;
    for (int i = 0; i < kStopWaits; ++i) {
        Wait(kStopWaitMs);
        if (g_deviceLink.m_bRunning == 0) {
            return;
        }
    }
    AppMessageBox("Serial comm thread still running");
}

void CRemoteApp::Wait(DWORD dwMilliseconds) {
    if (m_sleep) {
        m_sleep(dwMilliseconds);
    } else {
        ::Sleep(dwMilliseconds);
    }
}
