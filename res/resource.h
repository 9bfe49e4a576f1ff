/* Resource, control and string ids, shared by the code and setup.rc.
   Plain #defines so that windres can read this file too. */
#ifndef KELVRA_RES_RESOURCE_H
#define KELVRA_RES_RESOURCE_H

/* Icons, bitmaps, dialogs */
#define IDI_KELVRA            128
#define IDD_MAIN              129
#define IDD_DONE              130
#define IDB_SPLASH            223
#define IDB_BANNER            225

/* Main dialog controls */
#define IDC_FOLDER_EDIT       1012
#define IDC_BROWSE            1013
#define IDC_INSTALL           1014
#define IDC_PROGRESS          1016
#define IDC_FOOTER            1019
#define IDC_FOLDER_PROMPT     1020
#define IDC_LEGAL_NOTICE      1057
#define IDC_INTRO             1064

/* Completion dialog controls (IDC_FOOTER is shared) */
#define IDC_DRIVER_INSTALL    1011
#define IDC_EXIT              1017
#define IDC_DONE_MESSAGE      1021
#define IDC_DOTNET_INSTALL    1065
#define IDC_DRIVER_NOTE       1066
#define IDC_DOTNET_NOTE       1067

/* String table */
#define IDS_SHORTCUT_DESC     1000
#define IDS_MAIN_INTRO        1001
#define IDS_FOLDER_PROMPT     1002
#define IDS_WIZARD_TITLE      1003
#define IDS_DRIVER_NOTE       1004
#define IDS_DOTNET_NOTE       1005
#define IDS_DONE_MESSAGE      1006
#define IDS_ERROR_CAPTION     2000
#define IDS_ERR_OPEN_PACKAGE  2001
#define IDS_ERR_CREATE_FILE   2002
#define IDS_ERR_COPY_FILE     2003
#define IDS_ERR_SHORTCUT      2004

/* The GDI+ binding (RT_MANIFEST; ids up to 16 are the loader's own) */
#define IDR_GDIPLUS_MANIFEST  101

/* Version information */
#define IDV_VERSION           1

#endif
