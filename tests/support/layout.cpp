#include "layout.h"

namespace {

// The bits a row's style decides: the control's own low word and the general ones a template sets.
const DWORD STYLE_MASK = 0xFFFF | WS_TABSTOP | WS_GROUP | WS_BORDER | WS_DISABLED | WS_HSCROLL | WS_VSCROLL |
                         WS_CHILD | WS_VISIBLE;

INT_PTR CALLBACK reference_procedure(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A dialog of ours with the same font, for converting dialog units where MapDialogRect cannot
// reach another process's dialog (as under Wine).
HWND reference_dialog(DialogFont font)
{
    const WORD UPRIGHT_GB2312 = (WORD)(134 << 8);   // italic byte 0, character set byte GB2312
    const WORD head[] = {1, 0xFFFF, 0, 0, 0, 0, LOWORD(DS_SETFONT | WS_POPUP), HIWORD(DS_SETFONT | WS_POPUP),
                         0, 0, 0, 10, 10, 0, 0, 0, font.points, FW_NORMAL, UPRIGHT_GB2312};
    std::vector<WORD> t(head, head + sizeof head / sizeof head[0]);
    for (const wchar_t *face = font.face;; face++) {
        t.push_back(*face);
        if (!*face)
            break;
    }
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), (LPCDLGTEMPLATEW)t.data(), nullptr,
                                      reference_procedure, 0);
}

// The dialog manager scales position and size each on its own, so they are mapped apart.
RECT pixels(HWND dialog, HWND reference, int x, int y, int w, int h)
{
    RECT r = {x, y, w, h};
    if (!MapDialogRect(dialog, &r)) {
        r = RECT{x, y, w, h};
        MapDialogRect(reference, &r);
    }
    return RECT{r.left, r.top, r.left + r.right, r.top + r.bottom};
}

std::wstring class_of(HWND window)
{
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

void check_row(At at, HWND dialog, HWND reference, HWND control, const LayoutRow &row)
{
    std::string who = "control " + std::to_string(row.id) + " " + utf8(row.cls) + ": ";
    if (_wcsicmp(class_of(control).c_str(), row.cls) != 0)
        fail_at(at, who + "class " + utf8(class_of(control)));
    if ((UINT)GetWindowLongPtrW(control, GWLP_ID) != (UINT)row.id)
        fail_at(at, who + "id " + std::to_string((UINT)GetWindowLongPtrW(control, GWLP_ID)));
    if (!row.any_text && text_of(at, control) != row.text)
        fail_at(at, who + "text \"" + utf8(text_of(at, control)) + "\"");
    DWORD style = (DWORD)GetWindowLongPtrW(control, GWL_STYLE) & STYLE_MASK;
    DWORD expected = row.style | WS_CHILD | WS_VISIBLE;
    // An edit box trades its border for the sunken client edge.
    if (GetWindowLongPtrW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)
        style |= WS_BORDER;
    // The dialog manager moves the default-button look between push buttons as focus moves.
    if ((row.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON && (style & BS_TYPEMASK) == BS_PUSHBUTTON)
        style |= BS_DEFPUSHBUTTON;
    if (style != expected)
        fail_at(at, who + "style " + std::to_string(style) + ", expected " + std::to_string(expected));
    RECT actual;
    GetWindowRect(control, &actual);
    MapWindowPoints(HWND_DESKTOP, dialog, (POINT *)&actual, 2);
    RECT wanted = pixels(dialog, reference, row.x, row.y, row.w, row.h);
    if (row.pixel_w)
        wanted.right = wanted.left + row.pixel_w, wanted.bottom = wanted.top + row.pixel_h;
    if (!EqualRect(&actual, &wanted))
        fail_at(at, who + "at " + show(actual) + ", expected " + show(wanted));
}

}   // namespace

std::string show(const RECT &r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

void expect_layout(At at, HWND dialog, DialogFont font, int w, int h, const std::vector<LayoutRow> &rows)
{
    HWND reference = reference_dialog(font);
    if (!reference)
        stop_at(at, "cannot make a dialog to convert dialog units");
    RECT client, size = pixels(dialog, reference, 0, 0, w, h);
    GetClientRect(dialog, &client);
    if (!EqualRect(&client, &size))
        fail_at(at, "client area " + show(client) + " instead of " + show(size));

    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    if (children.size() != rows.size())
        fail_at(at, std::to_string(children.size()) + " controls instead of " + std::to_string(rows.size()));
    for (size_t i = 0; i < children.size() && i < rows.size(); i++) {
        SCOPED_TRACE("row " + std::to_string(i + 1));
        check_row(at, dialog, reference, children[i], rows[i]);
    }
    DestroyWindow(reference);
}
