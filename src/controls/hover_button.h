// The panel's large push buttons: owner-drawn, flat, with a face colour per
// state, a raised 1-pixel frame while the pointer is over them, a sunken frame
// and a shifted caption while pressed, and a tooltip. A click still reaches
// the parent as an ordinary BN_CLICKED.
//
// For the keyboard: a frame shows which button has the focus while the window
// shows focus cues, and the caption's access key is underlined while it
// shows access keys (WM_UPDATEUISTATE). While Windows' high contrast is on
// the button draws in the system's button colours with a frame, whatever
// colours it was given.
//
// Attached to an existing dialog button by subclassing; the attach hook turns
// the control owner-drawn. The buttons are always flat and opaque and show no
// image, sound, menu or own cursor: those looks are not part of this class.
// PaintIcon and PaintBitmap are the slots where a derived button draws an
// image beside its caption.
#pragma once

#include <windows.h>

#include "framework/controls.h"

class CHoverButton : public CButton {
  public:
    // Status codes of the setters.
    enum : DWORD {
        HOVER_OK = 0,
        HOVER_BAD_COLOR_INDEX = 3,
        HOVER_BAD_PRESSED_STYLE = 6,
    };
    // Pressed styles: how the caption moves while pressed.
    enum : BYTE {
        PRESSED_SHIFT_DIAGONAL = 0,  // one pixel right and one down
        PRESSED_SHIFT_DOWN = 1,      // two pixels down
    };

    CHoverButton();
    ~CHoverButton() override;

    // Sets state colour nIndex (0 to 5, see button_look.h).
    DWORD SetStateColor(BYTE nIndex, COLORREF crColor, BOOL bRepaint = TRUE);
    // All six state colours back to the system's button face and text.
    DWORD ResetColors(BOOL bRepaint = TRUE);
    DWORD SetPressedShift(BYTE nStyle, BOOL bRepaint = TRUE);
    // Only in check-box mode.
    DWORD SetCheckState(int nCheck, BOOL bRepaint = TRUE);
    int GetCheckState() const { return m_nCheck; }
    // A text opened with the shell on click, cut to MAX_PATH - 1 characters;
    // null clears it.
    DWORD SetLink(const char* pszLink);
    // The tooltip's text (null: nothing happens), and whether it shows.
    void SetTipText(const char* pszText, BOOL bActivate = TRUE);

    // The owner-draw paint, reached through the reflected WM_DRAWITEM.
    virtual void DrawItem(LPDRAWITEMSTRUCT pDrawItem);

    void PreSubclassWindow() override;
    bool PreTranslateMessage(MSG* pMsg) override;
    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The painting steps of DrawItem, in this order. rcItem is the button's
    // whole rectangle; rcCaption the part left for the caption.
    virtual void PaintFace(HDC hdc, RECT* pRect);
    virtual void PaintFrame(HDC hdc, RECT* pRect);
    virtual void PaintIcon(HDC hdc, bool bHasTitle, RECT* pItem, RECT* pCaption, bool bPressed,
                           bool bDisabled);
    virtual void PaintBitmap(HDC hdc, bool bHasTitle, RECT* pItem, RECT* pCaption, bool bPressed,
                             bool bDisabled);
    virtual void PaintCaption(HDC hdc, const char* pszTitle, RECT* pItem, RECT* pCaption,
                              bool bPressed, bool bDisabled);

    void CreateTip();
    void EndHover();
    void DestroyTip();

    POINT m_ptPressedShift = {1, 1};  // caption shift while pressed
    BOOL m_bHover = FALSE;            // the pointer is over the button
    BOOL m_bPressed = FALSE;          // decided at each paint
    BOOL m_bFocused = FALSE;          // decided at each paint
    BOOL m_bDisabled = FALSE;         // decided at each paint
    BOOL m_bHighContrast = FALSE;     // system colours only; decided at each paint
    BOOL m_bHideAccel = FALSE;        // access keys not underlined; decided at each paint
    UINT m_nUiState = 0;              // cues the last WM_UPDATEUISTATE hid (UISF_HIDE...)
    BOOL m_bDefault = FALSE;          // the dialog's default push button
    BOOL m_bCheckBox = FALSE;         // check-box mode
    BOOL m_bDrawBorder = TRUE;        // draw the 3D frame when hovered or pressed
    BOOL m_bFlatFocus = FALSE;        // draw the focus rectangle
    COLORREF m_colors[6] = {};        // state colours
    HWND m_toolTip = nullptr;         // the tooltip control, once created
    BOOL m_bAlwaysTrack = TRUE;       // hover also while the window is not active
    int m_nCheck = 0;                 // check state in check-box mode
    DWORD m_dwTipStyle = 0;           // window style of the tooltip
    char m_szLink[MAX_PATH] = {};     // opened on click when not empty

  private:
    void OnMouseMove(UINT nFlags, POINT pt);
    void OnClicked();
    void OnDisabled();
    // A frame of nWidth-pixel lines: crTopLeft on the top and left edges,
    // crBottomRight on the bottom and right ones.
    void Draw3dRect(HDC hdc, const RECT& rc, COLORREF crTopLeft, COLORREF crBottomRight,
                    int nWidth) const;
    // The face and caption colours of this paint.
    COLORREF FaceColor() const;
    COLORREF TextColor() const;
    // The frame that shows the focus, inside the face's edge.
    void PaintFocusFrame(HDC hdc, const RECT& rcItem);
    // The tooltip's tool covers the button's client area as it is now.
    void UpdateTipRect();
    // A size written for 96 dots per inch (frame lines, the pressed shift,
    // the focus inset) at the resolution of the button's screen.
    int ScaledLine(int nValue) const;
};
