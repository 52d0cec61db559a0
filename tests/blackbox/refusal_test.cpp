// Every way a command can be refused: the exact notice, and what is left on disk afterwards.
#include "tests/support/files.h"

namespace {

using Refusal = BlackBox;

const wchar_t PASSWORD[] = L"correct horse";

TEST_F(Refusal, CommandsWithoutAFileCannotOpen)
{
    app_start(AT, app);
    ASSERT_EQ(text_of(AT, item(AT, app, IDC_PATH)), L"");
    run_command(AT, app, IDC_ENCRYPT, TEXT_CANNOT_OPEN);   // the file is opened before the password is looked at
    set_text(AT, item(AT, app, IDC_PASSWORD), PASSWORD);
    run_command(AT, app, IDC_DECRYPT, TEXT_CANNOT_OPEN);
    std::set<DWORD> before = threads_of(app.process.dwProcessId);
    shred_answering(AT, app, IDNO, L"");
    expect_nothing_started(AT, app, before);
    run_command(AT, app, IDC_SHRED, TEXT_CANNOT_OPEN);
}

// Each source the program must not open, with all three commands and both output choices.
TEST_F(Refusal, UnopenableSourcesAreRefused)
{
    std::wstring held = path(L"held.txt"), bare = path(L"bare.txt"), sub = path(L"a folder");
    Bytes content = make_file(AT, held, 100, 1);
    write_file(AT, bare, content);
    make_folder(AT, sub);
    HANDLE holder = CreateFileW(held.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    // The program starts in the test folder, so the bare name would be found if it were resolved.
    app_start(AT, app, L"", folder);

    const std::wstring sources[] = {path(L"missing.txt"), sub, held, L"bare.txt", sub + L"\\"};
    for (const std::wstring &source : sources) {
        SCOPED_TRACE(utf8(source));
        for (bool overwrite : {false, true}) {
            choose(AT, app, source, PASSWORD, PASSWORD, overwrite);
            expect_refused(AT, app, TEXT_CANNOT_OPEN);
        }
        EXPECT_FALSE(file_exists(source + L".QVX"));
    }
    CloseHandle(holder);
    expect_file(AT, held, content);
    expect_file(AT, bare, content);
    EXPECT_FALSE(file_exists(bare + L".QVX"));
    EXPECT_TRUE(GetFileAttributesW(sub.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(Refusal, ConfirmationMustMatchForEncrypt)
{
    std::wstring file = path(L"confirm.txt");
    Bytes plain = make_file(AT, file, 33, 2);
    app_start(AT, app);
    const std::wstring different[] = {L"correct hors", L"correct horse ", L"Correct horse", L""};
    for (const std::wstring &confirmation : different) {
        for (bool overwrite : {false, true}) {
            SCOPED_TRACE("confirmation \"" + utf8(confirmation) + "\", overwrite " + std::to_string(overwrite));
            run_command(AT, app, {file, PASSWORD, confirmation, overwrite}, IDC_ENCRYPT, TEXT_CONFIRM_DIFFERS);
            expect_file(AT, file, plain);
            EXPECT_FALSE(file_exists(file + L".QVX"));
            EXPECT_TRUE(opens_exclusively(file)) << "the file is still held";
        }
    }
    run_command(AT, app, {file, PASSWORD, PASSWORD, true}, IDC_ENCRYPT, TEXT_DONE);
    expect_container_of(AT, read_file(AT, file), plain, PASSWORD);
}

// The wrong-password notice comes while the window still shows its working state.
void decrypt_with_wrong_password(At at, const App &app)
{
    click(at, app, IDC_DECRYPT);
    HWND box = wait_notice(at, app);
    std::wstring status = text_of(at, item(at, app, IDC_STATUS));
    if (status != TEXT_READING)
        fail_at(at, "status \"" + utf8(status) + "\" while the wrong password is told");
    if (commands_enabled(at, app) != 0)
        fail_at(at, "command buttons enabled while the wrong password is told");
    check_and_answer(at, app, box, TEXT_WRONG_PASSWORD);
    wait_idle(at, app);
}

TEST_F(Refusal, WrongPasswordLeavesTheContainerAndCanBeRetried)
{
    std::wstring file = path(L"secret.doc");
    Bytes plain = make_file(AT, file, 1000, 3);
    app_start(AT, app);
    Bytes container = encrypt_new(AT, app, file, PASSWORD);
    std::wstring container_path = file + L".QVX";

    for (bool overwrite : {false, true, false}) {
        SCOPED_TRACE("overwrite " + std::to_string(overwrite));
        choose(AT, app, container_path, L"correct horsE", L"", overwrite);
        std::set<DWORD> before = threads_of(app.process.dwProcessId);
        decrypt_with_wrong_password(AT, app);
        expect_no_new_threads(AT, app, before);
        expect_file(AT, container_path, container);
        EXPECT_FALSE(file_exists(container_path + L".QVX"));
        EXPECT_TRUE(opens_exclusively(container_path));
    }
    run_command(AT, app, {container_path, PASSWORD, L"", true}, IDC_DECRYPT, TEXT_DONE);
    expect_file(AT, container_path, plain);
}

TEST_F(Refusal, ExistingOutputIsNeverReplaced)
{
    std::wstring plain_path = path(L"report.txt"), other_path = path(L"other.txt");
    Bytes plain = make_file(AT, plain_path, 50, 4), occupant = make_file(AT, plain_path + L".QVX", 70, 5);
    write_file(AT, other_path, plain);
    app_start(AT, app);

    choose(AT, app, plain_path, PASSWORD, PASSWORD, false);
    click(AT, app, IDC_ENCRYPT);
    HWND box = wait_notice(AT, app);
    expect_idle(AT, app);   // told after the window is back to idle
    check_and_answer(AT, app, box, TEXT_WRITE_ERROR);
    expect_file(AT, plain_path, plain);
    expect_file(AT, plain_path + L".QVX", occupant);
    EXPECT_TRUE(opens_exclusively(plain_path));

    Bytes container = encrypt_new(AT, app, other_path, PASSWORD);
    write_file(AT, other_path + L".QVX.QVX", occupant);
    run_command(AT, app, {other_path + L".QVX", PASSWORD, L"", false}, IDC_DECRYPT, TEXT_WRITE_ERROR);
    expect_file(AT, other_path + L".QVX", container);
    expect_file(AT, other_path + L".QVX.QVX", occupant);
    EXPECT_TRUE(opens_exclusively(other_path + L".QVX"));
}

TEST_F(Refusal, EmptyPasswordDoesNothing)
{
    std::wstring file = path(L"quiet.txt"), container_path = path(L"quiet2.txt");
    Bytes plain = make_file(AT, file, 64, 6);
    write_file(AT, container_path, plain);
    app_start(AT, app);
    Bytes container = encrypt_new(AT, app, container_path, PASSWORD);

    struct Case {
        const std::wstring &source;
        int command;
        const wchar_t *confirmation;
    } cases[] = {{file, IDC_ENCRYPT, L""}, {file, IDC_ENCRYPT, PASSWORD}, {container_path + L".QVX", IDC_DECRYPT, L""}};
    for (const Case &c : cases) {
        for (bool overwrite : {false, true}) {
            SCOPED_TRACE(utf8(c.source) + " command " + std::to_string(c.command) + " overwrite " +
                         std::to_string(overwrite));
            choose(AT, app, c.source, L"", c.confirmation, overwrite);
            std::set<DWORD> before = threads_of(app.process.dwProcessId);
            click(AT, app, c.command);
            expect_nothing_started(AT, app, before);
            EXPECT_TRUE(opens_exclusively(c.source)) << "the file is still held";
            EXPECT_FALSE(file_exists(c.source + L".QVX"));
        }
    }
    expect_file(AT, file, plain);
    expect_file(AT, container_path + L".QVX", container);
}

}   // namespace
