// The crash guard: a fault on the main thread shows a report of it, then the process ends with
// status 0.
#pragma once
#include <windows.h>

#include <stdint.h>

// A handler record of the thread's chain; it must live on the installing routine's frame for as
// long as the guard is armed.
struct GuardRecord {
    GuardRecord *next;
    void *handler;
};

// Arms the guard for the calling thread. Start-up calls it first, with a record of its own frame.
void install_crash_guard(GuardRecord *record, const WCHAR *product_name, uint32_t version_tag);

// Shows the report of a fault on the guarded thread and ends the process; never returns.
__declspec(noreturn) void report_crash(DWORD code, CONTEXT *context);

// The report's facts from the fault's context; each processor kind has its own.
struct CrashFacts;
void facts_from_context(const CONTEXT *context, CrashFacts *facts);
bool read_faulting_stack(uint32_t address, uint32_t *word, void *context);
// One word of the own process's memory, read so that an unmapped address cannot fault again.
bool read_faulting_stack_at(const void *address, uint32_t *word);
