// A picture of one window as it is on the screen, kept as a PNG file for a person to look at.
#pragma once
#include <windows.h>

#include <string>

// How many colours the picture holds, so that a window not yet painted can be told apart; 0 when
// the screen cannot be read or the file cannot be written.
size_t save_window_png(HWND window, const std::wstring &path);
// How many colours the screen shows in a part of the window's client area (client coordinates).
size_t colours_in(HWND window, RECT part);
// Brings the window to the front and has it painted whole, as a person would see it.
void paint_in_front(HWND window);
// How many colours a control shows inside its border, once more than `plain` or after ms: a window
// just brought to the front may take a moment to paint.
size_t colours_inside(HWND control, size_t plain, DWORD ms);
