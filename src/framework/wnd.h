// The thin window layer: a C++ object per window, found from its HWND, with
// one virtual window procedure per class.
//
// Every window the layer knows is subclassed (SetWindowSubclass); messages go
// to the object's WindowProc, which handles what it wants and calls Default()
// for the rest. Notifications that a child control sends its parent
// (WM_COMMAND notifications, WM_DRAWITEM, WM_CTLCOLOR*) are offered to the
// child's own object first (OnChildNotify) and reach the parent only if the
// child leaves them. No exception ever leaves a window procedure.
#pragma once

#include <windows.h>

#include <functional>

#include <string>

class CWnd {
  public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The object of a window the layer knows, or null.
    static CWnd* FromHandle(HWND hWnd);

    // Takes over an existing window (a dialog's control): the object receives
    // its messages from now on. Calls PreSubclassWindow first.
    bool SubclassWindow(HWND hWnd);
    bool SubclassDlgItem(int nId, CWnd* pParent);
    // Creates a window of its own for this object. With a class from
    // RegisterWndClass the object gets every message after WM_NCCREATE
    // (WM_CREATE among them); with another class, those after creation.
    bool CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                  int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu);
    // Gives the window back to its own procedure.
    HWND UnsubclassWindow();

    // The attach hook: runs when the object is attached to its window.
    virtual void PreSubclassWindow() {}
    // Sees every message bound for this window (or a child of it) before it
    // is dispatched by the layer's message loops. True: the message is
    // handled and not dispatched.
    virtual bool PreTranslateMessage(MSG* pMsg);
    // A notification sent by this control to its parent, offered here first.
    // True with *pResult set: consumed, the parent does not see it.
    virtual bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

    // Thin conveniences over the Win32 calls on m_hWnd.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }
    // The window's text, UTF-8 on the program's side.
    std::string GetWindowText() const;
    void SetWindowText(const std::string& text) const;
    HWND GetDlgItem(int nId) const { return ::GetDlgItem(m_hWnd, nId); }
    HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }
    LONG GetStyle() const { return ::GetWindowLongA(m_hWnd, GWL_STYLE); }
    RECT GetClientRect() const;
    RECT GetWindowRect() const;
    // Centres the window over its owner when that is visible and not
    // minimised, otherwise over the work area of its monitor, and keeps it
    // on that work area.
    void CenterWindow() const;
    void Invalidate(bool bErase = true) const { ::InvalidateRect(m_hWnd, nullptr, bErase); }
    BOOL ShowWindow(int nCmdShow) const { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL EnableWindow(bool bEnable) const { return ::EnableWindow(m_hWnd, bEnable); }
    UINT_PTR SetTimer(UINT_PTR nId, UINT nElapse) const {
        return ::SetTimer(m_hWnd, nId, nElapse, nullptr);
    }
    BOOL KillTimer(UINT_PTR nId) const { return ::KillTimer(m_hWnd, nId); }
    BOOL DestroyWindow();

  protected:
    // The class's window procedure. Call Default() (or the base class's
    // WindowProc) for what it does not handle.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The window's previous procedure for the message being handled now.
    LRESULT Default();
    // Runs after the window is gone (WM_NCDESTROY); m_hWnd is null by then.
    virtual void PostNcDestroy() {}

    // Makes hWnd this object's window and routes its messages here.
    bool Attach(HWND hWnd);

  private:
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    friend LPCSTR RegisterWndClass(UINT nClassStyle);
    static LRESULT CALLBACK CreationProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR uIdSubclass, DWORD_PTR dwRefData);
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    bool ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    void Forget();

    CurrentMessage m_current = {};
};

// The name of a window class of this module with the class style nClassStyle
// and no cursor, background or icon, registered on first use; its windows
// created by CWnd::CreateEx belong to their object from the start.
LPCSTR RegisterWndClass(UINT nClassStyle);

// The application's main window on the calling thread (null when none). The
// start-up code sets it; a window object that goes away stops being it.
CWnd* GetMainWnd();
void SetMainWnd(CWnd* pWnd);

// The application object's share of the menu commands: what the main window
// does not handle itself it offers here (nothing is taken while no handler is
// set). RouteAppCommand is true when the handler took the command.
void SetAppCommandHandler(std::function<bool(UINT nId)> handler);
bool RouteAppCommand(UINT nId);

// True for the WM_CTLCOLOR* messages that a control sends its parent.
bool IsCtlColorMessage(UINT message);

// Offers msg to the objects of its window and that window's parents, nearest
// first, up to and including hTop. True when one of them handled it.
bool PreTranslateChain(MSG* pMsg, HWND hTop);
