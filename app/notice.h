// The one message box of the program: every result and failure is told through it.
#pragma once
#include <windows.h>

enum NoticeType : UINT {
    NOTICE_ERROR = MB_ICONERROR,                    // 0x10, OK only
    NOTICE_DONE = MB_ICONINFORMATION,               // 0x40, OK only
    NOTICE_QUESTION = MB_YESNO | MB_ICONQUESTION,   // 0x24
};

// Captioned with the product name; returns the button pressed.
int notice(HWND owner, const WCHAR *text, UINT type);
