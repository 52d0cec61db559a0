// The guard on 64-bit Windows, which has no handler chain on the thread: the process's last-resort
// filter, taking only faults of the guarded thread. The report shows the low halves of the
// registers under their 32-bit names.
#include "crash/crash_guard.h"

#include "app/app_state.h"
#include "crash/report.h"

static LONG WINAPI guard_filter(EXCEPTION_POINTERS *fault)
{
    if (GetCurrentThreadId() != app.guarded_thread)
        return EXCEPTION_CONTINUE_SEARCH;   // other threads take the system's default course
    report_crash(fault->ExceptionRecord->ExceptionCode, fault->ContextRecord);
}

void install_crash_guard(GuardRecord *, const WCHAR *product_name, uint32_t version_tag)
{
    app.product_name = product_name;
    app.version_tag = version_tag;
    app.guarded_thread = GetCurrentThreadId();
    SetUnhandledExceptionFilter(guard_filter);
}

void facts_from_context(const CONTEXT *c, CrashFacts *f)
{
    f->eip = (uint32_t)c->Rip;
    f->eax = (uint32_t)c->Rax;
    f->ecx = (uint32_t)c->Rcx;
    f->edx = (uint32_t)c->Rdx;
    f->ebx = (uint32_t)c->Rbx;
    f->esi = (uint32_t)c->Rsi;
    f->edi = (uint32_t)c->Rdi;
    f->esp = (uint32_t)c->Rsp;
    f->ebp = (uint32_t)c->Rbp;
}

// The stack lines name 32-bit addresses; the high half comes from the faulting stack pointer.
bool read_faulting_stack(uint32_t address, uint32_t *word, void *context)
{
    ULONG_PTR high = ((const CONTEXT *)context)->Rsp & ~(ULONG_PTR)0xFFFFFFFF;
    return read_faulting_stack_at((const void *)(high | address), word);
}
