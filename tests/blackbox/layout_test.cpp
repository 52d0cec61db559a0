// The main window as a user first sees it: caption, styles, and every control where it belongs.
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "driver.h"
#include "res/resource.h"

namespace {

struct Row {
    int id;
    const wchar_t *cls;
    const wchar_t *text;   // null: not compared (the banner's text is its bitmap)
    int x, y, w, h;        // dialog units
    DWORD style;           // beyond WS_CHILD | WS_VISIBLE
};

const DWORD NO_STYLE = 0;
const DWORD EDIT_PASSWORD = WS_BORDER | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL;

// Template order, as the dialog manager creates the controls and as Tab walks them.
const Row ROWS[] = {
    {IDC_PATH, L"Edit", L"", 30, 65, 305, 12, WS_BORDER | ES_AUTOHSCROLL | ES_READONLY},
    {IDC_BROWSE, L"Button", L"浏览", 339, 64, 55, 14, BS_DEFPUSHBUTTON},
    {IDC_ENCRYPT, L"Button", L"加密", 8, 142, 38, 16, BS_DEFPUSHBUTTON},
    {IDC_ABOUT, L"Button", L"关于", 353, 142, 41, 16, BS_PUSHBUTTON},
    {IDC_STATIC_TEXT, L"Static", L"文件:", 9, 66, 19, 8, SS_LEFT},
    {IDC_STATIC_TEXT, L"Static", L"加密密码:", 9, 84, 36, 8, SS_LEFT},
    {IDC_PASSWORD, L"Edit", L"", 46, 83, 289, 12, EDIT_PASSWORD},
    {IDC_STATIC_TEXT, L"Static", L"确认密码:", 9, 102, 34, 8, SS_LEFT},
    {IDC_CONFIRM, L"Edit", L"", 46, 101, 289, 12, EDIT_PASSWORD},
    {IDC_PROGRESS, L"msctls_progress32", L"", 46, 124, 347, 11, NO_STYLE},
    {IDC_DECRYPT, L"Button", L"解密", 50, 142, 38, 16, BS_PUSHBUTTON},
    {IDC_SHRED, L"Button", L"粉碎", 92, 142, 38, 16, BS_PUSHBUTTON},
    {IDC_OVERWRITE, L"Button", L"覆盖源文件", 340, 103, 54, 8, BS_AUTOCHECKBOX},
    {IDC_STATIC_TEXT, L"Static", nullptr, 0, 0, 321, 44, SS_BITMAP},
    {IDC_STATUS, L"Static", L"准备就绪…", 9, 125, 34, 8, SS_LEFT},
};

// The bits a row's style decides: the control's own low word and the general ones a template sets.
const DWORD STYLE_MASK = 0xFFFF | WS_TABSTOP | WS_GROUP | WS_BORDER | WS_DISABLED | WS_HSCROLL | WS_VSCROLL |
                         WS_CHILD | WS_VISIBLE;

const int BANNER_WIDTH = 803, BANNER_HEIGHT = 126;   // pixels; the bitmap control takes its picture's size

std::vector<HWND> children_in_order(HWND parent)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

INT_PTR CALLBACK reference_procedure(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A dialog of ours with the main window's font, for converting dialog units where MapDialogRect
// cannot reach another process's dialog (as under Wine).
HWND reference_dialog()
{
    static std::vector<WORD> t;
    if (t.empty()) {
        const WORD head[] = {1, 0xFFFF, 0, 0, 0, 0, LOWORD(DS_SETFONT | WS_POPUP), HIWORD(DS_SETFONT | WS_POPUP),
                             0, 0, 0, 400, 164, 0, 0, 0, 10, 400, (WORD)(134 << 8)};
        t.assign(head, head + sizeof head / sizeof head[0]);
        for (const wchar_t *face = L"微软雅黑"; ; face++) {
            t.push_back(*face);
            if (!*face)
                break;
        }
    }
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), (LPCDLGTEMPLATEW)t.data(), nullptr,
                                      reference_procedure, 0);
}

