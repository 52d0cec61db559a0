// The update check: one request to the maker's server per process, on a thread of its own.
#pragma once
#include <windows.h>

// Thread entry, started by the About box with parameter 0; it ends itself.
DWORD WINAPI update_check(void *parameter);
