// The not-detected warning: a small borderless, always-on-top window that
// says "Tavrel Plus Not Detected" in large letters in the middle of the
// screen. Its owner creates it hidden and shows and hides it; it has no
// behaviour of its own. It only tells: it never takes the keyboard from the
// program the user types in (it is shown without activation), and a click on
// it reaches the panel's control beneath it, so that a press made while it
// is up is not lost on it. Its text is in the window colours while Windows'
// high contrast is on, in the button colours otherwise, and follows a switch
// at once.
#pragma once

#include "framework/dialog.h"
#include "framework/window_dpi.h"
#include "skin/text_label_win.h"
#include "resource.h"

class CPopupWarning : public CDialog {
  public:
    static constexpr UINT IDD = IDD_POPUP_WARNING;

    CPopupWarning() : CDialog(IDD) {}

    CTextLabel m_label;  // the message, bound to control IDC_WARNING_TEXT

    // Shows the window where it is, above all others, without activating it,
    // and raises the system's alert event on its message for screen readers.
    void Show();

  protected:
    void DoDataExchange() override;
    // Binds the label and sets its font: bold 18-point Arial.
    BOOL OnInitDialog() override;
    // WM_DPICHANGED: the window on a screen of another scale. WM_NCHITTEST
    // and WM_MOUSEACTIVATE: the mouse passes through, nothing activates it.
    // WM_SETTINGCHANGE (high contrast) and WM_SYSCOLORCHANGE: new colours.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    // The label's colours for high contrast on or off, from the system's.
    void ApplyColors(BOOL bRedraw);

    CDpiLayout m_layout;  // the label's place, to carry to another scale
};
