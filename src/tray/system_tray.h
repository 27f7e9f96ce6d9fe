// The program's icon in the notification area: CSystemTray, a hidden
// top-level window that registers the icon with the shell, receives its mouse
// and keyboard callbacks, shows the popup menu of the same id on a right click
// or the context-menu key, runs the menu's default command on a click, a double
// click, Enter or Space, and brings the icon back when the taskbar is created
// anew. Menu commands go to the application's main window.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "framework/wnd.h"

class CSystemTray : public CWnd {
  public:
    CSystemTray();
    ~CSystemTray() override;

    // Creates the hidden window and adds the icon uID. pParent, when it has a
    // window, receives the shell's callbacks instead of the hidden window.
    // The tip is cut to 127 characters. False when the shell refused the icon
    // or there is no tray; a refused add is then tried again (ReAddIcon).
    BOOL CreateTrayIcon(CWnd* pParent, UINT uCallbackMessage, LPCSTR lpszTip, HICON hIcon, UINT uID,
                        BOOL bHidden = FALSE);
    // The popup menu's default item, a command id or (bByPos) a position;
    // applied each time the menu is shown. False when menu uID has no popup.
    BOOL SetDefaultItem(UINT uItem, BOOL bByPos);
    // Deletes the icon from the notification area; true when it is gone.
    BOOL RemoveTrayIcon();
    // Shows hIcon, and lpszTip (cut to 127 characters) unless it is null, in
    // one request: now or, while the icon is hidden, at the next add.
    BOOL ChangeTrayIcon(HICON hIcon, LPCSTR lpszTip = nullptr);
    // Adds the icon again when an add is pending and it has not been
    // removed; while the shell refuses it, asked again every kAddRetryMs.
    void ReAddIcon();
    // Where menu commands go: the explicit target, else the main window.
    CWnd* GetNotifyTarget() const;
    // The icon and tip the record holds: what the shell shows, or shows at the next add.
    HICON GetIcon() const { return m_nid.hIcon; }
    LPCSTR GetTip() const { return m_nid.szTip; }

    // Icon resource pszName of hModule at the size the notification area
    // shows icons at (the system's small icon size at its own scale: 16
    // pixels at 100 %, 24 at 150 %, 32 at 200 %), from the image of that
    // size rather than a larger one shrunk. Shared: never destroyed.
    static HICON LoadIconForTray(HINSTANCE hModule, LPCSTR pszName);

    // The shell's callback. With the newer callbacks (GetShellVersion() 4)
    // lParam holds the event and the icon's id, and wParam the point the event
    // belongs to (the icon's place for a key, the pointer's for a click); with
    // the older, wParam is the id and lParam a mouse message.
    virtual LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    // 4 when the shell took the icon with its keyboard-aware callbacks, else 0.
    UINT GetShellVersion() const { return m_nShellVersion; }
    // Called with the popup menu just before it is shown.
    virtual void OnPrepareMenu(HMENU hPopup);

    // A refused add is tried again this often until the shell takes it.
    static constexpr UINT_PTR kAddRetryTimer = 1;
    static constexpr UINT kAddRetryMs = 3000;

    // The message the shell broadcasts when it creates the taskbar.
    static UINT ShellRestartMessage() { return s_uShellRestartMsg; }

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Every request to the shell goes through here, with m_nid as it is.
    virtual BOOL NotifyShell(DWORD dwMessage);

    NOTIFYICONDATAA m_nid;
    BOOL m_bTrayAvailable = FALSE;
    BOOL m_bIconHidden = TRUE;
    BOOL m_bIconRemoved = TRUE;
    BOOL m_bAddPending = FALSE;
    BOOL m_bShell5 = FALSE;
    CWnd* m_pNotifyTarget = nullptr;
    UINT m_nDefaultItem = 0;
    BOOL m_bDefaultByPosition = TRUE;
    UINT m_nAddFlags = 0;
    UINT m_nShellVersion = 0;
    // The context menu that follows comes from a right click, not from a key.
    BOOL m_bMouseContext = FALSE;

    static int s_nTipMax;
    static const UINT s_uShellRestartMsg;

  private:
    // Menu uID loaded, and its first popup; both null when either is missing.
    HMENU LoadPopup(HMENU* phPopup) const;
    // Keeps why an add of the icon failed under "tray icon <id>", or forgets
    // it once the icon is shown; right after the request.
    void KeepAddResult(bool bShown) const;
    // Asks the shell for the keyboard-aware callbacks after each add.
    void AskShellVersion();
    // The popup menu at pt; the command chosen goes to hTarget. Closed without
    // a choice after a key opened it, the focus goes back to the notification area.
    void ShowMenu(HWND hTarget, POINT pt, bool bByKey);
    // The menu's default command, to hTarget.
    void RunDefault(HWND hTarget);
    LRESULT OnShellRestart();
    void OnSettingChange(WPARAM wParam);
};
