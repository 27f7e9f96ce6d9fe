// Ids of the group controls' test dialog.
#pragma once

#define IDD_GROUP_TEST 300
#define IDC_T_ENABLE 301   // the switch
#define IDC_T_GROUP 302    // the invisible group box it is attached to
#define IDC_T_CHECK 303    // inside
#define IDC_T_COMBO 304    // inside, the wide drop-down list
#define IDC_T_PLAIN 305    // inside, an ordinary drop-down list
#define IDC_T_LABEL 306    // inside
#define IDC_T_PARTIAL 307  // partly over the group's right edge
#define IDC_T_EDGE 308     // starts exactly at the group's right edge
