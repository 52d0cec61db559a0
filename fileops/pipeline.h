// Encrypt, Decrypt and Shred of the one file named in the main window.
#pragma once

enum CommandKind { COMMAND_ENCRYPT = 9, COMMAND_DECRYPT = 10, COMMAND_SHRED = 11 };

// Start phase, on the window's thread: ends early with or without a notice, or leaves a worker
// running with the command buttons disabled.
void start_command(int kind);

// Called when the main window is asked to close: false while an in-place write is under way, in
// which case the worker ends the process once the write and the length cut are done.
bool may_close_now(void);
