/* Resource and control ids shared by the .rc files and the code. The numbers are fixed: they are
   what other programs and our own tests see. */
#pragma once

/* Dialog templates */
#define IDD_MAIN 0
#define IDD_ABOUT 1
#define IDD_CRASH 99

/* Other resources */
#define IDB_BANNER 1
#define IDI_PROGRAM 0
#define IDR_MANIFEST 1
#define IDV_VERSION 1

/* Main window controls */
#define IDC_PATH 1
#define IDC_BROWSE 2
#define IDC_PASSWORD 3
#define IDC_CONFIRM 4
#define IDC_OVERWRITE 6
#define IDC_STATUS 7
#define IDC_PROGRESS 8
#define IDC_ENCRYPT 9
#define IDC_DECRYPT 10
#define IDC_SHRED 11
#define IDC_ABOUT 12
#define IDC_STATIC_TEXT 65535

/* About box controls */
#define IDC_ABOUT_OK 0
#define IDC_HOME_PAGE 1
#define IDC_NEWS 2

/* Crash report controls */
#define IDC_REPORT 1
#define IDC_REPORT_CLOSE 2
