// A dialog of the program checked against its layout table: size, and every control in template
// order with its class, id, text, style and place.
#pragma once
#include <windows.h>

#include <vector>

#include "driver.h"

struct LayoutRow {
    int id;
    const wchar_t *cls;
    std::wstring text;      // not compared when `any_text`
    int x, y, w, h;         // dialog units
    DWORD style;            // beyond WS_CHILD | WS_VISIBLE
    bool any_text = false;  // a bitmap's text, or a report checked by its own test
    int pixel_w = 0, pixel_h = 0;   // non-zero: the size the control takes in pixels (a bitmap's)
};

// The dialog's font, for converting dialog units to pixels.
struct DialogFont {
    const wchar_t *face;
    WORD points;
};

// Checks the client area (w × h dialog units) and the controls against `rows`, in order.
void expect_layout(At at, HWND dialog, DialogFont font, int w, int h, const std::vector<LayoutRow> &rows);

std::string show(const RECT &r);
