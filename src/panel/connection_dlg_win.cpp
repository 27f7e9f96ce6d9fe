#include "panel/connection_dlg_win.h"

#include <cstring>
#include <utility>

#include "device/device_link.h"
#include "framework/utf16.h"
#include "framework/window_dpi.h"

CConnectionDlg::CConnectionDlg(CWnd* pParent, LinesFn lines)
    : CDialog(IDD, pParent), m_lines(std::move(lines)) {
    if (!m_lines) {
        m_lines = [] { return g_deviceLink.GetPortReasons(); };
    }
}

std::string CConnectionDlg::Text() const {
    std::string strText;
    for (const std::string& strLine : m_lines()) {
        strText += (strText.empty() ? "" : "\r\n") + strLine;
    }
    return strText.empty() ? "No port has been tried yet." : strText;
}

bool CConnectionDlg::CopyLines() {
    // As Unicode text: a line may hold what the system's code page cannot.
    const std::wstring strText = Utf16(Text());
    const size_t cbText = (strText.size() + 1) * sizeof(wchar_t);
    if (!::OpenClipboard(m_hWnd)) {
        return false;
    }
    ::EmptyClipboard();
    bool bCopied = false;
    if (HGLOBAL hMem = ::GlobalAlloc(GMEM_MOVEABLE, cbText)) {
        if (void* pMem = ::GlobalLock(hMem)) {
            std::memcpy(pMem, strText.c_str(), cbText);
            ::GlobalUnlock(hMem);
            // The clipboard owns the memory once it takes it.
            bCopied = ::SetClipboardData(CF_UNICODETEXT, hMem) != nullptr;
        }
        if (!bCopied) {
            ::GlobalFree(hMem);
        }
    }
    ::CloseClipboard();
    return bCopied;
}

bool CConnectionDlg::PreTranslateMessage(MSG* pMsg) {
    // Ctrl+C copies every line, whatever is selected.
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == 'C' &&
        (::GetKeyState(VK_CONTROL) & 0x8000) != 0) {
        CopyLines();
        return true;
    }
    return CDialog::PreTranslateMessage(pMsg);
}

BOOL CConnectionDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // Large and fixed-pitch, so that the bytes of a wrong answer line up.
    LOGFONTA lf = {};
    lf.lfHeight = -::MulDiv(kPointTenths, static_cast<int>(DpiOfWindow(m_hWnd)), 720);
    lf.lfWeight = FW_BOLD;
    lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    ::lstrcpynA(lf.lfFaceName, "Courier New", LF_FACESIZE);
    m_font.CreateFontIndirect(lf);
    ::SendMessageA(GetDlgItem(IDC_CONNECTION_LINES), WM_SETFONT,
                   reinterpret_cast<WPARAM>(m_font.Get()), TRUE);
    Reload();
    SetTimer(IDT_RELOAD, kReloadMs);
    return TRUE;
}

void CConnectionDlg::Reload() {
    // Only a change is shown: a selection the user is making stays.
    const std::string strText = Text();
    if (strText != m_strShown) {
        m_strShown = strText;
        ::SetWindowTextA(GetDlgItem(IDC_CONNECTION_LINES), strText.c_str());
    }
}

LRESULT CConnectionDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == IDT_RELOAD) {
        Reload();
        return 0;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_COPY_LINES) {
        CopyLines();
        return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}
