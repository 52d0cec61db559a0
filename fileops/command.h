// What the parts of a command share: its texts, its notices and its end.
#pragma once
#include <windows.h>

// A file that no buffer can hold goes through one chunk of this size, with a word in front.
static const SIZE_T STREAM_CHUNK_BYTES = (SIZE_T)8 << 20;

extern const WCHAR TEXT_TOO_LARGE[];
extern const WCHAR TEXT_READ_FAILED[];
extern const WCHAR TEXT_WRONG_PASSWORD[];
extern const WCHAR TEXT_DAMAGED[];
extern const WCHAR TEXT_WRITE_FAILED[];
extern const WCHAR TEXT_DONE[];

// A failure's notice, owned by the main window.
void fail(const WCHAR *text);
void tell_done(void);
// Closes the files (a result not yet kept goes with its file), releases the buffer and puts the
// window back to idle.
void end_command(void);

// The work phase of Encrypt and Decrypt, on the worker thread.
void transform(int kind);
