// Every way out of the program while a file is rewritten in its own place (a file with other
// names) waits for that write and its length cut: a second close, the end of the session, the
// crash report's close.
#include <vector>

#include "tests/support/files.h"
#include "res/resource.h"
#include "tests/support/crash_driver.h"

namespace {

const wchar_t PASSWORD[] = L"whole or nothing";
// Read and decrypted for long enough that the command is held before it writes; a multiple of 4,
// so that the decrypted file is 12 bytes shorter than the container.
const size_t LARGE = 64u << 20;
const int HOLD_TRIES = 3;

class Exits : public BlackBox {
protected:
    void TearDown() override
    {
        let_go(held);
        BlackBox::TearDown();
    }

    // An in-place Decrypt of a large container, with the program's command threads held once its
    // write state is on and before its write. A try whose command was past that when first held is
    // made again.
    void hold_in_place_write(At at)
    {
        file = path(L"in place.bin");
        plain = random_bytes(LARGE, 41);
        write_file(at, file, plain);
        make_hard_link(at, path(L"other name.bin"), file);
        app_start(at, app);
        choose(at, app, file, PASSWORD, PASSWORD, true);
        for (int tries = 0; tries < HOLD_TRIES; tries++) {
            run_command(at, app, IDC_ENCRYPT, TEXT_DONE);
            std::set<DWORD> before = threads_of(app.process.dwProcessId);
            click(at, app, IDC_DECRYPT);
            // A hold that came late is still good before the length cut.
            if (hold_at_status(at, app, before, TEXT_WRITING, held) && file_size(at, file) == LARGE + 12)
                return;
            let_go(held);
            expect_notice(at, app, TEXT_DONE, IDOK, WAIT_BIG_MS);
        }
        stop_at(at, "the write ended each time before the test could hold it");
    }

    // Still running while held; once let go, ended with status 0 and the file decrypted whole.
    void expect_end_after_write(At at)
    {
        DWORD exit_code = 1;
        if (app_wait_exit(app, WAIT_SHORT_MS, &exit_code))
            stop_at(at, "the program ended in the middle of the write, status " + std::to_string(exit_code));
        let_go(held);
        if (!app_wait_exit(app, WAIT_BIG_MS, &exit_code))
            stop_at(at, "the program did not end after the write");
        if (exit_code != 0)
            fail_at(at, "the program ended with status " + std::to_string(exit_code));
        expect_file(at, file, plain);
    }

    std::wstring file;
    Bytes plain;
    Held held;
};

TEST_F(Exits, SecondCloseWaitsForTheWrite)
{
    hold_in_place_write(AT);
    ASSERT_TRUE(PostMessageW(app.main, WM_CLOSE, 0, 0));
    ASSERT_TRUE(wait_for(WAIT_MS, [&] { return !IsWindowVisible(app.main); })) << "the window stayed";
    ASSERT_TRUE(PostMessageW(app.main, WM_CLOSE, 0, 0));
    expect_end_after_write(AT);
}

TEST_F(Exits, EndOfSessionWaitsForTheWrite)
{
    hold_in_place_write(AT);
    EXPECT_EQ(send(AT, app.main, WM_QUERYENDSESSION, 0, 0), 0) << "the session may end mid-write";
    // As the system sends it: the answer comes only once the write is done, with the process's end.
    DWORD_PTR answer;
    SendMessageTimeoutW(app.main, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, WAIT_SHORT_MS, &answer);
    expect_end_after_write(AT);
}

TEST_F(Exits, CrashReportCloseWaitsForTheWrite)
{
    hold_in_place_write(AT);
    fault_main_thread(AT, app);
    HWND report = wait_report(AT, app);
    ASSERT_TRUE(PostMessageW(GetDlgItem(report, IDC_REPORT_CLOSE), BM_CLICK, 0, 0));
    ASSERT_TRUE(wait_for(WAIT_MS, [&] { return !IsWindow(report); })) << "the report stayed";
    expect_end_after_write(AT);
}

}   // namespace
