// The guard's steps when the report buffer cannot be had, through a small program that links the
// real guard and report with an allocator that fails on request.
#include <string>
#include <vector>

#include "tests/support/crash_driver.h"
#include "res/resource.h"

namespace {

void start_host(At at, App &app, const std::wstring &mode)
{
    std::wstring program = windows_path(QVX_FAULT_HOST_BUILT);
    std::wstring line = L"\"" + program + L"\" " + mode;
    std::vector<wchar_t> writable(line.begin(), line.end());
    writable.push_back(0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessW(program.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &app.process))
        stop_at(at, "cannot start " + utf8(program) + ": error " + std::to_string(GetLastError()));
}

// The host's own statuses for a guard that goes wrong.
const DWORD WRONG_REQUEST_STATUS = 3, SECOND_REQUEST_STATUS = 4;

void expect_status_0(At at, DWORD exit_code)
{
    if (exit_code == WRONG_REQUEST_STATUS)
        fail_at(at, "the guard asked for another report buffer than 4096 read/write bytes");
    else if (exit_code == SECOND_REQUEST_STATUS)
        fail_at(at, "the guard faulted itself and came back for a second report buffer");
    else if (exit_code != 0)
        fail_at(at, "the fault host ended with status " + std::to_string(exit_code));
}

TEST_F(CrashTest, FailedReportAllocationEndsWithStatus0AndNoReport)
{
    NoDebugger no_debugger;   // a fault the guard misses ends the host at once, with its code
    start_host(AT, app, L"fail");
    expect_status_0(AT, end_without_report(AT, app, WAIT_MS));
}

// The same host with a working allocator shows the report: the one above is silent because its
// allocation failed, not because the host cannot report.
TEST_F(CrashTest, FaultHostReportsWhenItsAllocationWorks)
{
    NoDebugger no_debugger;
    start_host(AT, app, L"pass");
    HWND report = wait_report(AT, app);
    std::vector<std::wstring> lines = lines_of(whole_text(AT, GetDlgItem(report, IDC_REPORT)));
    ASSERT_EQ(lines.size(), 42u);
    EXPECT_EQ(utf8(lines[5]), "ExceptionCode=C0000005");
    ASSERT_TRUE(PostMessageW(GetDlgItem(report, IDC_REPORT_CLOSE), BM_CLICK, 0, 0));
    expect_status_0(AT, wait_end(AT, app));
}

}   // namespace
