#include "app/feedback.h"

#include <commctrl.h>

#include "app/app_state.h"
#include "native/native.h"
#include "res/resource.h"

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

// The bar counts in signed 32 bits: a total past that range is halved, and each position with it.
static unsigned halvings(uint32_t total) { return total > 0x7FFFFFFFu ? 1 : 0; }

// A decryption ends a few bytes below zero, which as an unsigned count lies past the total.
static void show_progress(uint32_t total)
{
    uint32_t at = (uint32_t)app.progress;
    SendMessageW(app.progress_bar, PBM_SETPOS, (WPARAM)(at > total ? 0 : at >> halvings(total)), 0);
}

static DWORD WINAPI pump(void *total)
{
    while (!app.pump_stop) {
        show_progress((uint32_t)(ULONG_PTR)total);
        thread_sleep(PUMP_INTERVAL_MS);
    }
    thread_end();
}

// The range and the first position are set before the pump starts, so that the bar shows where
// the work starts as soon as it is under way.
HANDLE start_pump(uint32_t total)
{
    app.pump_stop = 0;
    SendMessageW(app.progress_bar, PBM_SETRANGE32, 0, (LPARAM)(total >> halvings(total)));
    show_progress(total);
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
