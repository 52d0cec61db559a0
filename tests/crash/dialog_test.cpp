// The report dialog as the user sees it: its frame, its three controls where they belong, and a
// picture of it kept for a person to look at.
#include <string>
#include <vector>

#include "crash_driver.h"
#include "res/resource.h"
#include "tests/about/shot.h"

namespace {

const wchar_t EXPLANATION[] = L"程序运行时发生异常并崩溃。以下为有关异常的信息与程序运行时的数据，你可以将它们发送给我以助改进程序。";
const int DIALOG_W = 162, DIALOG_H = 189;   // dialog units

struct Row {
    int id;
    const wchar_t *cls;
    const wchar_t *text;   // null: the report, read by its own test
    int x, y, w, h;        // dialog units
    DWORD style;           // beyond WS_CHILD | WS_VISIBLE
};

// Template order. The report box has no horizontal scrolling, so that long lines wrap.
const Row ROWS[] = {
    {IDC_REPORT_CLOSE, L"Button", L"关闭", 102, 170, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {IDC_STATIC_TEXT, L"Static", EXPLANATION, 8, 6, 144, 34, SS_LEFT | WS_GROUP},
    {IDC_REPORT, L"Edit", nullptr, 8, 34, 144, 130, ES_MULTILINE | ES_READONLY | WS_BORDER | WS_VSCROLL | WS_TABSTOP},
};

// The bits a row's style decides: the control's own low word and the general ones a template sets.
const DWORD STYLE_MASK = 0xFFFF | WS_TABSTOP | WS_GROUP | WS_BORDER | WS_DISABLED | WS_HSCROLL | WS_VSCROLL |
                         WS_CHILD | WS_VISIBLE;

INT_PTR CALLBACK reference_procedure(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// A dialog of ours with the report's font, for converting dialog units where MapDialogRect cannot
// reach another process's dialog (as under Wine).
HWND reference_dialog()
{
    static std::vector<WORD> t;
    if (t.empty()) {
        const WORD head[] = {1, 0xFFFF, 0, 0, 0, 0, LOWORD(DS_SETFONT | WS_POPUP), HIWORD(DS_SETFONT | WS_POPUP),
                             0, 0, 0, DIALOG_W, DIALOG_H, 0, 0, 0, 10, 400, (WORD)(134 << 8)};
        t.assign(head, head + sizeof head / sizeof head[0]);
        for (const wchar_t *face = L"微软雅黑";; face++) {
            t.push_back(*face);
            if (!*face)
                break;
        }
    }
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), (LPCDLGTEMPLATEW)t.data(), nullptr,
                                      reference_procedure, 0);
}

// Position and size are scaled each on its own, so they are mapped apart.
RECT pixels(HWND dialog, HWND reference, int x, int y, int w, int h)
{
    RECT r = {x, y, w, h};
    if (!MapDialogRect(dialog, &r)) {
        r = RECT{x, y, w, h};
        MapDialogRect(reference, &r);
    }
    return RECT{r.left, r.top, r.left + r.right, r.top + r.bottom};
}

RECT client_rect_of(HWND child, HWND dialog)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, dialog, (POINT *)&r, 2);
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

void check_row(At at, HWND dialog, HWND reference, HWND control, const Row &row)
{
    std::string who = "control " + std::to_string(row.id) + " " + utf8(row.cls) + ": ";
    if (_wcsicmp(class_of(control).c_str(), row.cls) != 0)
        fail_at(at, who + "class " + utf8(class_of(control)));
    if ((UINT)GetWindowLongPtrW(control, GWLP_ID) != (UINT)row.id)
        fail_at(at, who + "id " + std::to_string((UINT)GetWindowLongPtrW(control, GWLP_ID)));
    if (row.text && whole_text(at, control) != row.text)
        fail_at(at, who + "text \"" + utf8(whole_text(at, control)) + "\"");
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
    RECT actual = client_rect_of(control, dialog);
    RECT wanted = pixels(dialog, reference, row.x, row.y, row.w, row.h);
    if (!EqualRect(&actual, &wanted))
        fail_at(at, who + "at " + show(actual) + ", expected " + show(wanted));
}

HWND crash(At at, App &app)
{
    app_start(at, app);
    fault_main_thread(at, app);
    return wait_report(at, app);
}

TEST_F(CrashTest, ReportDialogMatchesLayoutTable)
{
    HWND report = crash(AT, app);
    DWORD style = (DWORD)GetWindowLongPtrW(report, GWL_STYLE);
    const DWORD wanted = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
    EXPECT_EQ(style & wanted, wanted) << std::hex << style;
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD), 0u) << std::hex << style;
    EXPECT_TRUE(GetWindowLongPtrW(report, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);

    HWND reference = reference_dialog();
    ASSERT_TRUE(reference);
    RECT client, size = pixels(report, reference, 0, 0, DIALOG_W, DIALOG_H);
    GetClientRect(report, &client);
    EXPECT_TRUE(EqualRect(&client, &size)) << show(client) << " instead of " << show(size);

    // Centred on the screen's work area, as it has no owner to be centred on.
    RECT frame, area;
    GetWindowRect(report, &frame);
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0));
    EXPECT_LE(abs((frame.left + frame.right) - (area.left + area.right)), 2) << show(frame) << " in " << show(area);
    EXPECT_LE(abs((frame.top + frame.bottom) - (area.top + area.bottom)), 2) << show(frame) << " in " << show(area);

    std::vector<HWND> children;
    for (HWND child = GetWindow(report, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    ASSERT_EQ(children.size(), sizeof ROWS / sizeof ROWS[0]);
    for (size_t i = 0; i < children.size(); i++) {
        SCOPED_TRACE("row " + std::to_string(i + 1));
        check_row(AT, report, reference, children[i], ROWS[i]);
    }
    DestroyWindow(reference);
}

TEST_F(CrashTest, ReportPicture)
{
    HWND report = crash(AT, app);
    SetForegroundWindow(report);
    RedrawWindow(report, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    send(AT, report, WM_NULL, 0, 0);
    std::wstring path = windows_path(QVX_ARTIFACTS "/crash-report.png");
    DeleteFileW(path.c_str());
    EXPECT_TRUE(save_window_png(report, path)) << utf8(path);
}

}   // namespace
