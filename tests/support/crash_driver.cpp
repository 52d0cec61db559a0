#include "tests/support/crash_driver.h"

#include <psapi.h>
#include <winternl.h>

#include <utility>

extern "C" NTSTATUS NTAPI RtlGetVersion(RTL_OSVERSIONINFOW *info);

const wchar_t REPORT_CAPTION[] = L"异常崩溃报告";

static const int REST_LOOKS = 5;
static const DWORD REST_LOOK_MS = 20;
static const THREADINFOCLASS THREAD_START_ADDRESS = (THREADINFOCLASS)9;   // ThreadQuerySetWin32StartAddress

static std::string error_text(const char *what)
{
    return std::string(what) + ": error " + std::to_string(GetLastError());
}

// A register by the name that both kinds of x86 share: REGISTER(sp) is Rsp or Esp.
#ifdef _WIN64
#define REGISTER(name) R##name
#else
#define REGISTER(name) E##name
#endif

// Where a thread is: its instruction and stack pointers.
using Place = std::pair<ULONG_PTR, ULONG_PTR>;

static Place place_in(const CONTEXT &c) { return Place(c.REGISTER(ip), c.REGISTER(sp)); }

static Fault fault_of(DWORD thread_id, const CONTEXT &c)
{
    return Fault{thread_id, c.REGISTER(sp), (uint32_t)c.REGISTER(bx), (uint32_t)c.REGISTER(si),
                 (uint32_t)c.REGISTER(di), (uint32_t)c.REGISTER(bp)};
}

// Suspends the thread and reads its registers; false (and the thread running) when it cannot.
static bool stop_thread(HANDLE thread, CONTEXT *context)
{
    if (SuspendThread(thread) == (DWORD)-1)
        return false;
    *context = CONTEXT{};
    context->ContextFlags = CONTEXT_FULL;
    if (GetThreadContext(thread, context))
        return true;
    ResumeThread(thread);
    return false;
}

// Stops the thread once it has stayed at one place for REST_LOOKS looks in a row; gives up
// WAIT_START_MS after `start`, as a thread that has just started may still be busy for a while.
static bool stop_at_rest(HANDLE thread, CONTEXT *context, DWORD start)
{
    Place place;
    int same = 0;
    while (GetTickCount() - start < WAIT_START_MS) {
        if (!stop_thread(thread, context))
            return false;
        Place now = place_in(*context);
        same = now == place ? same + 1 : 0;
        if (same == REST_LOOKS)
            return true;
        place = now;
        ResumeThread(thread);
        Sleep(REST_LOOK_MS);
    }
    return false;
}

// Stops a window's thread parked in its wait for messages: at rest at the same place before and
// after a message round trip through the window. A rest inside a long call of a message handler
// (fonts at the first paint, under an emulated processor) cannot outlast the round trip, and a
// fault there would be swallowed by the system's callback frame.
static bool stop_in_message_wait(HANDLE thread, HWND window, CONTEXT *context)
{
    DWORD start = GetTickCount();
    Place before;
    while (stop_at_rest(thread, context, start)) {
        if (place_in(*context) == before)
            return true;
        before = place_in(*context);
        ResumeThread(thread);
        DWORD_PTR result;
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, WAIT_MS, &result);
    }
    return false;
}

Fault fault_thread(At at, DWORD thread_id, HWND waits_in)
{
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_SET_CONTEXT, FALSE, thread_id);
    if (!thread)
        stop_at(at, error_text(("cannot open thread " + std::to_string(thread_id)).c_str()));
    CONTEXT context;
    if (!(waits_in ? stop_in_message_wait(thread, waits_in, &context) : stop_thread(thread, &context))) {
        CloseHandle(thread);
        stop_at(at, waits_in ? "the thread does not come to rest in its message wait"
                             : error_text("cannot stop the thread"));
    }
    Fault fault = fault_of(thread_id, context);
    context.REGISTER(ip) = UNMAPPED_ADDRESS;
    context.ContextFlags = CONTEXT_CONTROL;   // only the instruction pointer changes
    bool set = SetThreadContext(thread, &context);
    std::string failure = set ? "" : error_text("cannot set the thread's context");
    if (ResumeThread(thread) == (DWORD)-1 && set)
        failure = "cannot resume the thread";
    CloseHandle(thread);
    if (!failure.empty())
        stop_at(at, failure);
    return fault;
}

Fault fault_main_thread(At at, const App &app)
{
    DWORD thread_id = GetWindowThreadProcessId(app.main, nullptr);
    if (thread_id != app.process.dwThreadId)
        stop_at(at, "the main window does not run on the program's first thread");
    // A fault inside a message that the system delivered through a callback is swallowed there (as
    // on 64-bit Windows), and after its start the program handles such messages for a while.
    Fault fault = fault_thread(at, thread_id, app.main);
    // The fault comes when this message wakes the thread.
    if (!PostMessageW(app.main, WM_NULL, 0, 0))
        stop_at(at, error_text("cannot wake the main thread"));
    return fault;
}

