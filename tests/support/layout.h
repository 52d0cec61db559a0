// A dialog of the program laid out as a user sees it: every control inside the dialog and clear of
// the others, and every static text whole in the dialog's font.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "driver.h"

// The face and size of a dialog template's font.
struct DialogFont {
    const wchar_t *face;
    int points;
};

// The dialog's controls in template order.
std::vector<HWND> controls_of(HWND dialog);
// Where a control lies, in the dialog's client coordinates.
RECT place_of(HWND dialog, HWND control);
// The control of the dialog that shows exactly `text`; stops unless there is exactly one.
HWND control_showing(At at, HWND dialog, const std::wstring &text);
// The controls that the Tab key moves between, in its order.
std::vector<HWND> tab_stops(HWND dialog);

// The pixels `text` takes in the font: broken into lines at `width`, or on one line when width is 0.
SIZE text_size(DialogFont font, const std::wstring &text, int width = 0);
// A static text control shows `text` whole when, broken into lines at its width as it breaks
// them, the text fits its height.
void expect_fits(At at, HWND control, DialogFont font, const std::wstring &text);
// Every control inside the client area, none over another, every static text (not a picture)
// whole. A static text takes only the lines its text needs: below them it hides nothing.
void expect_laid_out(At at, HWND dialog, DialogFont font);

std::string show(const RECT &r);
