#include "panel/remote_panel_dlg_win.h"

#include <windowsx.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "settings/options_section.h"
#include "settings/window_pos_section.h"
#include "controls/button_look.h"
#include "device/device_link.h"
#include "framework/dpi_scale.h"
#include "framework/high_contrast.h"
#include "framework/screen_reader.h"
#include "hotkeys/hot_key_settings.h"
#include "hotkeys/setup_dlg_win.h"
#include "panel/about_dlg_win.h"
#include "panel/connection_dlg_win.h"
#include "panel/panel_logic.h"
#include "panel/panel_sound_win.h"

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr const char* kInstanceName = "Tavrel Remote App";

HICON LoadProgramIcon() {
    return ::LoadIconA(ResourceModule(), MAKEINTRESOURCEA(IDI_TAVREL_REMOTE));
}

// The program's icon at nSize pixels square, from the image of that size the
// resource holds rather than another one stretched. Shared: the system keeps
// it for as long as the program runs.
HICON LoadProgramIconSized(int nSize) {
    return static_cast<HICON>(::LoadImageA(ResourceModule(), MAKEINTRESOURCEA(IDI_TAVREL_REMOTE),
                                           IMAGE_ICON, nSize, nSize, LR_DEFAULTCOLOR | LR_SHARED));
}

