// Ids of the text label's test dialog (apart from the program's own ids).
#pragma once

#define IDD_LABEL_TEST 300
#define IDC_LABEL_PLAIN 301
#define IDC_LABEL_CLEAR 302
#define IDC_LABEL_CENTRED 303
#define IDC_LABEL_WRAPPED 304
#define IDC_LABEL_SPARE 305
