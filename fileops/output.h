// Where the result of Encrypt or Decrypt goes, and how it gets there whole.
#pragma once
#include <windows.h>

#include <stdint.h>

enum OutputWay {
    OUTPUT_NEW_FILE,      // the path with ".QVX" added, a name that must not exist yet
    OUTPUT_REPLACEMENT,   // a hidden file beside the source that takes its place once whole
    OUTPUT_IN_PLACE,      // the source itself: a file with other names, or no room for a copy
};

// The way for a result of app.output_length bytes from a source of `links` names.
int choose_output(ULONG links);
// Creates the result's own file as app.output (not for OUTPUT_IN_PLACE); it is removed when
// closed unless finish_output kept it.
bool open_output(void);
// Writes the whole result from one buffer. In place the source is grown, written, cut and
// flushed, and every way out of the process waits for that.
bool write_output(const uint8_t *result);
// Flushes the result to the disk and puts it in its place; the source is closed on the way.
bool finish_output(void);
