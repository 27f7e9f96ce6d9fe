// Ids of the hover button's test dialogs.
#pragma once

#define IDD_BUTTONS 300      // the hover buttons beside other controls
#define IDD_LONE_BUTTON 301  // one hover button and no other tab stop

#define IDC_WINDOW 1000  // push buttons, as on the panel
#define IDC_LINES 1001
#define IDC_DEFAULT 1003  // a default push button
#define IDC_CHECK 1004    // an auto check box
#define IDC_WIDE 1005     // a caption too long for one line
#define IDC_OTHER 1006    // a plain button, not a hover button
#define IDC_NOTE 1007