// Shown only once its message loop first waits.
HWND find_report(DWORD process_id) { return find_dialog(process_id, REPORT_CAPTION); }

static HWND active_of(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndActive : nullptr;
}

HWND wait_report(At at, const App &app, DWORD ms)
{
    HWND report = nullptr;
    DWORD exit_code = 0;
    wait_for(ms, [&] {
        return (report = find_report(app.process.dwProcessId)) != nullptr || app_wait_exit(app, 0, &exit_code);
    });
    if (!report)
        stop_at(at, app_wait_exit(app, 0, &exit_code)
                        ? "the program ended, status " + std::to_string(exit_code) + ", with no report"
                        : "no report within " + std::to_string(ms) + " ms");
    // Made active only after it is shown.
    if (!wait_for(ms, [&] { return active_of(report) == report; }))
        stop_at(at, "the report did not become the active window");
    return report;
}

HWND crash(At at, App &app)
{
    app_start(at, app);
    fault_main_thread(at, app);
    return wait_report(at, app);
}

DWORD wait_end(At at, const App &app, DWORD ms)
{
    DWORD exit_code = 0;
    if (!app_wait_exit(app, ms, &exit_code))
        stop_at(at, "the program still runs after " + std::to_string(ms) + " ms");
    return exit_code;
}

DWORD end_without_report(At at, const App &app, DWORD ms)
{
    DWORD exit_code = 0;
    bool ended = false;
    wait_for(ms, [&] { return find_report(app.process.dwProcessId) || (ended = app_wait_exit(app, 0, &exit_code)); });
    if (!ended)
        stop_at(at, find_report(app.process.dwProcessId) ? "a crash report appeared"
                                                         : "the program still runs after " + std::to_string(ms) + " ms");
    return exit_code;
}

Image image_of(At at, HANDLE process)
{
    HMODULE first = nullptr;
    DWORD needed = 0;
    MODULEINFO info = {};
    // The first module of the list is the program's own image.
    if (!EnumProcessModules(process, &first, sizeof first, &needed) || !needed ||
        !GetModuleInformation(process, first, &info, sizeof info))
        stop_at(at, error_text("cannot list the program's modules"));
    return Image{(ULONG_PTR)info.lpBaseOfDll, info.SizeOfImage};
}

uint32_t remote_word(At at, HANDLE process, ULONG_PTR address)
{
    uint32_t word = 0;
    SIZE_T done = 0;
    if (!ReadProcessMemory(process, (const void *)address, &word, sizeof word, &done) || done != sizeof word)
        stop_at(at, error_text(("cannot read the program's memory at " + std::to_string(address)).c_str()));
    return word;
}

void system_version(At at, uint32_t *major, uint32_t *minor)
{
    RTL_OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (RtlGetVersion(&info) != 0)
        stop_at(at, "the system does not tell its version");
    *major = info.dwMajorVersion;
    *minor = info.dwMinorVersion;
}

ULONG_PTR thread_start_address(DWORD thread_id)
{
    ULONG_PTR start = 0;
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, thread_id);
    if (!thread)
        return 0;
    if (NtQueryInformationThread(thread, THREAD_START_ADDRESS, &start, sizeof start, nullptr) != 0)
        start = 0;
    CloseHandle(thread);
    return start;
}

void CrashTest::TearDown()
{
    HWND report = app.process.hProcess ? find_report(app.process.dwProcessId) : nullptr;
    if (report) {
        DWORD exit_code;
        PostMessageW(report, WM_CLOSE, 0, 0);
        app_wait_exit(app, WAIT_MS, &exit_code);
    }
    BlackBox::TearDown();
}

static const wchar_t AE_DEBUG_KEY[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug";

NoDebugger::NoDebugger()
{
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, AE_DEBUG_KEY, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        key = nullptr;
        ADD_FAILURE() << "cannot open HKLM\\" << utf8(AE_DEBUG_KEY);
        return;
    }
    for (Value &value : saved)
        save(value);
    EXPECT_TRUE(set(L"Debugger", L"") && set(L"Auto", L"1")) << "cannot set the debugger";
}

NoDebugger::~NoDebugger()
{
    if (!key)
        return;
    for (Value &value : saved)
        restore(value);
    RegCloseKey(key);
}

void NoDebugger::save(Value &value)
{
    DWORD size = 0;
    value.present = RegQueryValueExW(key, value.name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS;
    value.data.resize(size);
    if (value.present && size)
        value.present =
            RegQueryValueExW(key, value.name, nullptr, &value.type, value.data.data(), &size) == ERROR_SUCCESS;
}

void NoDebugger::restore(const Value &value)
{
    if (value.present)
        RegSetValueExW(key, value.name, 0, value.type, value.data.data(), (DWORD)value.data.size());
    else
        RegDeleteValueW(key, value.name);
}

bool NoDebugger::set(const wchar_t *name, const wchar_t *text)
{
    return RegSetValueExW(key, name, 0, REG_SZ, (const BYTE *)text, (DWORD)(wcslen(text) + 1) * sizeof(wchar_t)) ==
           ERROR_SUCCESS;
}
