// A check box that switches a whole area of a dialog on and off.
//
// It is attached to a group box of the same dialog, sits on the group box's
// top edge in place of its caption, and whenever its state changes it enables
// every control that overlaps the group box when it is set and disables them
// when it is clear (or indeterminate). Optionally it also shows and hides
// them, and the group box with them.
#pragma once

#include <windows.h>

#include "framework/controls.h"

class CGroupEnableCheck : public CButton {
  public:
    CGroupEnableCheck() = default;
    ~CGroupEnableCheck() override;

    // Takes over the group box hGroup (a window of the same parent): clears
    // its caption, moves the check box onto its top edge, sized to its own
    // text, and applies the current state to the group.
    void AttachGroup(HWND hGroup, BOOL bAlsoHide);
    // AttachGroup with the control nId of the check box's parent.
    void AttachGroupById(UINT nId, BOOL bAlsoHide);
    // Sets the check state (0 clear, 1 set, 2 indeterminate) and applies it.
    void SetChecked(int nState);
    // Enables (and with the hide option shows) the group's controls when the
    // check box is set, disables (and hides) them otherwise.
    void UpdateGroup();

  protected:
    // A click toggled the box: apply the new state, and let the parent have
    // the click as well.
    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

  private:
    HWND m_pGroupWnd = nullptr;  // the group box; null until attached
    BOOL m_bAlsoHide = FALSE;    // TRUE: the group's controls are also shown and hidden
};
