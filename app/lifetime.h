// The end of the process while a file is overwritten in place: every way out waits for that
// write and its length cut, so that no file is left half old and half new.
#pragma once
#include <windows.h>

// Around the worker's in-place write. False once the process is ending: the write must not begin.
bool begin_in_place_write(void);
// Ends the process here when a way out has been waiting for this write.
void end_in_place_write(void);
bool in_place_write_running(void);

// Asked by a way out: true when the process may end now, and no in-place write can begin any
// more; false while one runs, whose end then ends the process.
bool may_end_now(void);
// Ends the process now or once the running in-place write is done. Meanwhile the calling window
// thread answers the messages the worker sends it.
__declspec(noreturn) void end_process_after_write(void);
