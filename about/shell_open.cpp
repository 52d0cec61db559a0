#include "about/shell_open.h"

#include <shellapi.h>

#include "native/native.h"

#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(SHELLEXECUTEINFOW) == 60, "the record of the 32-bit system");
#endif

// Only size, verb, address and show state: no mask, no owner, no parameters, no directory.
BOOL shell_open(const WCHAR *address)
{
    SHELLEXECUTEINFOW record;
    zero_bytes(&record, sizeof record);
    record.cbSize = sizeof record;
    record.lpVerb = L"Open";
    record.lpFile = address;
    record.nShow = SW_SHOW;
    return ShellExecuteExW(&record);
}
