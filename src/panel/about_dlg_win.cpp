#include "panel/about_dlg_win.h"

// The box is all template: the dialog manager shows the icon and the text,
// and the window layer's CDialog ends it with IDOK or IDCANCEL.
