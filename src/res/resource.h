// Identifiers of the resources of Tamsivo.exe, shared by the resource script and the program.
// Plain macros: the resource compiler's preprocessor reads this file too.
#ifndef TAMSIVO_RES_RESOURCE_H
#define TAMSIVO_RES_RESOURCE_H

// Templates, pictures and cursor.
#define IDD_MAIN_DIALOG 102
#define IDI_TAMSIVO 128
#define IDC_LINK_CURSOR 129
#define IDD_FIRMWARE_SELECT 131
#define IDB_SKIN 140

// Main dialog (IDD_MAIN_DIALOG). Several controls share a place; the dialog shows one group at
// a time. The button names carry a suffix because winuser.h already defines IDC_HELP.
#define IDC_TITLE 1000
#define IDC_PACKAGE_CAPTION 1001
#define IDC_PACKAGE_NAME 1002
#define IDC_PROGRESS 1003
#define IDC_START_BUTTON 1004
#define IDC_SUPPORT_TEXT 1005
#define IDC_SUPPORT_PHONE 1006
#define IDC_MAIL_CAPTION 1007
#define IDC_SUPPORT_MAIL 1008
#define IDC_PORT_NAME 1009
#define IDC_STOP_BUTTON 1011
#define IDC_WEB_SITE 1012
#define IDC_HELP_BUTTON 1013
#define IDC_PORT_CAPTION 1018
#define IDC_EXIT_BUTTON 1021
#define IDC_MESSAGE 1023

// Firmware selection dialog (IDD_FIRMWARE_SELECT); its buttons are IDOK and IDCANCEL.
#define IDC_SELECT_INSTRUCTION 1013
#define IDC_SELECT_HEADING 1014
#define IDC_FIRMWARE_LIST 1015

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif // TAMSIVO_RES_RESOURCE_H
