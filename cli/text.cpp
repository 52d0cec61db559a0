#include "cli/text.h"

#include "cli/platform.h"

#include <string.h>

// Code points by sequence length, to refuse over-long forms.
static const unsigned long UTF8_SMALLEST[] = {0, 0, 0x80, 0x800, 0x10000};

// One code point from text; 0 bytes used when the sequence is not valid UTF-8.
static size_t utf8_next(const unsigned char *text, size_t length, unsigned long *point)
{
    unsigned char lead = text[0];
    size_t size = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    if (size == 0 || size > length)
        return 0;
    unsigned long value = size == 1 ? lead : lead & (0x7F >> size);
    for (size_t i = 1; i < size; i++) {
        if ((text[i] & 0xC0) != 0x80)
            return 0;
        value = value << 6 | (text[i] & 0x3F);
    }
    if (value < UTF8_SMALLEST[size] || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000))
        return 0;
    *point = value;
    return size;
}

bool utf8_to_utf16(const char *text, size_t length, char16_t *out, size_t units)
{
    const unsigned char *bytes = (const unsigned char *)text;
    size_t used = 0;
    for (size_t at = 0; at < length && used + 1 < units;) {
        unsigned long point;
        size_t size = utf8_next(bytes + at, length - at, &point);
        if (size == 0)
            return false;
        at += size;
        // Cut as a password box cuts: by units, a pair possibly halved.
        if (point >= 0x10000) {
            point -= 0x10000;
            if (used + 1 < units)
                out[used++] = (char16_t)(0xD800 + (point >> 10));
            point = 0xDC00 + (point & 0x3FF);
        }
        if (used + 1 < units)
            out[used++] = (char16_t)point;
    }
    out[used] = 0;
    return true;
}

static bool is_high_surrogate(char16_t c) { return c >= 0xD800 && c < 0xDC00; }
static bool is_low_surrogate(char16_t c) { return c >= 0xDC00 && c < 0xE000; }

bool utf16_is_text(const char16_t *text, size_t units)
{
    for (size_t i = 0; text[i]; i++) {
        if (is_low_surrogate(text[i]))
            return false;
        if (is_high_surrogate(text[i]) && !is_low_surrogate(text[i + 1]) && !(text[i + 1] == 0 && i + 2 == units))
            return false;
        i += is_high_surrogate(text[i]);
    }
    return true;
}

static bool is_separator(char c)
{
#ifdef _WIN32
    return c == '/' || c == '\\' || c == ':';
#else
    return c == '/';
#endif
}

static size_t base_name_at(const std::string &path)
{
    size_t at = path.size();
    while (at > 0 && !is_separator(path[at - 1]))
        at--;
    return at;
}

std::string folder_prefix(const std::string &path) { return path.substr(0, base_name_at(path)); }

bool is_temp_name(const std::string &path)
{
    return path.compare(base_name_at(path), strlen(TEMP_PREFIX), TEMP_PREFIX) == 0;
}

bool strip_container_suffix(const std::string &path, std::string *plain)
{
    static const char suffix[] = ".qvx";
    size_t n = sizeof suffix - 1;
    if (path.size() < n + 1 || path.size() - n <= base_name_at(path))
        return false;
    for (size_t i = 0; i < n; i++) {
        char c = path[path.size() - n + i];
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
        if (c != suffix[i])
            return false;
    }
    *plain = path.substr(0, path.size() - n);
    return true;
}
