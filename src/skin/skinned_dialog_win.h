// A dialog whose client area shows a bitmap instead of the plain dialog
// colour, in one of thirteen placements (see skin/skin_placement.h), and
// whose outline can be cut from the bitmap: every pixel of a chosen
// transparent colour is removed from the window's region.
//
// The background is composed off screen at each erase and copied to the
// window in one operation, so it never shows half painted. While Windows'
// high contrast is on the client area takes the system's window colour
// instead of the bitmap.
#pragma once

#include "framework/dialog.h"
#include "base/gdi_win.h"

class CSkinnedDialog : public CDialog {
  public:
    // No colour is transparent: the window keeps its rectangular outline.
    static constexpr COLORREF kNoTransparentColour = 0xFFFFFFFF;

    // Results of SetBitmap and SetBitmapStyle.
    enum : int {
        SKIN_OK = 0,
        SKIN_BAD_HEADER = 1,  // the bitmap's header is unreadable
        SKIN_BAD_MODE = 2,    // a placement mode of 13 or more
        SKIN_NO_REGION = 3,   // the outline could not be built
    };

    CSkinnedDialog(UINT nIdTemplate, CWnd* pParent = nullptr);
    ~CSkinnedDialog() override;

    // Loads bitmap resource nIdResource of the program (a missing one counts
    // as no bitmap) and sets it as with the handle form.
    int SetBitmap(WORD nIdResource, COLORREF crTransparent);
    // Sets the background bitmap, taking ownership of it in every case (it is
    // deleted on failure too). A null bitmap brings back the plain dialog
    // background. Unless crTransparent is kNoTransparentColour, the window's
    // region becomes the bitmap less its pixels of that colour.
    int SetBitmap(HBITMAP hBitmap, COLORREF crTransparent);
    // Chooses the placement mode (0 to 12); redraws at once only when
    // nRedraw is 1. The mode outlives the bitmap.
    int SetBitmapStyle(BYTE nStyle, int nRedraw);
    // Forgets the bitmap and the region; with nDelete 1 deletes the bitmap
    // and takes the region off the window (which then releases it).
    void FreeResources(int nDelete);
    // The region of the bitmap's pixels (its width cut down to a multiple of
    // 4) less those of colour (red, green, blue); null on failure.
    static CRgn BuildRegion(HBITMAP hBitmap, BYTE red, BYTE green, BYTE blue);

    LONG m_nBitmapWidth = 0;
    LONG m_nBitmapHeight = 0;
    BYTE m_nStyle = 0;

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnEraseBkgnd(HDC hdc);
    LRESULT OnSize();

  private:
    // A failed SetBitmap: frees everything and returns nResult.
    int Fail(int nResult);
    // Invalidates the whole client area with erase.
    void RedrawBackground() const;

    CBitmap m_hBitmap;
    // The outline the window holds (the window owns it from SetWindowRgn
    // on); null when the window has none of this dialog's.
    HRGN m_hRegion = nullptr;
};
