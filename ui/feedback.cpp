#include "ui/feedback.h"

#include <commctrl.h>

#include "native/native.h"
#include "res/resource.h"
#include "ui/app_state.h"

static const WCHAR *const STATUS_TEXTS[] = {L"准备就绪…", L"正在读取…", L"正在计算…", L"正在写入…"};

// The pump rests between updates so it does not keep a core busy; a bar needs no more.
enum { PUMP_INTERVAL_MS = 30, PUMP_STOP_WAIT_MS = 5000 };

void set_status(int index)
{
    if (index < STATUS_READY || index > STATUS_WRITING)
        index = STATUS_WRITING;
    SendMessageW(GetDlgItem(app.main_window, IDC_STATUS), WM_SETTEXT, 0, (LPARAM)STATUS_TEXTS[index]);
}

void enable_commands(BOOL enable)
{
    static const int COMMAND_BUTTONS[] = {IDC_ENCRYPT, IDC_DECRYPT, IDC_SHRED};
    for (int id : COMMAND_BUTTONS)
        EnableWindow(GetDlgItem(app.main_window, id), enable);
}

static DWORD WINAPI pump(void *total)
{
    SendMessageW(app.progress_bar, PBM_SETRANGE32, 0, (LPARAM)(uint32_t)(ULONG_PTR)total);
    while (!app.pump_stop) {
        SendMessageW(app.progress_bar, PBM_SETPOS, (WPARAM)(LONG_PTR)app.progress, 0);
        thread_sleep(PUMP_INTERVAL_MS);
    }
    thread_end();
}

HANDLE start_pump(uint32_t total)
{
    app.pump_stop = 0;
    return thread_start(pump, (void *)(ULONG_PTR)total);
}

// The pump is asked to stop and waited for, so that no position of its can reach the bar after
// the 0 set here; only a window thread that no longer answers makes it be terminated.
void stop_pump(HANDLE pump_thread)
{
    if (pump_thread) {
        app.pump_stop = 1;
        if (thread_wait(pump_thread, PUMP_STOP_WAIT_MS) != 0)
            thread_stop(pump_thread);
        handle_close(pump_thread);
    }
    SendMessageW(app.progress_bar, PBM_SETPOS, 0, 0);
}