// The dialog manager scales position and size each on its own, so they are mapped apart.
RECT pixels(HWND main, HWND reference, int x, int y, int w, int h)
{
    RECT r = {x, y, w, h};
    if (!MapDialogRect(main, &r)) {
        r = RECT{x, y, w, h};
        MapDialogRect(reference, &r);
    }
    return RECT{r.left, r.top, r.left + r.right, r.top + r.bottom};
}

RECT client_rect_of(HWND child, HWND main)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, main, (POINT *)&r, 2);
    return r;
}

std::string show(const RECT &r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

std::wstring class_of(HWND window)
{
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    return name;
}

void check_row(At at, HWND main, HWND reference, HWND control, const Row &row)
{
    std::string who = "control " + std::to_string(row.id) + " " + utf8(row.cls) + ": ";
    if (_wcsicmp(class_of(control).c_str(), row.cls) != 0)
        fail_at(at, who + "class " + utf8(class_of(control)));
    if ((UINT)GetWindowLongPtrW(control, GWLP_ID) != (UINT)row.id)
        fail_at(at, who + "id " + std::to_string((UINT)GetWindowLongPtrW(control, GWLP_ID)));
    if (row.text && text_of(at, control) != row.text)
        fail_at(at, who + "text \"" + utf8(text_of(at, control)) + "\"");
    DWORD style = (DWORD)GetWindowLongPtrW(control, GWL_STYLE) & STYLE_MASK;
    DWORD expected = row.style | WS_CHILD | WS_VISIBLE;
    // An edit box trades its border for the sunken client edge.
    if (GetWindowLongPtrW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)
        style |= WS_BORDER;
    // The dialog manager moves the default-button look between push buttons as focus moves.
    if (row.style == BS_DEFPUSHBUTTON && (style & BS_TYPEMASK) == BS_PUSHBUTTON)
        style |= BS_DEFPUSHBUTTON;
    if (style != expected)
        fail_at(at, who + "style " + std::to_string(style) + ", expected " + std::to_string(expected));
    RECT actual = client_rect_of(control, main);
    RECT wanted = pixels(main, reference, row.x, row.y, row.w, row.h);
    if (row.style == SS_BITMAP)
        wanted.right = wanted.left + BANNER_WIDTH, wanted.bottom = wanted.top + BANNER_HEIGHT;
    if (!EqualRect(&actual, &wanted))
        fail_at(at, who + "at " + show(actual) + ", expected " + show(wanted));
}

TEST_F(BlackBox, MainWindowMatchesLayoutTable)
{
    app_start(AT, app);
    wchar_t caption[256] = L"";
    GetWindowTextW(app.main, caption, 256);
    EXPECT_EQ(utf8(caption), utf8(MAIN_CAPTION));

    DWORD style = (DWORD)GetWindowLongPtrW(app.main, GWL_STYLE);
    const DWORD wanted = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_CENTER | DS_MODALFRAME;
    EXPECT_EQ(style & wanted, wanted) << std::hex << style;
    EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD), 0u) << std::hex << style;
    EXPECT_TRUE(GetWindowLongPtrW(app.main, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);

    HWND reference = reference_dialog();
    ASSERT_TRUE(reference);
    RECT client, size = pixels(app.main, reference, 0, 0, 400, 164);
    GetClientRect(app.main, &client);
    EXPECT_TRUE(EqualRect(&client, &size)) << show(client) << " instead of " << show(size);

    std::vector<HWND> children = children_in_order(app.main);
    ASSERT_EQ(children.size(), sizeof ROWS / sizeof ROWS[0]);
    for (size_t i = 0; i < children.size(); i++) {
        SCOPED_TRACE("row " + std::to_string(i + 1));
        check_row(AT, app.main, reference, children[i], ROWS[i]);
    }
    DestroyWindow(reference);

    HWND banner = children[13];
    EXPECT_NE(send(AT, banner, STM_GETIMAGE, IMAGE_BITMAP, 0), 0) << "the banner shows no bitmap";
    EXPECT_EQ(send(AT, item(AT, app, IDC_OVERWRITE), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(bar_position(AT, app), 0);
    expect_idle(AT, app);
}

}   // namespace
