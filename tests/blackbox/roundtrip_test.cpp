// Encrypt and Decrypt as a user runs them: into new ".QVX" files and over the file itself.
#include "driver.h"
#include "files.h"
#include "res/resource.h"

namespace {

const size_t SIZES[] = {0, 1, 2, 3, 4, 5, 3 * 1024 * 1024 + 2};
const wchar_t PASSWORD[] = L"密码 Secret-7";

void expect_bar_range(At at, const App &app, size_t total)
{
    if (bar_low(at, app) != 0 || bar_high(at, app) != (int)total)
        fail_at(at, "progress range " + std::to_string(bar_low(at, app)) + ".." + std::to_string(bar_high(at, app)) +
                        ", expected 0.." + std::to_string(total));
}

TEST_F(BlackBox, EncryptAndDecryptIntoNewFiles)
{
    app_start(AT, app);
    for (size_t size : SIZES) {
        SCOPED_TRACE("plaintext of " + std::to_string(size) + " bytes");
        std::wstring plain_path = path(L"plain " + std::to_wstring(size) + L".bin");
        Bytes plain = random_bytes(size, size + 1);
        write_file(AT, plain_path, plain);

        choose(AT, app, plain_path, PASSWORD, PASSWORD, false);
        run_command(AT, app, IDC_ENCRYPT, TEXT_DONE);
        expect_bar_range(AT, app, size);
        expect_file(AT, plain_path, plain);
        Bytes container = read_file(AT, plain_path + L".QVX");
        expect_container_of(AT, container, plain, PASSWORD);

        // Decrypt takes no confirmation: an empty one must not matter.
        choose(AT, app, plain_path + L".QVX", PASSWORD, L"", false);
        run_command(AT, app, IDC_DECRYPT, TEXT_DONE);
        expect_bar_range(AT, app, size);
        expect_file(AT, plain_path + L".QVX.QVX", plain);
        expect_file(AT, plain_path + L".QVX", container);
    }
}

TEST_F(BlackBox, EncryptingTwiceGivesDifferentStampsAndTheSameCheckWord)
{
    app_start(AT, app);
    std::wstring plain_path = path(L"twice.txt");
    Bytes plain = random_bytes(9, 9);
    write_file(AT, plain_path, plain);
    choose(AT, app, plain_path, PASSWORD, PASSWORD, false);
    run_command(AT, app, IDC_ENCRYPT, TEXT_DONE);
    Bytes first = read_file(AT, plain_path + L".QVX");
    ASSERT_TRUE(DeleteFileW((plain_path + L".QVX").c_str()));
    run_command(AT, app, IDC_ENCRYPT, TEXT_DONE);
    Bytes second = read_file(AT, plain_path + L".QVX");
    expect_container_of(AT, first, plain, PASSWORD);
    expect_container_of(AT, second, plain, PASSWORD);
    EXPECT_NE(word_at(first, 0), word_at(second, 0)) << "the same stamp twice";
    EXPECT_EQ(word_at(first, 8), word_at(second, 8));
}

TEST_F(BlackBox, EncryptAndDecryptInPlace)
{
    app_start(AT, app);
    for (size_t size : SIZES) {
        SCOPED_TRACE("plaintext of " + std::to_string(size) + " bytes");
        std::wstring file = path(L"in place " + std::to_wstring(size));
        Bytes plain = random_bytes(size, size + 100);
        write_file(AT, file, plain);

        choose(AT, app, file, PASSWORD, PASSWORD, true);
        run_command(AT, app, IDC_ENCRYPT, TEXT_DONE);
        expect_container_of(AT, read_file(AT, file), plain, PASSWORD);
        EXPECT_FALSE(file_exists(file + L".QVX"));

        run_command(AT, app, IDC_DECRYPT, TEXT_DONE);
        expect_file(AT, file, plain);
        EXPECT_FALSE(file_exists(file + L".QVX"));
        EXPECT_TRUE(opens_exclusively(file)) << "the program still holds the file";
    }
}

// The password box keeps 129 units: a longer password counts only with its first 129.
TEST_F(BlackBox, PasswordCountsUpTo129Units)
{
    app_start(AT, app);
    std::wstring file = path(L"long password.txt");
    Bytes plain = random_bytes(20, 20);
    write_file(AT, file, plain);
    std::wstring long_password;
    for (int i = 0; i < 140; i++)
        long_password += (wchar_t)(L'a' + i % 26);
    choose(AT, app, file, long_password, long_password, true);
    run_command(AT, app, IDC_ENCRYPT, TEXT_DONE);
    expect_container_of(AT, read_file(AT, file), plain, long_password.substr(0, 129));

    choose(AT, app, file, long_password.substr(0, 128), L"", true);
    run_command(AT, app, IDC_DECRYPT, TEXT_WRONG_PASSWORD);
    choose(AT, app, file, long_password.substr(0, 129), L"", true);
    run_command(AT, app, IDC_DECRYPT, TEXT_DONE);
    expect_file(AT, file, plain);
}

}   // namespace
