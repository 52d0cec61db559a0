// End-to-end figures of the real program, not a test: Encrypt of a large file into a new file, or
// Decrypt of its container, timed from the button to the "操作完成" notice, with the program's CPU
// time over the same span and its peak committed memory above its idle footprint.
// Run through tools/bench-e2e, which makes the file and times cp beside it.
#include <windows.h>
#include <psapi.h>

#include <stdio.h>

#include <algorithm>

#include "tests/support/driver.h"
#include "res/resource.h"

namespace {

double seconds_of(const FILETIME &t) { return (((uint64_t)t.dwHighDateTime << 32) | t.dwLowDateTime) / 1e7; }

double cpu_seconds(const App &app)
{
    FILETIME created, ended, kernel, user;
    GetProcessTimes(app.process.hProcess, &created, &ended, &kernel, &user);
    return seconds_of(kernel) + seconds_of(user);
}

// Committed memory as the system counts it (under Wine: what of it is in use), in MiB.
double committed_mib(const App &app)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(app.process.hProcess, &counters, sizeof counters);
    return counters.PagefileUsage / 1048576.0;
}

double now_seconds()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return (double)count.QuadPart / frequency.QuadPart;
}

std::wstring env(const wchar_t *name)
{
    wchar_t buffer[MAX_PATH] = {};
    GetEnvironmentVariableW(name, buffer, MAX_PATH);
    return buffer;
}

// Runs one command on `path` into a new file and prints its figures.
void measure(const char *name, const App &app, const std::wstring &path, int command, double idle_mib)
{
    choose(AT, app, path, L"bench", L"bench", false);
    double cpu_before = cpu_seconds(app);
    double start = now_seconds();
    click(AT, app, command);
    // The status line tells where the time goes: reading, computing, writing.
    HWND status = item(AT, app, IDC_STATUS);
    std::wstring shown;
    std::string phases;
    HWND box = nullptr;
    double peak_mib = idle_mib;
    while (!(box = find_notice(app)) && now_seconds() - start < WAIT_BIG_MS * 3 / 1000.0) {
        peak_mib = std::max(peak_mib, committed_mib(app));
        std::wstring now = text_of(AT, status);
        if (now != shown) {
            char stamp[32];
            snprintf(stamp, sizeof stamp, " %.3f ", now_seconds() - start);
            phases += stamp + utf8(now);
            shown = now;
        }
        Sleep(1);
    }
    double wall = now_seconds() - start;
    ASSERT_NE(box, nullptr) << "no notice";
    printf("%-8s phases:%s\n", name, phases.c_str());
    double cpu = cpu_seconds(app) - cpu_before;
    check_and_answer(AT, app, box, TEXT_DONE);
    printf("%-8s wall %.3f s   cpu %.3f s (%.2f of wall)   peak %.1f MiB = idle + %.1f MiB\n", name,
           wall, cpu, cpu / wall, peak_mib, peak_mib - idle_mib);
    fflush(stdout);
}

// QVX_BENCH_FILE names the file; QVX_BENCH_COMMAND "decrypt" decrypts its .QVX, else it is
// encrypted.
TEST(EndToEnd, OneCommandIntoANewFile)
{
    std::wstring source = env(L"QVX_BENCH_FILE");
    ASSERT_FALSE(source.empty()) << "set QVX_BENCH_FILE to the Windows path of the file";
    bool decrypt = env(L"QVX_BENCH_COMMAND") == L"decrypt";
    App app{};
    app_start(AT, app);
    Sleep(1000);   // let the start settle before the idle footprint is read
    double idle_mib = committed_mib(app);
    printf("idle     %.1f MiB\n", idle_mib);
    if (decrypt)
        measure("decrypt", app, source + L".QVX", IDC_DECRYPT, idle_mib);
    else
        measure("encrypt", app, source, IDC_ENCRYPT, idle_mib);
    app_end(app);
}

} // namespace
