// Pure text and name rules of the command-line program.
#pragma once
#include <stddef.h>

#include <string>

// UTF-8 to zero-terminated UTF-16, cut to units − 1 units; false for text that is not UTF-8 up
// to the cut (what lies beyond it is no part of the result, so it is not looked at).
bool utf8_to_utf16(const char *text, size_t length, char16_t *out, size_t units);
// Zero-terminated UTF-16 of at most units − 1 units is Unicode text: every surrogate paired, but
// for a high one in the last place, whose pair the cut took.
bool utf16_is_text(const char16_t *text, size_t units);

// The folder part of path with its trailing separator, or "" for a bare name.
std::string folder_prefix(const std::string &path);
// Names of an interrupted run's temporary files; never taken as inputs or outputs.
bool is_temp_name(const std::string &path);
// path without a ".QVX" suffix in any letter case; false when it has none or nothing is left.
bool strip_container_suffix(const std::string &path, std::string *plain);
