// The guard on 32-bit x86: a record at the head of the thread's handler chain.
#include "crash/crash_guard.h"

#include "app/app_state.h"
#include "crash/report.h"
#include "native/process_block.h"

// Every exception that reaches this record is reported the same way; it never returns.
extern "C" EXCEPTION_DISPOSITION __cdecl guard_handler(EXCEPTION_RECORD *record, void *, CONTEXT *context,
                                                       void *)
{
    report_crash(record->ExceptionCode, context);
}

void install_crash_guard(GuardRecord *record, const WCHAR *product_name, uint32_t version_tag)
{
    app.product_name = product_name;
    app.version_tag = version_tag;
    NT_TIB *tib = thread_block();
    record->next = (GuardRecord *)tib->ExceptionList;
    record->handler = (void *)guard_handler;
    tib->ExceptionList = (EXCEPTION_REGISTRATION_RECORD *)record;
}

void facts_from_context(const CONTEXT *c, CrashFacts *f)
{
    f->eip = c->Eip;
    f->eax = c->Eax;
    f->ecx = c->Ecx;
    f->edx = c->Edx;
    f->ebx = c->Ebx;
    f->esi = c->Esi;
    f->edi = c->Edi;
    f->esp = c->Esp;
    f->ebp = c->Ebp;
}

bool read_faulting_stack(uint32_t address, uint32_t *word, void *)
{
    return read_faulting_stack_at((const void *)(ULONG_PTR)address, word);
}
