#include "ui/cmdline.h"

static const char16_t QUOTE = u'"', SPACE = u' ';

// Copies line[from .. to) into path, cut to the capacity, and terminates it.
static void take(const char16_t *line, size_t from, size_t to, char16_t *path, size_t capacity)
{
    size_t n = 0;
    for (; from + n < to && n + 1 < capacity; n++)
        path[n] = line[from + n];
    path[n] = 0;
}

bool scan_command_line(const char16_t *line, size_t units, char16_t *path, size_t capacity)
{
    if (units == 0 || capacity == 0)
        return false;
    char16_t delimiter = line[0] == QUOTE ? QUOTE : SPACE;
    size_t at = 1;
    while (at < units && line[at] != delimiter)
        at++;
    if (at == units)
        return false;
    if (delimiter == QUOTE)
        at++;
    // Exactly one unit separates the program from its argument, whatever it is.
    if (at >= units)
        return false;
    at++;
    if (at >= units)
        return false;
    if (line[at] != QUOTE) {
        take(line, at, units, path, capacity);
        return true;
    }
    size_t end = ++at;
    while (end < units && line[end] != QUOTE)
        end++;
    take(line, at, end, path, capacity);
    return true;
}
