// The main window: dialog template 0, run modally until it is closed.
#pragma once
#include <windows.h>

void run_main_window(HINSTANCE instance);
