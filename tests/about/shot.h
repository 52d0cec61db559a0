// A picture of one window as it is on the screen, kept as a PNG file for a person to look at.
#pragma once
#include <windows.h>

#include <string>

// False when the screen cannot be read or the file cannot be written.
bool save_window_png(HWND window, const std::wstring &path);
