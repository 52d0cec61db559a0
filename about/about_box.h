// The About box: dialog template 1, made once and hidden; its creation starts the update check.
#pragma once
#include <windows.h>

// Creates the box hidden, owned by `owner`; NULL when it cannot be made.
HWND create_about_box(HINSTANCE instance, HWND owner);
