// Ids of the window layer's test dialog.
#pragma once

#define IDD_LAYER_TEST 200
#define IDC_TEST_BUTTON 201
#define IDC_TEST_STATIC 202
#define IDC_TEST_COMBO 203
