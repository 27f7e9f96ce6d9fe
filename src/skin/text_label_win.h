// A static text control that draws itself with its own font, text colour and
// background colour, or with no background at all (transparent), so that
// titles can sit on a bitmap background. It is bound to an existing static
// control of a dialog and configured by its owner.
#pragma once

#include <windows.h>

#include <string>

#include "framework/controls.h"
#include "base/gdi_win.h"

class CTextLabel : public CStatic {
  public:
    CTextLabel();
    // Releases the font and the brush, then destroys the control window if it
    // is still there.
    ~CTextLabel() override;

    // The setters change what the next paint draws; with bRedraw non-zero the
    // label is repainted before they return.
    void SetTextColor(COLORREF crText, BOOL bRedraw);
    void SetBkColor(COLORREF crBack, BOOL bRedraw);
    // Rebuilds the font from the control window's own font (not from m_font)
    // in the weight asked for: a face and size set before are lost.
    void SetFontBold(BOOL bBold, BOOL bRedraw);
    // Rebuilds the font with the face (at most 31 characters; null: the
    // control window's own font) at nPoints points for the resolution of the
    // label's screen, in the weight of m_bBold.
    void SetFontFace(const char* pszFace, int nPoints, BOOL bRedraw);
    // Makes the font anew for a screen of nDpi dots per inch (the window has
    // moved to a screen of another scale): a face set in points keeps its
    // size in points, any other font keeps its size relative to the screen.
    void RescaleFont(UINT nDpi, BOOL bRedraw);
    // Sets the text and repaints, also when nothing changed.
    void SetText(const std::string& text);

    // The font height in pixels of nPoints points on the screen (negative: a
    // character height).
    static int PointsToHeight(int nPoints);
    // The same for the screen hWnd is shown on, which may have another scale
    // than the system's.
    static int PointsToHeight(int nPoints, HWND hWnd);

    CFont m_font;                 // the font the label draws with
    COLORREF m_crText;            // text colour
    COLORREF m_crBack;            // background colour
    CBrush m_backBrush;           // solid brush of m_crBack; null if none could be made
    BOOL m_bBold = FALSE;         // weight of every rebuilt font: 700 or 400
    BOOL m_bTransparent = FALSE;  // TRUE: no background is painted
    int m_nPoints = 0;            // size of the face SetFontFace set; 0: none
    UINT m_nFontDpi = 0;          // resolution m_font was made for; 0: the system's

  protected:
    // Binding: copies the control window's font into m_font.
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    // The description of the control window's own font (WM_GETFONT), or of the
    // stock font a static without one draws with. False when there is none.
    bool GetControlFont(LOGFONTA& lf) const;
    // Replaces m_font with a font of *pDesc in the weight of m_bBold; nothing
    // when pDesc is null.
    void RebuildFont(const LOGFONTA* pDesc, BOOL bRedraw);
    void NewBackBrush();
    void Redraw() const;
    LRESULT OnEraseBkgnd(HDC hdc);
    void OnPaint();
};
