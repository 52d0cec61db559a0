// A picture of one window as it is on the screen, kept as a PNG file for a person to look at.
#pragma once
#include <windows.h>

#include <string>

// How many colours the picture holds, so that a window not yet painted can be told apart; 0 when
// the screen cannot be read or the file cannot be written.
size_t save_window_png(HWND window, const std::wstring &path);
// How many colours the screen shows in a part of the window's client area (client coordinates).
size_t colours_in(HWND window, RECT part);
