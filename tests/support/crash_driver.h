// Faults made from outside in the real program's threads, and the crash report dialog they bring
// up, found and read like any other window of the program.
#pragma once
#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "tests/support/driver.h"
#include "tests/support/lines.h"

extern const wchar_t REPORT_CAPTION[];   // "异常崩溃报告"

// An address where no page is ever mapped: running there faults with an access violation.
enum : ULONG_PTR { UNMAPPED_ADDRESS = 0x10 };

// What the test saw in the thread before letting it run on. The registers that calls preserve
// keep these values until the fault, wherever the thread was stopped.
struct Fault {
    DWORD thread_id;
    ULONG_PTR stack_pointer;   // kept as the thread had it
    uint32_t ebx, esi, edi, ebp;   // low halves on 64-bit
};

// Suspends the thread, points its instruction pointer at UNMAPPED_ADDRESS and resumes it; the fault
// comes as soon as the thread runs in user mode again. `waits_in`: a window of the thread, whose
// wait for messages the thread is first found parked in; null: wherever the thread is.
Fault fault_thread(At at, DWORD thread_id, HWND waits_in);
// The main window's thread, faulted and then woken with a message to the main window.
Fault fault_main_thread(At at, const App &app);

// The program's crash report dialog once it is shown, or null.
HWND find_report(DWORD process_id);
// Waits until the report is shown and is the active window.
HWND wait_report(At at, const App &app, DWORD ms = WAIT_START_MS);
// Starts the program, faults its main thread and returns the report it brings up.
HWND crash(At at, App &app);
// Waits until the program ends and returns its exit status; stops if it still runs after ms.
DWORD wait_end(At at, const App &app, DWORD ms = WAIT_MS);
// The same, and stops if a crash report appears first.
DWORD end_without_report(At at, const App &app, DWORD ms);

// Where the program's image lies in its address space, from the system's module list.
struct Image {
    ULONG_PTR base;
    ULONG_PTR size;
};
Image image_of(At at, HANDLE process);
// One 32-bit word of another process's memory.
uint32_t remote_word(At at, HANDLE process, ULONG_PTR address);
// The system version as the system itself tells it to this test.
void system_version(At at, uint32_t *major, uint32_t *minor);
// Where a thread began to run: the routine handed to the system when it was created.
ULONG_PTR thread_start_address(DWORD thread_id);

// The system's course for an unhandled fault starts the debugger named in the AeDebug key; Wine's
// own shows a crash dialog and holds the process until someone answers it. For the life of this
// object the command is empty and started without asking, so the start fails and the process
// ends at once with the fault's code. The former values come back at the end.
class NoDebugger {
public:
    NoDebugger();
    ~NoDebugger();

private:
    struct Value {
        const wchar_t *name;
        bool present;
        DWORD type;
        std::vector<BYTE> data;
    };
    void save(Value &value);
    void restore(const Value &value);
    bool set(const wchar_t *name, const wchar_t *text);

    HKEY key = nullptr;
    Value saved[2] = {{L"Debugger", false, 0, {}}, {L"Auto", false, 0, {}}};
};

// Tests that fault the program: at the end a report left open is closed first, so that the
// program ends at once instead of after the driver's grace time.
class CrashTest : public BlackBox {
protected:
    void TearDown() override;
};