// A child control's window rectangle in the client coordinates of hParent.
RECT ChildRect(HWND hParent, HWND hChild) {
    RECT rc = {};
    ::GetWindowRect(hChild, &rc);
    ::MapWindowPoints(nullptr, hParent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

BOOL CALLBACK PassSysColorChange(HWND hChild, LPARAM) {
    ::SendMessageA(hChild, WM_SYSCOLORCHANGE, 0, 0);
    return TRUE;
}

COLORREF ToColorRef(panel_logic::ColorRef cr) {
    return static_cast<COLORREF>(cr);
}

// The system's colours the status label takes while high contrast is on;
// nothing while it is off.
std::optional<panel_logic::SystemColors> HighContrastColors() {
    if (!IsHighContrastOn()) {
        return std::nullopt;
    }
    return panel_logic::SystemColors{::GetSysColor(COLOR_WINDOW), ::GetSysColor(COLOR_WINDOWTEXT),
                                     ::GetSysColor(COLOR_HIGHLIGHT),
                                     ::GetSysColor(COLOR_HIGHLIGHTTEXT)};
}

// The black frames behind the bars and buttons; in the text's colour while
// high contrast is on, around controls on the window's colour.
COLORREF FrameColor() {
    return IsHighContrastOn() ? ::GetSysColor(COLOR_WINDOWTEXT) : kBlack;
}

}  // namespace

CRemotePanelDlg::CRemotePanelDlg(CWnd* pParent)
    : CSkinnedDialog(IDD, pParent), m_instanceChecker(kInstanceName) {
    m_hIcon = LoadProgramIcon();
}

CRemotePanelDlg::~CRemotePanelDlg() = default;

void CRemotePanelDlg::DoDataExchange() {
    BindControl(IDC_WINDOW_BUTTON, m_btnWindow);
    BindControl(IDC_LINES_BUTTON, m_btnLines);
    BindControl(IDC_OPTIONS_BUTTON, m_btnOptions);
    BindControl(IDC_POSITION_BAR, m_barPosition);
    BindControl(IDC_WIDTH_BAR, m_barWidth);
    BindControl(IDC_POSITION_TITLE, m_lblPositionTitle);
    BindControl(IDC_WIDTH_TITLE, m_lblWidthTitle);
    BindControl(IDC_STATUS, m_lblStatus);
    BindControl(IDC_CONNECTION_TITLE, m_lblConnectionTitle);
    BindControl(IDC_DEBUG_INFO, m_lblDebugInfo);
    BindControl(IDC_POSITION_FRAME, m_lblPositionFrame);
    BindControl(IDC_WIDTH_FRAME, m_lblWidthFrame);
    BindControl(IDC_WINDOW_FRAME, m_lblWindowFrame);
    BindControl(IDC_LINES_FRAME, m_lblLinesFrame);
    BindControl(IDC_OPTIONS_FRAME, m_lblOptionsFrame);
}

BOOL CRemotePanelDlg::OnInitDialog() {
    CSkinnedDialog::OnInitDialog();
    // A later start finds this window and raises it; the start-up lock the
    // application took is released here.
    m_instanceChecker.RegisterFirstCopy();
    m_bExiting = FALSE;

    // A plain white background, keeping the rectangular outline.
    SetBitmap(static_cast<WORD>(IDB_PANEL_BACKGROUND), kNoTransparentColour);
    SetBitmapStyle(0, 1);

    if (HMENU hSysMenu = ::GetSystemMenu(m_hWnd, FALSE)) {
        char szAbout[256] = {};
        ::LoadStringA(ResourceModule(), IDS_ABOUTBOX, szAbout, sizeof szAbout);
        if (szAbout[0] != '\0') {
            ::AppendMenuA(hSysMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuA(hSysMenu, MF_STRING, IDM_ABOUTBOX, szAbout);
        }
    }
    SetWindowIcons(DpiOfWindow(m_hWnd));

    g_options.Load();  // the levels of the last run, for the bars
    m_wndWarning.Create(this);
    SetUpLabels();
    SetUpButtons();
    SetUpFrames(DpiOfWindow(m_hWnd));
    SetUpBars();
    NameForScreenReaders();
    ApplyContrast(FALSE);
    m_layout.Record(m_hWnd);

    g_hotKeySettings.Load();
    g_hotKeySettings.RegisterAll(this);
    SetUpTray();
    g_mainWindowPos.LoadAndPlace(*this);
    ApplyOptions();

    if (m_bHideAtStart) {
        SetTimer(IDT_HIDE_AT_START, kHideAtStartMs);
    }
    // No clock: the link says when there is something new to show.
    const HWND hWnd = m_hWnd;
    g_deviceLink.SetChangeNotify([hWnd] { ::PostMessageA(hWnd, kLinkChanged, 0, 0); });
    return TRUE;
}

void CRemotePanelDlg::SetUpLabels() {
    for (CTextLabel* pTitle : {&m_lblPositionTitle, &m_lblWidthTitle}) {
        pTitle->SetFontBold(TRUE, FALSE);
        pTitle->SetFontFace("Arial", 18, FALSE);
        pTitle->m_bTransparent = TRUE;
    }
    // Its colours and text come with the panel's contrast (ApplyContrast).
    m_lblStatus.SetFontBold(TRUE, FALSE);
    m_lblStatus.SetFontFace("Arial", 11, FALSE);
    m_lblConnectionTitle.SetFontBold(TRUE, FALSE);
    m_lblConnectionTitle.SetFontFace("Arial", 11, FALSE);
    m_lblConnectionTitle.m_bTransparent = TRUE;
    m_lblDebugInfo.SetFontBold(TRUE, FALSE);
    m_lblDebugInfo.SetFontFace("Courier", 10, FALSE);
}

void CRemotePanelDlg::SetWindowIcons(UINT nDpi) {
    // The large icon is the system's size at its own scale (LoadIcon picks
    // that image); the small one is picked for the panel's screen, so that
    // the caption never shows the large image shrunk.
    m_hIconSmall = LoadProgramIconSized(SystemMetricForDpi(SM_CXSMICON, nDpi));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL,
                reinterpret_cast<LPARAM>(m_hIconSmall != nullptr ? m_hIconSmall : m_hIcon));
}

void CRemotePanelDlg::SetButtonFont(UINT nDpi) {
    // 18 points, given in tenths of a point: the pixel height for the
    // vertical resolution of the panel's screen, with integer division.
    LOGFONTA lf = {};
    lf.lfHeight = -(static_cast<LONG>(nDpi) * 180 / 720);
    lf.lfWeight = FW_BOLD;
    lf.lfQuality = PROOF_QUALITY;
    lstrcpynA(lf.lfFaceName, "Arial", LF_FACESIZE);
    CFont font;
    font.CreateFontIndirect(lf);
    for (CHoverButton* pButton : {&m_btnWindow, &m_btnLines, &m_btnOptions}) {
        pButton->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
    }
    // The buttons no longer use the old font when it goes.
    m_fontButtons = std::move(font);
}

void CRemotePanelDlg::SetUpButtons() {
    SetButtonColors();
    const std::pair<CHoverButton*, const char*> tips[] = {
        {&m_btnWindow, "Change Window Mode"},
        {&m_btnLines, "Change Line Marker Mode"},
        {&m_btnOptions, "Change Video Mode"},
    };
    for (const auto& [pButton, pszTip] : tips) {
        pButton->SetTipText(pszTip, TRUE);
    }
    SetButtonFont(DpiOfWindow(m_hWnd));
}

void CRemotePanelDlg::SetButtonColors() {
    struct Look {
        CHoverButton& button;
        COLORREF crFace;
        COLORREF crHover;
    };
    const Look looks[] = {
        {m_btnWindow, RGB(255, 255, 160), RGB(255, 255, 200)},
        {m_btnLines, RGB(180, 220, 255), RGB(220, 240, 255)},
        {m_btnOptions, RGB(255, 200, 255), RGB(255, 220, 255)},
    };
    for (const Look& look : looks) {
        look.button.SetStateColor(button_look::BTNCOLOR_FACE, look.crFace, TRUE);
        look.button.SetStateColor(button_look::BTNCOLOR_FACE_FOCUS, look.crFace, TRUE);
        look.button.SetStateColor(button_look::BTNCOLOR_FACE_HOT, look.crHover, TRUE);
    }
}

std::array<CTextLabel*, 5> CRemotePanelDlg::Frames() {
    return {&m_lblPositionFrame, &m_lblWidthFrame, &m_lblWindowFrame, &m_lblLinesFrame,
            &m_lblOptionsFrame};
}

void CRemotePanelDlg::SetUpFrames(UINT nDpi) {
    // Each bar and button stands on a black rectangle a margin wider.
    const std::pair<CWnd*, CTextLabel*> frames[] = {
        {&m_barPosition, &m_lblPositionFrame}, {&m_barWidth, &m_lblWidthFrame},
        {&m_btnWindow, &m_lblWindowFrame},     {&m_btnLines, &m_lblLinesFrame},
        {&m_btnOptions, &m_lblOptionsFrame},
    };
    const int nMargin = dpi_scale::ScaleForDpi(kFrameMargin, static_cast<int>(nDpi));
    for (const auto& [pControl, pFrame] : frames) {
        RECT rc = ChildRect(m_hWnd, pControl->m_hWnd);
        ::InflateRect(&rc, nMargin, nMargin);
        pFrame->SetBkColor(FrameColor(), FALSE);
        ::MoveWindow(pFrame->m_hWnd, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
    }
}

void CRemotePanelDlg::ApplyContrast(BOOL bRedraw) {
    // The labels' text in the window text's colour while high contrast is
    // on (the titles stay transparent, on the window's colour then, so the
    // frames beneath them keep their edges); otherwise in the button text's
    // colour, as they start.
    for (CTextLabel* pLabel :
         {&m_lblPositionTitle, &m_lblWidthTitle, &m_lblConnectionTitle, &m_lblDebugInfo}) {
        pLabel->SetTextColor(LabelTextColor(), FALSE);
        pLabel->SetBkColor(LabelBackColor(), FALSE);
    }
    // A change of the system's colours resets the buttons to the system's;
    // with high contrast off they take their own again (with it on they
    // draw in the system's whatever they hold).
    SetButtonColors();
    for (CTextLabel* pFrame : Frames()) {
        pFrame->SetBkColor(FrameColor(), FALSE);
    }
    ShowStatusLook(m_nShownStatus);
    if (bRedraw) {
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
}

void CRemotePanelDlg::SetUpBars() {
    for (CWnd* pBar : {&m_barPosition, &m_barWidth}) {
        ::SetScrollRange(pBar->m_hWnd, SB_CTL, panel_logic::LEVEL_MIN, panel_logic::LEVEL_MAX,
                         TRUE);
    }
    ::SetScrollPos(m_barPosition.m_hWnd, SB_CTL, g_options.m_nPosition, TRUE);
    ::SetScrollPos(m_barWidth.m_hWnd, SB_CTL, g_options.m_nWidth, TRUE);
    StoreLevels();
}

void CRemotePanelDlg::SaveLevels() {
    KillTimer(IDT_SAVE_LEVELS);
    m_bLevelsToSave = false;
    const int nPosition = ::GetScrollPos(m_barPosition.m_hWnd, SB_CTL);
    const int nWidth = ::GetScrollPos(m_barWidth.m_hWnd, SB_CTL);
    if (nPosition != g_options.m_nPosition || nWidth != g_options.m_nWidth) {
        g_options.m_nPosition = nPosition;
        g_options.m_nWidth = nWidth;
        g_options.Save();
    }
}

void CRemotePanelDlg::NameForScreenReaders() {
    // The bars would be named after their titles by the template's order
    // alone; the status is named after its title and tells its text as value
    // (SetStatusLook).
    SetAccessibleName(m_barPosition.m_hWnd, "Position");
    SetAccessibleName(m_barWidth.m_hWnd, "Width");
    SetAccessibleName(m_lblStatus.m_hWnd, "Connection Status");
    for (CTextLabel* pFrame : Frames()) {
        HideFromScreenReaders(pFrame->m_hWnd);
    }
}

void CRemotePanelDlg::SetUpTray() {
    // Not connected until the link says otherwise.
    m_tray.CreateTrayIcon(nullptr, kTrayCallback, panel_logic::TrayTip(false, 0).c_str(),
                          TrayIcon(false), kTrayId, FALSE);
    m_tray.SetDefaultItem(ID_MAXIMIZE, FALSE);
}

HICON CRemotePanelDlg::TrayIcon(bool bConnected) {
    return CSystemTray::LoadIconForTray(
        ResourceModule(), MAKEINTRESOURCEA(bConnected ? IDI_TAVREL_REMOTE : IDI_NOT_DETECTED));
}

void CRemotePanelDlg::ShowTrayState(bool bConnected) {
    m_tray.ChangeTrayIcon(TrayIcon(bConnected),
                          panel_logic::TrayTip(bConnected, g_deviceLink.CurrentPort()).c_str());
}

void CRemotePanelDlg::StoreLevels() {
    g_deviceLink.SetLevels(panel_logic::LevelByte(::GetScrollPos(m_barPosition.m_hWnd, SB_CTL)),
                           panel_logic::LevelByte(::GetScrollPos(m_barWidth.m_hWnd, SB_CTL)));
}

void CRemotePanelDlg::WarnIfNotDetected(panel_logic::PanelSound nHeardIfConnected) {
    const bool bConnected = g_deviceLink.IsConnected();
    if (!bConnected) {
        m_wndWarning.Show();
        SetTimer(IDT_HIDE_WARNING, kHideWarningMs);
    }
    if (g_options.m_bSounds && nHeardIfConnected != panel_logic::SOUND_NONE) {
        PlayPanelSound(bConnected ? nHeardIfConnected : panel_logic::SOUND_NOT_DETECTED);
    }
}

void CRemotePanelDlg::OnButton(const HotKeyAction& action) {
    g_deviceLink.PressButton(action.button);
    WarnIfNotDetected();
}

void CRemotePanelDlg::OnHScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar) {
    panel_logic::PanelSound nSound = panel_logic::SOUND_NONE;
    if (pScrollBar != nullptr && pScrollBar->m_hWnd != nullptr) {
        HWND hBar = pScrollBar->m_hWnd;
        int nMin = 0;
        int nMax = 0;
        ::GetScrollRange(hBar, SB_CTL, &nMin, &nMax);
        const int nCurrent = ::GetScrollPos(hBar, SB_CTL);
        const std::optional<int> next = panel_logic::ScrollTo(
            static_cast<int>(nSBCode), static_cast<int>(nPos), nCurrent, nMin, nMax);
        // The bar repaints after the record has the level: the link sends
        // while the screen is drawn, not after it.
        ::SetScrollPos(hBar, SB_CTL, next.value_or(nCurrent), FALSE);
        StoreLevels();
        // Kept for the next start, not at every step: the first change starts
        // the wait, and what the bars show then is stored.
        if (next && *next != nCurrent && !m_bLevelsToSave) {
            m_bLevelsToSave = true;
            SetTimer(IDT_SAVE_LEVELS, kSaveLevelsMs);
        }
        ::InvalidateRect(hBar, nullptr, FALSE);
        nSound = panel_logic::SoundOfScroll(static_cast<int>(nSBCode), nCurrent, nMin, nMax);
    } else {
        StoreLevels();
    }
    WarnIfNotDetected(nSound);
}

bool CRemotePanelDlg::PreTranslateMessage(MSG* pMsg) {
    if (OnPanelKey(*pMsg)) {
        return true;
    }
    // Enter and Esc would end the panel, space, the arrows and the page keys
    // would work its buttons and bars: the dialog manager never sees them.
    if (panel_logic::IsSwallowedKeyMessage(pMsg->message, pMsg->wParam)) {
        return true;
    }
    return CSkinnedDialog::PreTranslateMessage(pMsg);
}

bool CRemotePanelDlg::OnCommand(UINT nId) {
    if (const HotKeyAction* pAction = ActionOfButton(static_cast<int>(nId))) {
        OnButton(*pAction);
        return true;
    }
    switch (nId) {
        case ID_ABOUT: {
            CAboutDlg about(this);
            about.DoModal();
            return true;
        }
        case ID_CONNECTION_DETAILS: {
            CConnectionDlg details(this);
            details.DoModal();
            return true;
        }
        case ID_MAXIMIZE:
            ShowWindow(SW_SHOW);
            return true;
        case ID_MINIMIZE:
            ShowWindow(SW_HIDE);
            return true;
        case ID_EXIT:
            OnExit();
            return true;
        case ID_HOTKEYS:
            OnHotKeysCommand();
            return true;
        case ID_KEYBOARD_CONTROL:
        case ID_SOUNDS:
            OnOptionCommand(nId);
            return true;
        default:
            return false;
    }
}

bool CRemotePanelDlg::OnPanelKey(const MSG& msg) {
    constexpr LPARAM kAltDown = LPARAM{1} << 29;
    constexpr LPARAM kRepeat = LPARAM{1} << 30;
    const bool bRepeat = (msg.lParam & kRepeat) != 0;
    if (msg.message == WM_SYSKEYDOWN && (msg.lParam & kAltDown) != 0) {
        // Taken before the dialog manager matches the captions, so each press
        // is one click whether or not a caption marks its letter.
        const HotKeyAction* pAction = ActionOfAccessKey(static_cast<unsigned>(msg.wParam));
        const UINT nId = pAction != nullptr ? static_cast<UINT>(pAction->nButtonId) : 0;
        if (nId != 0 && !bRepeat) {
            ClickButton(nId);
        }
        return nId != 0;
    }
    if (msg.message == WM_CHAR) {
        // Nothing on the panel takes typing, and the dialog manager would
        // take a plain letter for a button's access key: a stray key press
        // never works the magnifier.
        return true;
    }
    if (msg.message != WM_KEYDOWN || !g_options.m_bKeyboardControl) {
        return false;
    }
    HWND hFocus = ::GetFocus();
    if (msg.wParam == VK_SPACE || msg.wParam == VK_RETURN) {
        // One press per stroke, as a button pressed with the mouse.
        for (CHoverButton* pButton : {&m_btnWindow, &m_btnLines, &m_btnOptions}) {
            if (hFocus == pButton->m_hWnd && hFocus != nullptr) {
                if (!bRepeat) {
                    ClickButton(static_cast<UINT>(::GetDlgCtrlID(hFocus)));
                }
                return true;
            }
        }
        return false;
    }
    const std::optional<int> code = panel_logic::ScrollCodeOfKey(static_cast<unsigned>(msg.wParam));
    for (CWnd* pBar : {&m_barPosition, &m_barWidth}) {
        if (code && hFocus == pBar->m_hWnd && hFocus != nullptr) {
            OnHScroll(static_cast<UINT>(*code), 0, pBar);
            return true;
        }
    }
    return false;
}

void CRemotePanelDlg::ClickButton(UINT nId) {
    SendMessage(WM_COMMAND, MAKEWPARAM(nId, BN_CLICKED),
                reinterpret_cast<LPARAM>(::GetDlgItem(m_hWnd, static_cast<int>(nId))));
}

void CRemotePanelDlg::OnOptionCommand(UINT nId) {
    bool& bOption = nId == ID_SOUNDS ? g_options.m_bSounds : g_options.m_bKeyboardControl;
    bOption = !bOption;
    g_options.Save();
    ApplyOptions();
}

void CRemotePanelDlg::ApplyOptions() {
    HMENU hMenu = ::GetMenu(m_hWnd);
    ::CheckMenuItem(hMenu, ID_KEYBOARD_CONTROL,
                    MF_BYCOMMAND | (g_options.m_bKeyboardControl ? MF_CHECKED : MF_UNCHECKED));
    ::CheckMenuItem(hMenu, ID_SOUNDS,
                    MF_BYCOMMAND | (g_options.m_bSounds ? MF_CHECKED : MF_UNCHECKED));
    for (CWnd* pBar : {&m_barPosition, &m_barWidth}) {
        const LONG_PTR nStyle = ::GetWindowLongPtrA(pBar->m_hWnd, GWL_STYLE);
        ::SetWindowLongPtrA(
            pBar->m_hWnd, GWL_STYLE,
            g_options.m_bKeyboardControl ? nStyle | WS_TABSTOP : nStyle & ~LONG_PTR{WS_TABSTOP});
        if (!g_options.m_bKeyboardControl && ::GetFocus() == pBar->m_hWnd) {
            // A bar the keys no longer move keeps no focus.
            SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_btnWindow.m_hWnd), TRUE);
        }
    }
}

