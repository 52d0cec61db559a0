// A fault on a thread of the program other than the main one is left to the system: no report.
#include <set>
#include <string>

#include "tests/support/crash_driver.h"
#include "res/resource.h"
#include "tests/support/files.h"

namespace {

const uint64_t BIG_BYTES = 384ull << 20;   // enciphered and written long enough for the worker to be met
const DWORD ACCESS_VIOLATION = 0xC0000005;

uint64_t creation_time(DWORD thread_id)
{
    FILETIME created = {}, exited, kernel, user;
    HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, thread_id);
    if (!thread)
        return UINT64_MAX;
    bool ok = GetThreadTimes(thread, &created, &exited, &kernel, &user);
    CloseHandle(thread);
    return ok ? ((uint64_t)created.dwHighDateTime << 32) | created.dwLowDateTime : UINT64_MAX;
}

// The command's worker: of the threads that the program started after `before` with a routine of
// its own image (the worker and the progress pump), the one that started first.
DWORD command_worker(At at, const App &app, const std::set<DWORD> &before, const Image &image)
{
    DWORD worker = 0;
    uint64_t first = UINT64_MAX;
    for (DWORD id : threads_of(app.process.dwProcessId)) {
        ULONG_PTR entry = before.count(id) ? 0 : thread_start_address(id);
        if (entry >= image.base && entry < image.base + image.size && creation_time(id) < first)
            worker = id, first = creation_time(id);
    }
    if (!worker)
        stop_at(at, "no thread of the command in the program");
    return worker;
}

TEST_F(CrashTest, WorkerThreadFaultShowsNoReport)
{
    NoDebugger no_debugger;
    std::wstring big = path(L"big.bin");
    make_sparse(AT, big, BIG_BYTES);
    app_start(AT, app);
    Image image = image_of(AT, app.process.hProcess);
    std::set<DWORD> before = threads_of(app.process.dwProcessId);
    ASSERT_FALSE(before.empty());

    choose(AT, app, big, L"口令", L"口令", false);
    click(AT, app, IDC_ENCRYPT);
    // Well inside its work: it has read the file and started the pump. A thread stopped before it
    // has even begun would fault outside of any handler.
    std::wstring status;
    ASSERT_TRUE(wait_for(WAIT_BIG_MS, [&] {
        status = text_of(AT, item(AT, app, IDC_STATUS));
        return status == TEXT_COMPUTING || status == TEXT_WRITING;
    })) << "the status line shows \"" << utf8(status) << "\"";
    DWORD worker = command_worker(AT, app, before, image);
    ASSERT_NE(worker, app.process.dwThreadId);
    fault_thread(AT, worker, nullptr);

    // The system ends the process with the fault's code; the guard would have ended it with 0.
    DWORD exit_code = end_without_report(AT, app, WAIT_BIG_MS);
    EXPECT_EQ(exit_code, ACCESS_VIOLATION) << std::hex << exit_code;
}

}   // namespace
