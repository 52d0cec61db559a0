#include "about/about_box.h"

#include "about/server.h"
#include "about/shell_open.h"
#include "about/update_check.h"
#include "app/app_state.h"
#include "native/native.h"
#include "res/resource.h"

static const WCHAR HOME_PAGE[] = L"" HOME_PAGE_ADDRESS;

// The handle is stored before the check starts: the check reads it for its pane and question.
static void on_init(HWND box)
{
    app.about_box = box;
    HANDLE check = thread_start(update_check, NULL);
    if (check)
        handle_close(check);
}

// The whole wParam is compared, so only a plain click acts; the cancel command that follows a
// close is ignored and the box is never ended.
static void on_command(HWND box, WPARAM command)
{
    if (command == MAKEWPARAM(IDC_ABOUT_OK, BN_CLICKED))
        ShowWindow(box, SW_HIDE);
    else if (command == MAKEWPARAM(IDC_HOME_PAGE, BN_CLICKED))
        shell_open(HOME_PAGE);
}

// Every message is answered FALSE: no initial focus, and the dialog manager's handling follows.
static INT_PTR CALLBACK about_box_proc(HWND box, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        on_init(box);
        break;
    case WM_COMMAND:
        on_command(box, wparam);
        break;
    case WM_SYSCOMMAND:
        if (wparam == SC_CLOSE)
            ShowWindow(box, SW_HIDE);
        break;
    }
    return FALSE;
}

HWND create_about_box(HINSTANCE instance, HWND owner)
{
    return CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_ABOUT), owner, about_box_proc, 0);
}
