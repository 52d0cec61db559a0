// Program entry: prepares the open-file dialog record, runs the main window, ends the process
// (after an in-place write that still runs).
#include <windows.h>
#include <commctrl.h>

#include "app/app_state.h"
#include "app/lifetime.h"
#include "crash/crash_guard.h"
#include "native/native.h"
#include "native/process_block.h"
#include "ui/main_window.h"

static const WCHAR OPEN_FILTER[] = L"所有文件\0*.*\0";

static void fill_open_file_record(void)
{
    OPENFILENAMEW *record = &app.open_file;
    record->lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    record->lpstrFilter = OPEN_FILTER;
    record->lpstrFile = app.path;
    record->nMaxFile = PATH_UNITS;
    record->Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    GuardRecord guard;   // this frame lasts as long as the process
    install_crash_guard(&guard, PRODUCT_NAME, VERSION_TAG);
    fill_open_file_record();
    // The progress bar's window class comes from the common controls library.
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    run_main_window(process_image_base());
    end_process_after_write();
}
