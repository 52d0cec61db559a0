// What the main window shows of a running command: status line, command buttons, progress bar.
#pragma once
#include <windows.h>

#include <stdint.h>

enum StatusIndex { STATUS_READY = 0, STATUS_READING = 1, STATUS_COMPUTING = 2, STATUS_WRITING = 3 };

void set_status(int index);
void enable_commands(BOOL enable);
// The pump copies app.progress into the bar until stop_pump; the bar's range is 0 .. total.
HANDLE start_pump(uint32_t total);
// Ends the pump (it is gone when this returns) and sets the bar to 0.
void stop_pump(HANDLE pump);
