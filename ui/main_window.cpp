#include "ui/main_window.h"

#include <shellapi.h>

#include "about/about_box.h"
#include "app/app_state.h"
#include "app/lifetime.h"
#include "fileops/pipeline.h"
#include "native/process_block.h"
#include "res/resource.h"
#include "ui/cmdline.h"

static void show_path(void) { SetDlgItemTextW(app.main_window, IDC_PATH, app.path); }

// The banner has no id of its own: it is the one bitmap control.
static HWND find_banner(HWND window)
{
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if ((GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP)
            return child;
    return NULL;
}

// The banner keeps its place in the template, whose size in pixels follows the font and the
// screen; its picture is drawn to that size once, smoothed, rather than stretched coarsely at
// every paint. Without it the control still keeps its place.
static void fit_banner(HWND window)
{
    HWND banner = find_banner(window);
    HBITMAP picture = banner ? (HBITMAP)SendMessageW(banner, STM_GETIMAGE, IMAGE_BITMAP, 0) : NULL;
    BITMAP size;
    RECT place;
    if (!picture || !GetObjectW(picture, sizeof size, &size) || !GetClientRect(banner, &place))
        return;
    HDC screen = GetDC(banner);
    HDC from = CreateCompatibleDC(screen), to = CreateCompatibleDC(screen);
    HBITMAP fitted = CreateCompatibleBitmap(screen, place.right, place.bottom);
    if (from && to && fitted) {
        HGDIOBJ from_old = SelectObject(from, picture), to_old = SelectObject(to, fitted);
        SetStretchBltMode(to, HALFTONE);
        SetBrushOrgEx(to, 0, 0, NULL);
        StretchBlt(to, 0, 0, place.right, place.bottom, from, 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
        SelectObject(from, from_old);
        SelectObject(to, to_old);
        SendMessageW(banner, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)fitted);
    } else if (fitted) {
        DeleteObject(fitted);
    }
    if (from)
        DeleteDC(from);
    if (to)
        DeleteDC(to);
    ReleaseDC(banner, screen);
}

// The About box is made from the module instance that came as this window's creation parameter;
// a box that cannot be made leaves the About button without effect.
static void on_init(HWND window, HINSTANCE instance)
{
    app.main_window = window;
    fit_banner(window);
    create_about_box(instance, window);
    app.progress_bar = GetDlgItem(window, IDC_PROGRESS);
    const UNICODE_STRING *line = process_command_line();
    if (scan_command_line((const char16_t *)line->Buffer, line->Length / 2, (char16_t *)app.path,
                          PATH_UNITS))
        show_path();
}

static void on_drop(HDROP drop)
{
    // The wide, unshortened query; its undocumented AorW twin is missing from Wine and 64-bit shell32.
    DragQueryFileW(drop, 0, app.path, PATH_UNITS);
    DragFinish(drop);
    show_path();
}

static void on_command(WPARAM command)
{
    switch (command) {
    case IDC_BROWSE:
        if (GetOpenFileNameW(&app.open_file))
            show_path();
        break;
    case IDC_ABOUT:
        if (app.about_box)
            ShowWindow(app.about_box, SW_SHOWNORMAL);
        break;
    case IDC_ENCRYPT:
    case IDC_DECRYPT:
    case IDC_SHRED:
        start_command((int)command);
        break;
    }
}

// A hidden window still serves the worker's messages until its in-place write ends the process.
static void on_close(HWND window)
{
    if (may_end_now())
        EndDialog(window, 0);
    else
        ShowWindow(window, SW_HIDE);
}

// The session may not end in the middle of an in-place write; a dialog answers through its result.
static INT_PTR on_query_end_session(HWND window)
{
    if (!in_place_write_running())
        return FALSE;
    SetWindowLongPtrW(window, DWLP_MSGRESULT, FALSE);
    return TRUE;
}

// Every message but a refused end of session is answered FALSE, so the dialog manager's own
// handling follows.
static INT_PTR CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_INITDIALOG:
        on_init(window, (HINSTANCE)lparam);
        break;
    case WM_DROPFILES:
        on_drop((HDROP)wparam);
        break;
    case WM_COMMAND:
        on_command(wparam);
        break;
    case WM_CLOSE:
        on_close(window);
        break;
    case WM_QUERYENDSESSION:
        return on_query_end_session(window);
    case WM_ENDSESSION:
        if (wparam)
            end_process_after_write();
        break;
    }
    return FALSE;
}

void run_main_window(HINSTANCE instance)
{
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), NULL, main_window_proc, (LPARAM)instance);
}