void CRemotePanelDlg::OnHotKeysCommand() {
    // The tray's menu still works while the dialog is open: a second
    // "Hot Keys..." brings the open dialog forward instead of nesting another
    // one, which would take the keys back while the first is still open.
    static CSetupDlg* s_pOpen = nullptr;
    if (s_pOpen != nullptr) {
        if (s_pOpen->m_hWnd != nullptr) {
            ::SetForegroundWindow(s_pOpen->m_hWnd);
        }
        return;
    }
    // Free the keys while they are being chosen again, then take the ones
    // the settings now hold: saved after OK, reloaded after Cancel.
    g_hotKeySettings.UnregisterAll();
    {
        CSetupDlg dlg(this);
        s_pOpen = &dlg;
        dlg.DoModal();
        s_pOpen = nullptr;
    }
    if (m_hWnd != nullptr) {
        g_hotKeySettings.RegisterAll(this);
    }
}

void CRemotePanelDlg::OnHotKey(UINT nId, UINT /*nModifiers*/, UINT nVirtKey) {
    const bool bLooking = m_strokes.AnyHeld();
    if (!m_strokes.Press(static_cast<int>(nId), nVirtKey,
                         static_cast<std::int64_t>(::GetTickCount64()))) {
        return;
    }
    if (!bLooking && m_strokes.AnyHeld()) {
        SetTimer(IDT_HELD_KEYS, CHotKeyStrokes::kLookMs);
    }
    const HotKeyAction* pAction = ActionOfHotKey(static_cast<int>(nId));
    if (pAction == nullptr) {
        return;
    }
    CWnd* pBar = pAction->nBarId == IDC_POSITION_BAR ? &m_barPosition : &m_barWidth;
    switch (pAction->kind) {
        case ActionKind::ShowPanel:
            Popup();
            break;
        case ActionKind::Press:
            OnButton(*pAction);
            break;
        case ActionKind::Step:
            OnHScroll(pAction->nStep < 0 ? SB_LINELEFT : SB_LINERIGHT, 0, pBar);
            break;
    }
    // A screen reader's user hears what the key did, also with the panel hidden.
    const std::string strSaid =
        panel_logic::HotKeyAnnouncement(*pAction, ::GetScrollPos(pBar->m_hWnd, SB_CTL));
    if (!strSaid.empty() && IsScreenReaderRunning()) {
        RaiseUiaNotification(m_hWnd, strSaid, L"Tavrel Plus Remote hot key");
    }
}

