// A small program with the real crash guard and report, whose page allocator can be made to fail:
// it arms the guard as the program does and then faults on its main thread. Its one argument is
// "fail" (every allocation fails) or "pass" (the system's allocator).
#include <windows.h>

#include <wchar.h>

#include "app/app_state.h"
#include "crash/crash_guard.h"

void *system_pages_allocate(SIZE_T size, ULONG protection);   // the real allocator, renamed

// How the host ends when the guard does not do as it should; the tests know these numbers.
enum : UINT { WRONG_REQUEST_STATUS = 3, SECOND_REQUEST_STATUS = 4 };
static const SIZE_T REPORT_BYTES = 4096;

static bool allocation_fails;
static int requests;

// Stands in for the allocator of the native layer. The host faults once, so the guard must ask
// once for one read/write report buffer; a second request means that the guard faulted itself.
void *pages_allocate(SIZE_T size, ULONG protection)
{
    if (size != REPORT_BYTES || protection != PAGE_READWRITE)
        TerminateProcess(GetCurrentProcess(), WRONG_REQUEST_STATUS);
    if (++requests > 1)
        TerminateProcess(GetCurrentProcess(), SECOND_REQUEST_STATUS);
    return allocation_fails ? NULL : system_pages_allocate(size, protection);
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR arguments, int)
{
    GuardRecord guard;   // this frame lasts until the process ends
    install_crash_guard(&guard, PRODUCT_NAME, VERSION_TAG);
    allocation_fails = wcsstr(arguments, L"fail") != NULL;
    volatile ULONG_PTR nowhere = 0x10;
    *(volatile int *)nowhere = 0;
    return 1;   // not reached: the guard ends the process
}
