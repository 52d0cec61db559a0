// What the main window shows of a command: status line, command buttons, progress bar, notices.
#pragma once
#include <windows.h>

#include <stdint.h>

enum StatusIndex { STATUS_READY = 0, STATUS_READING = 1, STATUS_COMPUTING = 2, STATUS_WRITING = 3 };

enum NoticeType : UINT {
    NOTICE_ERROR = MB_ICONERROR,             // 0x10, OK only
    NOTICE_DONE = MB_ICONINFORMATION,        // 0x40, OK only
    NOTICE_QUESTION = MB_YESNO | MB_ICONQUESTION,   // 0x24
};

void set_status(int index);
void enable_commands(BOOL enable);
// The pump copies app.progress into the bar until stop_pump; the bar's range is 0 .. total.
HANDLE start_pump(uint32_t total);
// Ends the pump (it is gone when this returns) and sets the bar to 0.
void stop_pump(HANDLE pump);
int notice(HWND owner, const WCHAR *text, UINT type);