void CRemotePanelDlg::Popup() {
    ShowWindow(SW_SHOW);
    // The system gives the foreground only to the thread that has the input;
    // share the foreground window's input for the moment of the switch.
    const DWORD dwForegroundThread = ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr);
    ::AttachThreadInput(dwForegroundThread, ::GetCurrentThreadId(), TRUE);
    ::SetForegroundWindow(m_hWnd);
    ::SetFocus(m_hWnd);
    ::AttachThreadInput(dwForegroundThread, ::GetCurrentThreadId(), FALSE);
}

bool CRemotePanelDlg::OnSysCommand(UINT nId) {
    if (nId == SC_MINIMIZE) {
        ShowWindow(SW_HIDE);
        return true;
    }
    if ((nId & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.DoModal();
        return true;
    }
    return false;
}

void CRemotePanelDlg::OnLButtonDown(LPARAM lParam) {
    if ((::GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0) {
        m_lblDebugInfo.ShowWindow(::IsWindowVisible(m_lblDebugInfo.m_hWnd) ? SW_HIDE : SW_SHOW);
        RefreshDebugInfo();
        return;
    }
    Default();
    // Drag the panel by any point of its background. A non-client message
    // carries its point in screen coordinates; the click's is the client's.
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ClientToScreen(m_hWnd, &pt);
    PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
}

bool CRemotePanelDlg::OnClose() {
    if (!m_bExiting) {
        ShowWindow(SW_HIDE);
        return false;
    }
    return true;
}

void CRemotePanelDlg::OnExit() {
    if (m_bExiting) {
        return;
    }
    m_bExiting = TRUE;
    g_deviceLink.RequestStop();
    // Nothing of the program stays on the screen while the link thread ends:
    // a port whose open or write hangs may hold it for seconds.
    KillTimer(IDT_HIDE_WARNING);
    m_wndWarning.ShowWindow(SW_HIDE);
    ShowWindow(SW_HIDE);
    m_tray.RemoveTrayIcon();
    PostMessage(WM_CLOSE, 0, 0);
}

void CRemotePanelDlg::OnTimer(UINT_PTR nIdEvent) {
    switch (nIdEvent) {
        case IDT_HIDE_AT_START:
            KillTimer(IDT_HIDE_AT_START);
            ShowWindow(SW_HIDE);
            break;
        case IDT_SAVE_LEVELS:
            SaveLevels();
            break;
        case IDT_HIDE_WARNING:
            // Once: a press meanwhile has started it again for its own 1.5 s.
            KillTimer(IDT_HIDE_WARNING);
            m_wndWarning.ShowWindow(SW_HIDE);
            break;
        case IDT_HELD_KEYS:
            LookAtHeldKeys();
            break;
        default:
            break;
    }
}

void CRemotePanelDlg::LookAtHeldKeys() {
    // The keys first, then the queue: a hot key posted before its key went
    // up is in the queue by then.
    m_strokes.Look(
        static_cast<std::int64_t>(::GetTickCount64()),
        [](unsigned nKey) { return (::GetAsyncKeyState(static_cast<int>(nKey)) & 0x8000) != 0; },
        [this] {
            MSG msg;
            return ::PeekMessageA(&msg, m_hWnd, WM_HOTKEY, WM_HOTKEY, PM_NOREMOVE | PM_NOYIELD) !=
                   FALSE;
        });
    if (!m_strokes.AnyHeld()) {
        KillTimer(IDT_HELD_KEYS);
    }
}

void CRemotePanelDlg::OnLinkChanged() {
    // Taken first: a change from now on posts the next notice.
    g_deviceLink.ChangeNotifyTaken();
    RefreshStatus();
    RefreshDebugInfo();
}

void CRemotePanelDlg::RefreshStatus() {
    std::string strStatus;
    int nStatus = LINK_STARTING;
    if (!g_deviceLink.GetStatus(strStatus, nStatus)) {
        return;  // unchanged: the label keeps what it shows and is not repainted
    }
    m_nShownStatus = nStatus;
    m_strShownStatus = strStatus;
    ShowStatusLook(nStatus);
    ShowConnected(nStatus == LINK_CONNECTED);
    if (nStatus == LINK_CONNECTED && g_deviceLink.RememberedPort() != g_options.m_nLastPort) {
        // Tried first at the next start and after a loss.
        g_options.m_nLastPort = g_deviceLink.RememberedPort();
        g_options.Save();
    }
}

void CRemotePanelDlg::ShowConnected(bool bConnected) {
    // Only a real change is shown and told: the label repaints at every port
    // tried while searching, which says nothing new, and an icon that
    // changed at each would flicker.
    if (bConnected == m_bShownConnected) {
        return;
    }
    m_bShownConnected = bConnected;
    ShowTrayState(bConnected);
    ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, m_lblStatus.m_hWnd, OBJID_CLIENT, CHILDID_SELF);
    RaiseUiaNotification(m_lblStatus.m_hWnd, panel_logic::ConnectionAnnouncement(
                                                 bConnected, g_deviceLink.CurrentPort()));
}

void CRemotePanelDlg::ShowStatusLook(int nStatus) {
    const std::optional<panel_logic::SystemColors> contrast = HighContrastColors();
    const panel_logic::SystemColors* pContrast = contrast ? &*contrast : nullptr;
    SetStatusLook(nStatus == kStatusInitial
                      ? panel_logic::InitialStatusLook(pContrast)
                      : panel_logic::StatusLookOf(nStatus, m_strShownStatus, pContrast));
}

void CRemotePanelDlg::SetStatusLook(const panel_logic::StatusLook& look) {
    m_lblStatus.SetTextColor(ToColorRef(look.crText), FALSE);
    m_lblStatus.SetBkColor(ToColorRef(look.crBack), TRUE);
    m_lblStatus.SetText(look.strText);
    SetAccessibleValue(m_lblStatus.m_hWnd, look.strText);
}

void CRemotePanelDlg::RefreshDebugInfo() {
    if (!::IsWindowVisible(m_lblDebugInfo.m_hWnd)) {
        return;
    }
    // Copies taken under the record's lock: the label repaints after it is
    // released, so the link thread never waits for a paint. While searching,
    // the scan's notices come every few hundred milliseconds; the reason
    // shown moves on with the time.
    m_lblDebugInfo.SetText(panel_logic::DebugLine(g_deviceLink.GetDebugInfo(),
                                                  g_deviceLink.GetPortReasons(),
                                                  g_deviceLink.IsConnected(), ::GetTickCount()));
}

void CRemotePanelDlg::OnDpiChanged(UINT nDpi, LPARAM lParam) {
    MoveToSuggestedRect(m_hWnd, lParam);
    // The system may have laid the template out again itself; the panel's
    // own record makes the result the same wherever it runs.
    m_layout.Apply(m_hWnd, nDpi);
    SetButtonFont(nDpi);
    for (CTextLabel* pLabel : {&m_lblPositionTitle, &m_lblWidthTitle, &m_lblStatus,
                               &m_lblConnectionTitle, &m_lblDebugInfo}) {
        pLabel->RescaleFont(nDpi, FALSE);
    }
    for (CTextLabel* pFrame : Frames()) {
        pFrame->RescaleFont(nDpi, FALSE);
    }
    SetUpFrames(nDpi);
    SetWindowIcons(nDpi);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CRemotePanelDlg::OnPaintIconic() {
    PAINTSTRUCT ps;
    HDC hdc = ::BeginPaint(m_hWnd, &ps);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0);
    const RECT rc = GetClientRect();
    const int x = (rc.right - rc.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (rc.bottom - rc.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(hdc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &ps);
}

void CRemotePanelDlg::OnDestroy() {
    if (m_bLevelsToSave) {
        SaveLevels();
    }
    g_deviceLink.SetChangeNotify(nullptr);
    g_hotKeySettings.UnregisterAll();
    g_mainWindowPos.SaveFrom(*this);
}

LRESULT CRemotePanelDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (OnCommand(LOWORD(wParam))) {
                return 0;
            }
            break;
        case WM_SYSCOMMAND:
            if (OnSysCommand(static_cast<UINT>(wParam))) {
                return 0;
            }
            break;
        case WM_HSCROLL: {
            CWnd* pBar = CWnd::FromHandle(reinterpret_cast<HWND>(lParam));
            if (pBar == &m_barPosition || pBar == &m_barWidth) {
                OnHScroll(LOWORD(wParam), HIWORD(wParam), pBar);
            }
            break;
        }
        case WM_LBUTTONDOWN:
            OnLButtonDown(lParam);
            return 0;
        case WM_CLOSE:
            if (!OnClose()) {
                return 0;
            }
            break;
        case WM_TIMER:
            OnTimer(static_cast<UINT_PTR>(wParam));
            break;
        case kLinkChanged:
            OnLinkChanged();
            return 0;
        case WM_PAINT:
            if (::IsIconic(m_hWnd)) {
                OnPaintIconic();
                return 0;
            }
            break;
        case WM_HOTKEY:
            OnHotKey(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_DPICHANGED:
            OnDpiChanged(HIWORD(wParam), lParam);
            return 0;
        case WM_SYSCOLORCHANGE:
            // The system tells top-level windows only; the buttons drop their
            // colours for the system's when they hear of it, and the panel
            // then colours everything anew for the contrast now.
            ::EnumChildWindows(m_hWnd, PassSysColorChange, 0);
            ApplyContrast(TRUE);
            break;
        case WM_SETTINGCHANGE:
            if (wParam == SPI_SETHIGHCONTRAST) {
                ApplyContrast(TRUE);
            }
            break;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<LRESULT>(m_hIcon);
        case WM_DESTROY:
            OnDestroy();
            break;
        default:
            break;
    }
    return CSkinnedDialog::WindowProc(message, wParam, lParam);
}
