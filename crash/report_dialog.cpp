// The crash report dialog (template 99) and the steps of the guard that lead to it.
#include "crash/crash_guard.h"

#include "app/app_state.h"
#include "app/lifetime.h"
#include "crash/report.h"
#include "native/native.h"
#include "native/process_block.h"
#include "res/resource.h"

enum { REPORT_BYTES = 4096 };

// Builds the report over the hand-over words at the start of the buffer, after taking them out.
static void show_report(HWND dialog)
{
    ULONG_PTR *hand_over = (ULONG_PTR *)app.report;
    CrashFacts facts = {};
    facts.code = (uint32_t)hand_over[0];
    const CONTEXT *context = (const CONTEXT *)hand_over[1];
    facts_from_context(context, &facts);
    process_os_version(&facts.os_major, &facts.os_minor);
    facts.product = (const char16_t *)app.product_name;
    facts.tag = app.version_tag;
    facts.image_base = (uint32_t)(ULONG_PTR)process_image_base();
    build_report((char16_t *)app.report, app.report_size / sizeof(WCHAR), &facts, read_faulting_stack,
                 (void *)context);
    SendMessageW(GetDlgItem(dialog, IDC_REPORT), WM_SETTEXT, 0, (LPARAM)app.report);
}

// FALSE for every message: the dialog manager sets no focus and does its own handling.
static INT_PTR CALLBACK report_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        show_report(dialog);
        break;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        break;
    case WM_COMMAND:
        if (wparam == IDC_REPORT_CLOSE)   // "关闭", and Escape
            EndDialog(dialog, 0);
        break;
    }
    return FALSE;
}

void report_crash(DWORD code, CONTEXT *context)
{
    app.report = NULL;
    app.report_size = REPORT_BYTES;
    app.report = (WCHAR *)pages_allocate(REPORT_BYTES, PAGE_READWRITE);
    if (app.report) {
        ULONG_PTR *hand_over = (ULONG_PTR *)app.report;
        hand_over[0] = code;
        hand_over[1] = (ULONG_PTR)context;
        DialogBoxParamW(process_image_base(), MAKEINTRESOURCEW(IDD_CRASH), NULL, report_proc, 0);
    }
    // A worker may still be writing a file in place: the process ends once that is done.
    end_process_after_write();
}

// The stack words are read through the system, so that a stack pointer into unmapped memory
// cannot fault again inside the report.
extern "C" NTSTATUS NTAPI NtReadVirtualMemory(HANDLE process, const void *address, void *buffer,
                                              SIZE_T size, SIZE_T *done);

bool read_faulting_stack_at(const void *address, uint32_t *word)
{
    SIZE_T done = 0;
    return NtReadVirtualMemory(GetCurrentProcess(), address, word, sizeof *word, &done) == 0 &&
           done == sizeof *word;
}
