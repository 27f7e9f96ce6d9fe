// The resolution a window is shown at, and what follows from it: system
// metrics at that resolution, and a dialog's layout carried from one
// resolution to another when the window moves to a screen of another scale.
//
// The per-monitor functions of the system are looked up at run time: older
// systems (Windows 7) have none of them, and the screen's resolution as a
// device context reports it stands in for them there.
#pragma once

#include <windows.h>

#include <vector>

#include "framework/dpi_scale.h"

// WM_DPICHANGED and its neighbours, for headers that predate them.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// The dots per inch of the screen hWnd is shown on (the system's for a null
// window); 96 when the system tells none.
UINT DpiOfWindow(HWND hWnd);
// The system metric nIndex (SM_CXSMICON, SM_CXVSCROLL, ...) at nDpi.
int SystemMetricForDpi(int nIndex, UINT nDpi);
// Moves hWnd to the rectangle a WM_DPICHANGED suggests (its lParam).
void MoveToSuggestedRect(HWND hWnd, LPARAM lParam);

// The places of a dialog's child windows at one resolution, to put them back
// scaled at another. A dialog records its layout once it is complete and
// applies it to each new resolution it is told of; the result depends only
// on the record and the new resolution, so applying it after the system has
// scaled the dialog itself changes nothing but rounding.
class CDpiLayout {
  public:
    // Takes the places of every child window of hDlg (client coordinates) at
    // hDlg's present resolution. A drop-down combo box is recorded with its
    // list, as its height sets the list's height.
    void Record(HWND hDlg);
    // Moves every recorded child that still exists to its place at nDpi.
    void Apply(HWND hDlg, UINT nDpi) const;
    UINT RecordedDpi() const { return m_nDpi; }
    bool Empty() const { return m_children.empty(); }

  private:
    struct Child {
        HWND hWnd;
        dpi_scale::Rect rc;
    };
    std::vector<Child> m_children;
    UINT m_nDpi = dpi_scale::kDefaultDpi;
};
