// Identifiers of TavrelRemote.exe's resources, their controls and the menu
// commands, shared by TavrelRemote.rc and the code.
//
// Plain #defines only: the resource compiler reads this file, and portable
// code may include it (it needs no Windows header). Several controls of
// different dialogs share a number; each dialog's ids are unique within it.
#pragma once

// Dialogs.
#define IDD_ABOUTBOX 100
#define IDD_REMOTE_PANEL 102
#define IDD_SETUP_HOTKEYS 135
#define IDD_POPUP_WARNING 140
#define IDD_CONNECTION_DETAILS 143

// Menus: the tray icon's popup (its id is also the tray icon's id) and the
// panel's menu bar.
#define IDR_TRAY_MENU 130
#define IDR_PANEL_MENU 131

// Icons, bitmap and string. The notification area shows the program's icon
// while the magnifier answers, the not-detected icon while it does not.
#define IDI_TAVREL_REMOTE 128
#define IDI_NOT_DETECTED 150
#define IDB_PANEL_BACKGROUND 141
#define IDS_ABOUTBOX 101

// System-menu command of the panel's About item (low four bits clear, as the
// system menu requires).
#define IDM_ABOUTBOX 0x0010

// Menu commands.
#define ID_ABOUT 133
#define ID_EXIT 134
#define ID_HOTKEYS 138
#define ID_CONNECTION_DETAILS 139
#define ID_KEYBOARD_CONTROL 144
#define ID_SOUNDS 145
#define ID_MAXIMIZE 32780
#define ID_MINIMIZE 32781
#define ID_HELP_CONTENTS 57670

// Controls without an id of their own (the About box's icon and text).
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Remote panel (dialog 102).
#define IDC_WINDOW_BUTTON 1000
#define IDC_LINES_BUTTON 1001
#define IDC_OPTIONS_BUTTON 1002
#define IDC_POSITION_BAR 1003
#define IDC_WIDTH_BAR 1004
#define IDC_POSITION_TITLE 1005
#define IDC_WIDTH_TITLE 1006
#define IDC_STATUS 1007
#define IDC_WIDTH_FRAME 1008
#define IDC_CONNECTION_TITLE 1009
#define IDC_DEBUG_INFO 1010
#define IDC_POSITION_FRAME 1011
#define IDC_WINDOW_FRAME 1012
#define IDC_LINES_FRAME 1013
#define IDC_OPTIONS_FRAME 1014

// Not-detected warning (dialog 140).
#define IDC_WARNING_TEXT 1023

// Setup Hot Keys (dialog 135): the switch and the invisible box around every row.
#define IDC_ENABLE_HOTKEYS 1008
#define IDC_HOTKEYS_AREA 1022

// Setup Hot Keys: the visible group boxes.
#define IDC_POPUP_GROUP 1016
#define IDC_WINDOW_GROUP 1018
#define IDC_LINES_GROUP 1023
#define IDC_OPTIONS_GROUP 1030
#define IDC_POSITION_GROUP 1037
#define IDC_WIDTH_GROUP 1049

// Setup Hot Keys: one row per hot-key action, in action order. Each row has
// the modifier check boxes Ctrl, Alt, Shift, Win and the key combo box; the
// rows of the two slider groups also have a text label.
#define IDC_POPUP_CTRL 1009
#define IDC_POPUP_ALT 1010
#define IDC_POPUP_SHIFT 1011
#define IDC_POPUP_WIN 1012
#define IDC_POPUP_KEY 1014

#define IDC_WINDOW_CTRL 1013
#define IDC_WINDOW_ALT 1017
#define IDC_WINDOW_SHIFT 1019
#define IDC_WINDOW_WIN 1020
#define IDC_WINDOW_KEY 1021

#define IDC_LINES_CTRL 1024
#define IDC_LINES_ALT 1025
#define IDC_LINES_SHIFT 1026
#define IDC_LINES_WIN 1027
#define IDC_LINES_KEY 1028

#define IDC_OPTIONS_CTRL 1031
#define IDC_OPTIONS_ALT 1032
#define IDC_OPTIONS_SHIFT 1033
#define IDC_OPTIONS_WIN 1034
#define IDC_OPTIONS_KEY 1035

#define IDC_POSDOWN_LABEL 1029
#define IDC_POSDOWN_CTRL 1038
#define IDC_POSDOWN_ALT 1039
#define IDC_POSDOWN_SHIFT 1040
#define IDC_POSDOWN_WIN 1041
#define IDC_POSDOWN_KEY 1042

#define IDC_POSUP_LABEL 1036
#define IDC_POSUP_CTRL 1044
#define IDC_POSUP_ALT 1045
#define IDC_POSUP_SHIFT 1046
#define IDC_POSUP_WIN 1047
#define IDC_POSUP_KEY 1048

#define IDC_WIDTHDOWN_LABEL 1043
#define IDC_WIDTHDOWN_CTRL 1050
#define IDC_WIDTHDOWN_ALT 1051
#define IDC_WIDTHDOWN_SHIFT 1052
#define IDC_WIDTHDOWN_WIN 1053
#define IDC_WIDTHDOWN_KEY 1054

#define IDC_WIDTHUP_LABEL 1055
#define IDC_WIDTHUP_CTRL 1056
#define IDC_WIDTHUP_ALT 1057
#define IDC_WIDTHUP_SHIFT 1058
#define IDC_WIDTHUP_WIN 1059
#define IDC_WIDTHUP_KEY 1060

// Connection details.
#define IDC_CONNECTION_LINES 1070
#define IDC_COPY_LINES 1071
#define IDC_PORT_CHOICE 1072
