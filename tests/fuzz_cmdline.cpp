// Arbitrary command lines: the scan stays inside the line and the path buffer, and what it finds
// is a piece of the line.
#include "ui/cmdline.h"

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    size_t capacity = data[0] % 8 == 0 ? 1 + data[0] % 5 : 260;
    std::vector<char16_t> line((size - 1) / 2);   // exactly the line's units, not terminated
    if (!line.empty())
        memcpy(line.data(), data + 1, line.size() * 2);
    std::vector<char16_t> path(capacity);
    if (!scan_command_line(line.data(), line.size(), path.data(), capacity))
        return 0;
    std::u16string found(path.data());
    if (found.size() >= capacity)
        abort();
    if (!found.empty() && std::u16string(line.begin(), line.end()).find(found) == std::u16string::npos)
        abort();
    return 0;
}
