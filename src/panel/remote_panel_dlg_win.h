// The remote panel: the program's main window, through which the user works
// the magnifier. It runs modally on the UI thread for the whole life of the
// program, mostly hidden behind its tray icon. It never touches the serial
// port: button presses and bar positions go to g_deviceLink for the link
// thread, and the link tells the panel when the connection state changed.
// While Windows' high contrast is on it draws only in the system's colours,
// and it follows a switch of it at once.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "panel/instance_checker_win.h"
#include "controls/hover_button.h"
#include "base/gdi_win.h"
#include "framework/window_dpi.h"
#include "hotkeys/actions.h"
#include "hotkeys/hot_key_strokes.h"
#include "panel/panel_logic.h"
#include "skin/popup_warning_win.h"
#include "skin/skinned_dialog_win.h"
#include "skin/text_label_win.h"
#include "resource.h"
#include "tray/system_tray.h"

class CRemotePanelDlg : public CSkinnedDialog {
  public:
    static constexpr UINT IDD = IDD_REMOTE_PANEL;

    // The panel's timers.
    enum : UINT_PTR {
        IDT_HIDE_AT_START = 1001,  // 100 ms, once, unless started with "-show"
        IDT_HIDE_WARNING = 1004,   // 1500 ms, once, takes the not-detected warning down
        IDT_HELD_KEYS = 1005,      // CHotKeyStrokes::kLookMs, while a hot key is held
        IDT_SAVE_LEVELS = 1006,    // 1000 ms, once, after a change of the levels
    };
    static constexpr UINT kHideAtStartMs = 100;
    static constexpr UINT kHideWarningMs = 1500;
    // The levels are stored at most this often while a bar is dragged or a
    // step key held, and this long after the last change.
    static constexpr UINT kSaveLevelsMs = 1000;
    // The tray icon's callback message and id (the id also names its menu).
    static constexpr UINT kTrayCallback = WM_APP + 10;
    static constexpr UINT kTrayId = IDR_TRAY_MENU;
    // The notification area's icon of the link's state: the program's own
    // while connected, the crossed-out one while not; at the tray's size.
    static HICON TrayIcon(bool bConnected);
    // Posted by the link thread when its status or debug line changed; at
    // most one waits in the queue.
    static constexpr UINT kLinkChanged = WM_APP + 12;
    // The black frames stand this much wider than their control on every
    // side, in pixels at 96 dots per inch; they follow the screen's scale.
    static constexpr int kFrameMargin = 6;

    explicit CRemotePanelDlg(CWnd* pParent = nullptr);
    ~CRemotePanelDlg() override;

    // A press of a mode button (WINDOW, LINES, OPTIONS: the action's row),
    // from its click, its access key or its hot key: the press waits in the
    // record until the link thread sends it; the warning shows while no
    // magnifier answers.
    void OnButton(const HotKeyAction& action);
    // Moves pScrollBar (m_barPosition or m_barWidth) by the scroll code and
    // stores both bars' positions in the record.
    void OnHScroll(UINT nSBCode, UINT nPos, CWnd* pScrollBar);
    // Shows the warning and restarts its 1.5 s count while not connected.
    // With Sounds on, the not-detected sound then, and nHeardIfConnected
    // otherwise.
    void WarnIfNotDetected(panel_logic::PanelSound nHeardIfConnected = panel_logic::SOUND_SENT);

    bool PreTranslateMessage(MSG* pMsg) override;

    CInstanceChecker m_instanceChecker;
    BYTE m_bHideAtStart = TRUE;  // FALSE when started with "-show"
    HICON m_hIcon = nullptr;
    HICON m_hIconSmall = nullptr;  // the caption's icon at the small size of the panel's screen
    CFont m_fontButtons;
    CSystemTray m_tray;
    BYTE m_bExiting = FALSE;  // set by Exit; WM_CLOSE then really closes
    CHoverButton m_btnWindow, m_btnLines, m_btnOptions;
    CWnd m_barPosition, m_barWidth;
    CTextLabel m_lblPositionTitle, m_lblWidthTitle, m_lblStatus, m_lblConnectionTitle;
    CPopupWarning m_wndWarning;
    CTextLabel m_lblDebugInfo;
    CTextLabel m_lblPositionFrame, m_lblWidthFrame, m_lblWindowFrame, m_lblLinesFrame,
        m_lblOptionsFrame;
    CDpiLayout m_layout;             // the controls' places, to carry to a screen of another scale
    bool m_bLevelsToSave = false;    // a change of the levels waits for IDT_SAVE_LEVELS
    bool m_bShownConnected = false;  // the link's state the icon shows and readers were told
    // The link status the status label shows (kStatusInitial before the
    // first refresh) and its text, to show it again in other colours.
    static constexpr int kStatusInitial = -1;
    int m_nShownStatus = kStatusInitial;
    std::string m_strShownStatus;
    CHotKeyStrokes m_strokes;  // which hot-key presses act

  protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // WM_COMMAND from a control or a menu; true when the panel handled it.
    bool OnCommand(UINT nId);
    // WM_SYSCOMMAND; true when the panel handled it.
    bool OnSysCommand(UINT nId);
    void OnLButtonDown(LPARAM lParam);
    void OnTimer(UINT_PTR nIdEvent);
    // kLinkChanged: the status and debug labels brought up to date.
    void OnLinkChanged();
    // WM_CLOSE: true when the default processing (the end of the dialog) may
    // run: after Exit; otherwise the panel only hides.
    bool OnClose();
    // Exit: the link thread is asked to stop, and the panel, the warning and
    // the tray icon go at once; the application then waits for the thread,
    // a bounded time, after the panel has ended.
    void OnExit();
    void OnPaintIconic();
    void OnDestroy();
    void OnHotKeysCommand();
    // WM_HOTKEY: the action of hot-key id nId (HOTKEY_POPUP to HOTKEY_WIDTHUP),
    // through the same handler as the panel's own control, when m_strokes
    // lets the press act (not a repeat of a held key).
    void OnHotKey(UINT nId, UINT nModifiers, UINT nVirtKey);
    // WM_DPICHANGED: the panel has moved to a screen of nDpi dots per inch.
    // It takes the rectangle the system suggests, lays its controls out
    // again for the new scale and makes its fonts, frames and icons anew.
    void OnDpiChanged(UINT nDpi, LPARAM lParam);
    // Shows the panel and takes the foreground from whichever program has it.
    void Popup();

  private:
    void SetUpLabels();
    void SetUpButtons();
    // The buttons' own face colours (the look with high contrast off).
    void SetButtonColors();
    // Every colour of the panel for high contrast on or off (background,
    // titles, buttons, frames, status), repainting all with bRedraw: at
    // start, and when high contrast or the system's colours change.
    void ApplyContrast(BOOL bRedraw);
    // The buttons' caption font for a screen of nDpi dots per inch, given
    // to the three buttons; the font it replaces is deleted after.
    void SetButtonFont(UINT nDpi);
    // The caption's and the task switcher's icons at the sizes of nDpi.
    void SetWindowIcons(UINT nDpi);
    // The five labels that paint the black frames.
    std::array<CTextLabel*, 5> Frames();
    void SetUpFrames(UINT nDpi);
    void SetUpBars();
    // What screen readers call the bars and the status, and the frames they skip.
    void NameForScreenReaders();
    void SetUpTray();
    // Stores both bars' positions in the record, a byte each.
    void StoreLevels();
    // Stores both bars' positions in the settings, if they changed, for the
    // next start (IDT_SAVE_LEVELS, and at the end).
    void SaveLevels();
    // The status label's look for a changed link status; nothing when the
    // link reports no change.
    void RefreshStatus();
    // The status label in the look of link status nStatus (kStatusInitial:
    // the look before the first refresh) for the contrast now.
    void ShowStatusLook(int nStatus);
    void SetStatusLook(const panel_logic::StatusLook& look);
    void RefreshDebugInfo();
    // IDT_HELD_KEYS: m_strokes' look at the held keys, which stops the timer
    // once none is held.
    void LookAtHeldKeys();
    // The keys the panel works itself: Alt+W, Alt+L and Alt+O press their
    // button always; under Keyboard Control, Space and Enter press the
    // focused button and the arrow, page, Home and End keys move the focused
    // bar. Typed characters go nowhere. True when msg was such a key.
    bool OnPanelKey(const MSG& msg);
    // Presses button nId as a click does: BN_CLICKED from the button.
    void ClickButton(UINT nId);
    // File > Keyboard Control or File > Sounds: turns the option over and
    // stores it.
    void OnOptionCommand(UINT nId);
    // The options' marks in the File menu, and the bars as tab stops under
    // Keyboard Control.
    void ApplyOptions();
    // On a change between connected and not: the tray icon and its tip, and
    // for screen readers the status label's name change and a spoken
    // notification.
    void ShowConnected(bool bConnected);
    // The icon and tip of the link's state in the notification area.
    void ShowTrayState(bool bConnected);
};
