#include "panel/connection_dlg_win.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "settings/options_section.h"
#include "device/device_link.h"
#include "framework/screen_reader.h"
#include "base/utf16.h"
#include "framework/window_dpi.h"

// A port the settings may store is one the system may name.
static_assert(kMaxPortNumber == CComPort::kMaxPort);

CConnectionDlg::CConnectionDlg(CWnd* pParent, LinesFn lines, PortsFn ports)
    : CDialog(IDD, pParent), m_lines(std::move(lines)), m_ports(std::move(ports)) {
    if (!m_lines) {
        m_lines = [] { return g_deviceLink.GetPortReasons(); };
    }
    if (!m_ports) {
        m_ports = CComPort::ListedPorts;
    }
}

std::vector<std::string> CConnectionDlg::PortEntries(const std::vector<ListedPort>& ports,
                                                     int nChosen, std::vector<int>& entryPorts) {
    std::vector<std::string> entries = {"Port: Automatic"};
    entryPorts = {0};
    bool bChosenListed = nChosen == 0;
    for (const ListedPort& port : ports) {
        entries.push_back("Port: COM" + std::to_string(port.nPort) +
                          (port.bBluetooth ? " (Bluetooth)" : ""));
        entryPorts.push_back(port.nPort);
        bChosenListed = bChosenListed || port.nPort == nChosen;
    }
    if (!bChosenListed) {
        // A chosen adapter that is unplugged stays chosen, and says so.
        const auto at = std::upper_bound(entryPorts.begin() + 1, entryPorts.end(), nChosen);
        entries.insert(entries.begin() + (at - entryPorts.begin()),
                       "Port: COM" + std::to_string(nChosen) + " (not present)");
        entryPorts.insert(at, nChosen);
    }
    return entries;
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
    SetAccessibleName(GetDlgItem(IDC_PORT_CHOICE), "Port");
    Reload();
    SetTimer(IDT_RELOAD, kReloadMs);
    return TRUE;
}

void CConnectionDlg::ReloadPorts() {
    HWND hList = GetDlgItem(IDC_PORT_CHOICE);
    std::vector<ListedPort> ports = SortedPorts(m_ports());
    if ((m_bPortsShown && ports == m_shownPorts) ||
        ::SendMessageA(hList, CB_GETDROPPEDSTATE, 0, 0) != 0) {
        return;  // nothing new, or the user is choosing from the open list
    }
    // The entry selected stays selected, also when it was not applied yet.
    const LRESULT nSelected = ::SendMessageA(hList, CB_GETCURSEL, 0, 0);
    const int nSelectedPort =
        m_bPortsShown && nSelected >= 0 && nSelected < std::ssize(m_entryPorts)
            ? m_entryPorts[static_cast<std::size_t>(nSelected)]
            : g_deviceLink.PortChoice();
    m_shownPorts = std::move(ports);
    m_bPortsShown = true;
    const std::vector<std::string> entries = PortEntries(m_shownPorts, nSelectedPort, m_entryPorts);
    ::SendMessageA(hList, CB_RESETCONTENT, 0, 0);
    for (const std::string& strEntry : entries) {
        ::SendMessageA(hList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(strEntry.c_str()));
    }
    const auto at = std::find(m_entryPorts.begin(), m_entryPorts.end(), nSelectedPort);
    ::SendMessageA(hList, CB_SETCURSEL, static_cast<WPARAM>(at - m_entryPorts.begin()), 0);
}

void CConnectionDlg::ApplyPortChoice() {
    const LRESULT nSelected = ::SendMessageA(GetDlgItem(IDC_PORT_CHOICE), CB_GETCURSEL, 0, 0);
    if (nSelected < 0 || nSelected >= std::ssize(m_entryPorts)) {
        return;
    }
    const int nPort = m_entryPorts[static_cast<std::size_t>(nSelected)];
    if (nPort != g_options.m_nPort || nPort != g_deviceLink.PortChoice()) {
        g_options.m_nPort = nPort;
        g_options.Save();
    }
    g_deviceLink.SetPortChoice(nPort);
}

void CConnectionDlg::Reload() {
    ReloadPorts();
    // Only a change is shown: a selection the user is making stays.
    const std::string strText = Text();
    if (strText != m_strShown) {
        m_strShown = strText;
        ::SetWindowTextW(GetDlgItem(IDC_CONNECTION_LINES), Utf16(strText).c_str());
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
    if ((message == WM_COMMAND && LOWORD(wParam) == IDC_PORT_CHOICE &&
         HIWORD(wParam) == CBN_CLOSEUP) ||
        (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE) {
        ApplyPortChoice();
    }
    return CDialog::WindowProc(message, wParam, lParam);
}
