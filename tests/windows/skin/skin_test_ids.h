// Ids of the skinned dialog's test resources.
#pragma once

#define IDD_SKIN_TEST 300
#define IDB_SKIN_QUADRANTS 301  // 4 x 4: red, green / blue, yellow quarters
#define IDB_SKIN_MISSING 399    // no such bitmap
