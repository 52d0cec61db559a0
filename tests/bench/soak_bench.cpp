// Soak figures of the real program, not a test: many Encrypt and Decrypt commands of a small file
// in one run, with the program's handles, committed memory and threads after 50 and after all.
// Run through tools/bench-soak.
#include <windows.h>
#include <psapi.h>

#include <stdio.h>
#include <winternl.h>

#include <vector>

#include "tests/support/files.h"
#include "res/resource.h"

namespace {

const int COMMANDS = 500;
const int FIRST_LOOK = 50;

// Private memory the program has committed, added up from its address space: the system's own
// count is not kept under every Wine.
double committed_mib(HANDLE process)
{
    SIZE_T committed = 0;
    MEMORY_BASIC_INFORMATION region;
    for (const char *at = nullptr; VirtualQueryEx(process, at, &region, sizeof region); at += region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            committed += region.RegionSize;
        if ((ULONG_PTR)at + region.RegionSize < (ULONG_PTR)at)
            break;
    }
    return committed / 1048576.0;
}

// The system's table of every open handle, as its query lays it out.
struct HandleEntry {
    ULONG owner;
    BYTE type;
    BYTE flags;
    USHORT value;
    void *object;
    ACCESS_MASK access;
};
const SYSTEM_INFORMATION_CLASS HANDLE_TABLE = (SYSTEM_INFORMATION_CLASS)16;

// Handles of the program counted in that table: Wine does not tell another process's own count.
long handles_in_table(DWORD process_id)
{
    std::vector<BYTE> table(1 << 20);
    ULONG size = 0;
    while (NtQuerySystemInformation(HANDLE_TABLE, table.data(), (ULONG)table.size(), &size) != 0) {
        if (table.size() >= (256u << 20))
            return -1;
        table.resize(table.size() * 2);
    }
    ULONG count = *(const ULONG *)table.data();
    const HandleEntry *entries = (const HandleEntry *)(table.data() + sizeof(ULONG_PTR));
    long mine = 0;
    for (ULONG i = 0; i < count; i++)
        mine += entries[i].owner == process_id;
    return mine;
}

void look(const char *when, const App &app)
{
    DWORD handles = 0;
    GetProcessHandleCount(app.process.hProcess, &handles);
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(app.process.hProcess, (PROCESS_MEMORY_COUNTERS *)&counters, sizeof counters);
    printf("%-10s handles %lu (in the system's table %ld)   committed %.1f MiB   private usage %.1f MiB   working set %.1f MiB   threads %zu\n",
           when, (unsigned long)handles, handles_in_table(app.process.dwProcessId), committed_mib(app.process.hProcess), counters.PrivateUsage / 1048576.0,
           counters.WorkingSetSize / 1048576.0, threads_of(app.process.dwProcessId).size());
    fflush(stdout);
}

TEST(Soak, ManyCommandsInOneRun)
{
    wchar_t temp[MAX_PATH];
    ASSERT_TRUE(GetTempPathW(MAX_PATH, temp));
    std::wstring file = std::wstring(temp) + L"qvx-soak-" + std::to_wstring(GetCurrentProcessId()) + L".bin";
    Bytes plain = random_bytes(64 << 10, 71);
    write_file(AT, file, plain);
    App app{};
    app_start(AT, app);
    choose(AT, app, file, L"soak", L"soak", true);
    look("start", app);
    for (int i = 1; i <= COMMANDS; i++) {
        run_command(AT, app, i % 2 ? IDC_ENCRYPT : IDC_DECRYPT, TEXT_DONE);
        if (i == FIRST_LOOK || i == COMMANDS)
            look((std::to_string(i) + " cmds").c_str(), app);
    }
    app_end(app);
    expect_file(AT, file, plain);
    DeleteFileW(file.c_str());
}

}   // namespace
