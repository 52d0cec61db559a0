// The limits a user can meet: the password's length, the path's length, and files too large for
// one buffer.
#include "tests/blackbox/outside.h"
#include "tests/support/files.h"

namespace {

using Limits = BlackBox;

const wchar_t PASSWORD[] = L"口令 at the limit";

// The password box keeps 129 units: a longer password counts only with its first 129.
TEST_F(Limits, PasswordCountsUpTo129Units)
{
    app_start(AT, app);
    std::wstring file = path(L"long password.txt");
    Bytes plain = make_file(AT, file, 20, 20);
    std::wstring long_password;
    for (int i = 0; i < 140; i++)
        long_password += (wchar_t)(L'a' + i % 26);
    run_command(AT, app, {file, long_password, long_password, true}, IDC_ENCRYPT, TEXT_DONE);
    expect_container_of(AT, read_file(AT, file), plain, long_password.substr(0, 129));

    run_command(AT, app, {file, long_password.substr(0, 128), L"", true}, IDC_DECRYPT, TEXT_WRONG_PASSWORD);
    run_command(AT, app, {file, long_password.substr(0, 129), L"", true}, IDC_DECRYPT, TEXT_DONE);
    expect_file(AT, file, plain);
}

// A path of exactly `units` UTF-16 units in a subfolder of the test's folder.
std::wstring path_of_length(At at, const std::wstring &folder, size_t units)
{
    std::wstring sub = folder + L"\\" + std::wstring(100, L'd');
    if (!file_exists(sub))
        make_folder(at, sub);
    if (units < sub.size() + 10)
        stop_at(at, "the test folder's path is too long for a path of " + std::to_string(units) + " units");
    std::wstring name = L"\\" + std::to_wstring(units) + L"-";
    return sub + name + std::wstring(units - sub.size() - name.size(), L'x');
}

TEST_F(Limits, PathsThatDoNotFitAreRefused)
{
    app_start(AT, app);
    Bytes plain = random_bytes(21, 12);

    // 251 units leave room for ".QVX" within 255: the new file is made.
    std::wstring fits = path_of_length(AT, folder, 251);
    write_file(AT, fits, plain);
    run_command(AT, app, {fits, PASSWORD, PASSWORD, false}, IDC_ENCRYPT, TEXT_DONE);
    expect_container_of(AT, read_file(AT, fits + L".QVX"), plain, PASSWORD);
    // Its 255-unit container opens, but its own ".QVX" would not fit.
    run_command(AT, app, {fits + L".QVX", PASSWORD, L"", false}, IDC_DECRYPT, TEXT_CANNOT_OPEN);
    EXPECT_FALSE(file_exists(fits + L".QVX.QVX"));
    run_command(AT, app, {fits + L".QVX", PASSWORD, L"", true}, IDC_DECRYPT, TEXT_DONE);
    expect_file(AT, fits + L".QVX", plain);

    std::wstring no_room = path_of_length(AT, folder, 252);
    write_file(AT, no_room, plain);
    run_command(AT, app, {no_room, PASSWORD, PASSWORD, false}, IDC_ENCRYPT, TEXT_CANNOT_OPEN);
    EXPECT_FALSE(file_exists(no_room + L".QVX"));
    expect_file(AT, no_room, plain);
    choose(AT, app, no_room, PASSWORD, PASSWORD, true);   // in place it still fits
    run_command(AT, app, IDC_ENCRYPT, TEXT_DONE);
    expect_container_of(AT, read_file(AT, no_room), plain, PASSWORD);

    for (size_t units : {256, 259}) {
        SCOPED_TRACE(std::to_string(units) + " units in place");
        std::wstring too_long = path_of_length(AT, folder, units);
        write_file(AT, too_long, plain);
        choose(AT, app, too_long, PASSWORD, PASSWORD, true);
        expect_refused(AT, app, TEXT_CANNOT_OPEN);
        expect_file(AT, too_long, plain);
    }

    std::wstring longest = path_of_length(AT, folder, 255);
    write_file(AT, longest, plain);
    run_command(AT, app, {longest, L"", L"", false}, IDC_SHRED, TEXT_DONE);
    EXPECT_FALSE(file_exists(longest));
}

// Lengths past what the format holds: a plaintext whose container would not fit 32 bits, a
// container longer than 32 bits can count (whose low 32 bits look small). The files are sparse,
// so they cost no disk space, and are refused before anything is read.
TEST_F(Limits, FilesPastTheFormatAreRefused)
{
    struct Case {
        uint64_t length;
        bool decrypt_refused;   // a container that long still has a 32-bit length
    };
    const Case cases[] = {{0xFFFFFFF1ull, false}, {0xFFFFFFF4ull, false}, {(1ull << 32) + 4, true}, {5ull << 30, true}};
    app_start(AT, app);
    for (const Case &c : cases) {
        SCOPED_TRACE("length " + std::to_string(c.length));
        std::wstring file = path(L"huge " + std::to_wstring(c.length));
        make_sparse(AT, file, c.length);
        for (bool overwrite : {false, true}) {
            choose(AT, app, file, PASSWORD, PASSWORD, overwrite);
            for (int command : {IDC_ENCRYPT, IDC_DECRYPT, IDC_SHRED})
                if (command != IDC_DECRYPT || c.decrypt_refused)
                    run_command(AT, app, command, TEXT_TOO_LARGE);
        }
        EXPECT_EQ(file_size(AT, file), c.length);
        EXPECT_FALSE(file_exists(file + L".QVX"));
        EXPECT_TRUE(opens_exclusively(file));
        DeleteFileW(file.c_str());
    }
    // Shred's fill count is sound only below 2 GiB.
    std::wstring two_gib = path(L"two GiB");
    make_sparse(AT, two_gib, 1ull << 31);
    run_command(AT, app, {two_gib, L"", L"", false}, IDC_SHRED, TEXT_TOO_LARGE);
    EXPECT_EQ(file_size(AT, two_gib), 1ull << 31);
}

// The program's own memory limited from outside to a few MiB more than it has: neither a buffer
// for the file nor one chunk to stream it through can be had.
TEST_F(Limits, NoMemoryForTheFileNorForAChunkOfIt)
{
    wchar_t prefix[MAX_PATH] = L"";
    if (!GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH))
        GTEST_SKIP() << "no Wine prefix to find the program by";
    std::wstring file = path(L"memory.bin");
    Bytes plain = make_file(AT, file, 64u << 20, 25);
    app_start(AT, app);
    ASSERT_EQ(outside_wine(AT, "limit-memory " + unix_path(prefix) + " 4"), 0) << "cannot limit the program's memory";
    // Wine starts a thread of its own when it is short of memory, so the command's threads are
    // not counted here.
    for (bool overwrite : {false, true}) {
        choose(AT, app, file, PASSWORD, PASSWORD, overwrite);
        click(AT, app, IDC_ENCRYPT);
        expect_notice(AT, app, TEXT_NO_MEMORY);
        wait_idle(AT, app);
    }
    expect_file(AT, file, plain);
    expect_names(AT, folder, {L"memory.bin"});
}

}   // namespace
