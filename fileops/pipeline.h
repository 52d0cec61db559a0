// Encrypt, Decrypt and Shred of the one file named in the main window.
#pragma once

enum CommandKind { COMMAND_ENCRYPT = 9, COMMAND_DECRYPT = 10, COMMAND_SHRED = 11 };

// Start phase, on the window's thread: ends early with or without a notice, or leaves a worker
// running with the command buttons disabled. Ignored while a command runs.
void start_command(int kind);
