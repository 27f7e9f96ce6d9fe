// A drop-down list whose list opens wide enough for its longest entry.
//
// Each time the list is about to open (the reflected CBN_DROPDOWN), the box
// measures all its entries and sets the list's width. The notification stops
// here: the parent does not see CBN_DROPDOWN for these boxes.
#pragma once

#include <windows.h>

#include "framework/controls.h"

class CWideDropCombo : public CComboBox {
  public:
    CWideDropCombo() = default;
    ~CWideDropCombo() override;

    // Sets the drop-down width: the widest entry plus a scroll bar plus one
    // digit's width. The list is never narrower than the box itself.
    void FitDropWidth();

  protected:
    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};
