#include "layout.h"

#include <algorithm>

namespace {

// The template's font made in this process: under Wine a font handle of another process cannot
// be used here.
HFONT font_of(HDC dc, DialogFont font)
{
    LOGFONTW f = {};
    f.lfHeight = -MulDiv(font.points, GetDeviceCaps(dc, LOGPIXELSY), 72);
    f.lfWeight = FW_NORMAL;
    f.lfCharSet = GB2312_CHARSET;
    wcsncpy(f.lfFaceName, font.face, LF_FACESIZE - 1);
    return CreateFontIndirectW(&f);
}

bool is_static_text(HWND control)
{
    wchar_t name[16] = L"";
    GetClassNameW(control, name, 16);
    return _wcsicmp(name, L"Static") == 0 && (GetWindowLongPtrW(control, GWL_STYLE) & SS_TYPEMASK) <= SS_RIGHT;
}

std::string who(At at, HWND dialog, HWND control)
{
    RECT place = place_of(dialog, control);
    return "\"" + utf8(text_of(at, control)) + "\" at " + std::to_string(place.left) + "," + std::to_string(place.top);
}

// The part of the dialog that a control covers; a static text only down to its text's last line.
RECT taken(At at, HWND dialog, HWND control, DialogFont font)
{
    RECT place = place_of(dialog, control);
    if (is_static_text(control))
        place.bottom = std::min(place.bottom, place.top + text_size(font, text_of(at, control), place.right - place.left).cy);
    return place;
}

}   // namespace

std::vector<HWND> controls_of(HWND dialog)
{
    std::vector<HWND> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        controls.push_back(child);
    return controls;
}

RECT place_of(HWND dialog, HWND control)
{
    RECT r = {};
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, dialog, (POINT *)&r, 2);
    return r;
}

HWND control_showing(At at, HWND dialog, const std::wstring &text)
{
    HWND found = nullptr;
    int count = 0;
    for (HWND control : controls_of(dialog))
        if (text_of(at, control) == text)
            found = control, count++;
    if (count != 1)
        stop_at(at, "\"" + utf8(text) + "\" is shown by " + std::to_string(count) + " controls, not one");
    return found;
}

std::vector<HWND> tab_stops(HWND dialog)
{
    std::vector<HWND> stops;
    // By the controls' own styles: the dialog may be hidden.
    for (HWND control : controls_of(dialog))
        if ((GetWindowLongPtrW(control, GWL_STYLE) & (WS_TABSTOP | WS_VISIBLE | WS_DISABLED)) == (WS_TABSTOP | WS_VISIBLE))
            stops.push_back(control);
    return stops;
}

SIZE text_size(DialogFont font, const std::wstring &text, int width)
{
    HDC dc = GetDC(nullptr);
    HFONT made = font_of(dc, font);
    HGDIOBJ old = SelectObject(dc, made);
    RECT needed = {0, 0, width, 0};
    DrawTextW(dc, text.c_str(), (int)text.size(), &needed,
              DT_CALCRECT | DT_EXPANDTABS | (width ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, old);
    DeleteObject(made);
    ReleaseDC(nullptr, dc);
    return SIZE{needed.right, needed.bottom};
}

void expect_fits(At at, HWND control, DialogFont font, const std::wstring &text)
{
    RECT client;
    GetClientRect(control, &client);
    SIZE needed = text_size(font, text, client.right);
    if (needed.cx > client.right || needed.cy > client.bottom)
        fail_at(at, "\"" + utf8(text) + "\" needs " + std::to_string(needed.cx) + " x " + std::to_string(needed.cy) +
                        " pixels, its control is " + std::to_string(client.right) + " x " + std::to_string(client.bottom));
}

void expect_laid_out(At at, HWND dialog, DialogFont font)
{
    std::vector<HWND> controls = controls_of(dialog);
    if (controls.empty())
        fail_at(at, "the dialog has no controls");
    RECT client, overlap;
    GetClientRect(dialog, &client);
    for (size_t i = 0; i < controls.size(); i++) {
        RECT place = place_of(dialog, controls[i]), mine = taken(at, dialog, controls[i], font);
        if (!IntersectRect(&overlap, &place, &client) || !EqualRect(&overlap, &place))
            fail_at(at, who(at, dialog, controls[i]) + " reaches out of the dialog");
        for (size_t j = i + 1; j < controls.size(); j++) {
            RECT other = taken(at, dialog, controls[j], font);
            if (IntersectRect(&overlap, &mine, &other))
                fail_at(at, who(at, dialog, controls[i]) + " overlaps " + who(at, dialog, controls[j]));
        }
        if (is_static_text(controls[i]))
            expect_fits(at, controls[i], font, text_of(at, controls[i]));
    }
}

std::string show(const RECT &r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}
