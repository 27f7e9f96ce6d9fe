// The program's icon in the notification area: CSystemTray, a hidden
// top-level window that registers the icon with the shell, receives its mouse
// callbacks, shows the popup menu of the same id on a right click, runs the
// menu's default command on a double click and brings the icon back when the
// taskbar is created anew. Menu commands go to the application's main window.
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
    // Shows hIcon, now or, while the icon is hidden, at the next add.
    BOOL ChangeTrayIcon(HICON hIcon);
    // Adds the icon again when an add is pending and it has not been
    // removed; while the shell refuses it, asked again every kAddRetryMs.
    void ReAddIcon();
    // Where menu commands go: the explicit target, else the main window.
    CWnd* GetNotifyTarget() const;
    // The icon the record holds: what the shell shows, or shows at the next add.
    HICON GetIcon() const { return m_nid.hIcon; }

    // Icon resource pszName of hModule at the size the notification area
    // shows icons at (the system's small icon size at its own scale: 16
    // pixels at 100 %, 24 at 150 %, 32 at 200 %), from the image of that
    // size rather than a larger one shrunk. Shared: never destroyed.
    static HICON LoadIconForTray(HINSTANCE hModule, LPCSTR pszName);

    // A mouse message (lParam) on icon wParam.
    virtual LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
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

    static int s_nTipMax;
    static const UINT s_uShellRestartMsg;

  private:
    // Menu uID loaded, and its first popup; both null when either is missing.
    HMENU LoadPopup(HMENU* phPopup) const;
    // Keeps why an add of the icon failed under "tray icon <id>", or forgets
    // it once the icon is shown; right after the request.
    void KeepAddResult(bool bShown) const;
    LRESULT OnShellRestart();
    void OnSettingChange(WPARAM wParam);
};
