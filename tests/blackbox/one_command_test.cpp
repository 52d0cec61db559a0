// Commands that arrive while one runs: disabled buttons do not stop a posted command message, so
// the program itself ignores them.
#include "tests/support/files.h"
#include "res/resource.h"

namespace {

class OneCommand : public BlackBox {};

const wchar_t PASSWORD[] = L"one at a time";

TEST_F(OneCommand, CommandsPostedWhileOneRunsAreIgnored)
{
    std::wstring file = path(L"long.bin"), small = path(L"small.bin");
    Bytes plain = random_bytes(128u << 20, 31), little = random_bytes(1000, 32);
    write_file(AT, file, plain);
    write_file(AT, small, little);
    app_start(AT, app);
    choose(AT, app, file, PASSWORD, PASSWORD, false);

    // Queued behind the Encrypt, so each arrives once its worker runs.
    std::set<DWORD> before = threads_of(app.process.dwProcessId);
    click(AT, app, IDC_ENCRYPT);
    for (int command : {IDC_DECRYPT, IDC_ENCRYPT, IDC_SHRED})
        click(AT, app, command);
    HWND box = wait_notice(AT, app, WAIT_BIG_MS);
    check_and_answer(AT, app, box, TEXT_DONE);
    wait_idle(AT, app);
    expect_nothing_started(AT, app, before);
    expect_file(AT, file, plain);
    expect_container_of(AT, read_file(AT, file + L".QVX"), plain, PASSWORD);
    EXPECT_FALSE(file_exists(file + L".QVX.QVX"));

    // The claim was given back: the next command runs.
    choose(AT, app, small, PASSWORD, PASSWORD, true);
    run_command(AT, app, IDC_ENCRYPT, TEXT_DONE);
    expect_container_of(AT, read_file(AT, small), little, PASSWORD);
}

}   // namespace
