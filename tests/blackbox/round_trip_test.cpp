// Encrypt and Decrypt as a user runs them: into new ".QVX" files and over the file itself.
#include "tests/support/files.h"

namespace {

using RoundTrip = BlackBox;

const size_t SIZES[] = {0, 1, 2, 3, 4, 5, 3 * 1024 * 1024 + 2};
const wchar_t PASSWORD[] = L"密码 Secret-7";

void expect_bar_range(At at, const App &app, size_t total)
{
    if (bar_low(at, app) != 0 || bar_high(at, app) != (int)total)
        fail_at(at, "progress range " + std::to_string(bar_low(at, app)) + ".." + std::to_string(bar_high(at, app)) +
                        ", expected 0.." + std::to_string(total));
}

TEST_F(RoundTrip, IntoNewFiles)
{
    app_start(AT, app);
    for (size_t size : SIZES) {
        SCOPED_TRACE("plaintext of " + std::to_string(size) + " bytes");
        std::wstring plain_path = path(L"plain " + std::to_wstring(size) + L".bin");
        Bytes plain = make_file(AT, plain_path, size, size + 1);
        Bytes container = encrypt_new(AT, app, plain_path, PASSWORD);
        expect_bar_range(AT, app, size);
        expect_file(AT, plain_path, plain);
        expect_container_of(AT, container, plain, PASSWORD);

        // Decrypt takes no confirmation: an empty one must not matter.
        run_command(AT, app, {plain_path + L".QVX", PASSWORD, L"", false}, IDC_DECRYPT, TEXT_DONE);
        expect_bar_range(AT, app, size);
        expect_file(AT, plain_path + L".QVX.QVX", plain);
        expect_file(AT, plain_path + L".QVX", container);
    }
}

TEST_F(RoundTrip, EncryptingTwiceGivesDifferentStampsAndTheSameCheckWord)
{
    app_start(AT, app);
    std::wstring plain_path = path(L"twice.txt");
    Bytes plain = make_file(AT, plain_path, 9, 9);
    Bytes first = encrypt_new(AT, app, plain_path, PASSWORD);
    ASSERT_TRUE(DeleteFileW((plain_path + L".QVX").c_str()));
    run_command(AT, app, IDC_ENCRYPT, TEXT_DONE);
    Bytes second = read_file(AT, plain_path + L".QVX");
    expect_container_of(AT, first, plain, PASSWORD);
    expect_container_of(AT, second, plain, PASSWORD);
    EXPECT_NE(word_at(first, 0), word_at(second, 0)) << "the same stamp twice";
    EXPECT_EQ(word_at(first, 8), word_at(second, 8));
}

TEST_F(RoundTrip, InPlace)
{
    app_start(AT, app);
    for (size_t size : SIZES) {
        SCOPED_TRACE("plaintext of " + std::to_string(size) + " bytes");
        std::wstring file = path(L"in place " + std::to_wstring(size));
        Bytes plain = make_file(AT, file, size, size + 100);

        run_command(AT, app, {file, PASSWORD, PASSWORD, true}, IDC_ENCRYPT, TEXT_DONE);
        expect_container_of(AT, read_file(AT, file), plain, PASSWORD);
        EXPECT_FALSE(file_exists(file + L".QVX"));

        run_command(AT, app, IDC_DECRYPT, TEXT_DONE);
        expect_file(AT, file, plain);
        EXPECT_FALSE(file_exists(file + L".QVX"));
        EXPECT_TRUE(opens_exclusively(file)) << "the program still holds the file";
    }
}

}   // namespace
