// The one file argument on the program's command line. Pure: no system calls.
#pragma once
#include <stddef.h>

// Scans line (units, not terminated) for the argument after the program's path; on success the
// argument is in path, terminated, cut to capacity − 1 units. Returns whether one was found.
bool scan_command_line(const char16_t *line, size_t units, char16_t *path, size_t capacity);
