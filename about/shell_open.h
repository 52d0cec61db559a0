// Opens a web address in the user's browser.
#pragma once
#include <windows.h>

BOOL shell_open(const WCHAR *address);
