// Inputs the program refuses on purpose: damaged containers, paths that do not fit, files too
// large for one buffer.
#include "driver.h"
#include "files.h"
#include "res/resource.h"

namespace {

const wchar_t PASSWORD[] = L"口令 for damage";

// A password whose check value has zero in its bits from `zero_from` up, so that a file cut short
// inside the check word still matches it once zero-completed. Short passwords of small units have
// small check values.
std::wstring password_with_short_check(int zero_from)
{
    for (wchar_t first = L'!'; first <= L'~'; first++)
        for (wchar_t second = 0; second <= L'~'; second = second ? second + 1 : L'!') {
            std::wstring candidate(1, first);
            if (second)
                candidate += second;
            if ((check_value(candidate) >> zero_from) == 0)
                return candidate;
        }
    ADD_FAILURE() << "no password with a check value below 2^" << zero_from;
    return L"";
}

Bytes header(uint32_t stamp, uint32_t length, uint32_t check)
{
    Bytes h(12);
    put_word(h, 0, stamp);
    put_word(h, 4, stamp ^ length);
    put_word(h, 8, check);
    return h;
}

// Decrypt with both output choices: refused as damaged, nothing created, nothing changed.
void expect_refused_as_damaged(At at, const App &app, const std::wstring &file, const std::wstring &password)
{
    Bytes before = read_file(at, file);
    for (bool overwrite : {false, true}) {
        choose(at, app, file, password, L"", overwrite);
        run_command(at, app, IDC_DECRYPT, TEXT_DAMAGED);
        expect_file(at, file, before);
        if (file_exists(file + L".QVX"))
            fail_at(at, "an output file was created for a damaged container");
        if (!opens_exclusively(file))
            fail_at(at, "the damaged container is still held");
    }
}

TEST_F(BlackBox, DamagedContainersAreRefused)
{
    app_start(AT, app);
    std::wstring plain_path = path(L"ten.txt");
    Bytes plain = random_bytes(10, 10);
    write_file(AT, plain_path, plain);
    choose(AT, app, plain_path, PASSWORD, PASSWORD, false);
    run_command(AT, app, IDC_ENCRYPT, TEXT_DONE);
    Bytes container = read_file(AT, plain_path + L".QVX");
    ASSERT_EQ(container.size(), 24u);
    uint32_t seed = word_at(container, 4);   // the key stream's origin: the stamp carries the damage

    const uint32_t too_long[] = {13, 0x7FFFFFFF, 0xFFFFFFFF};
    for (uint32_t length : too_long) {
        SCOPED_TRACE("length field " + std::to_string(length) + " over 12 data bytes");
        Bytes damaged = container;
        put_word(damaged, 0, seed ^ length);
        std::wstring file = path(L"long " + std::to_wstring(length) + L".QVX");
        write_file(AT, file, damaged);
        expect_refused_as_damaged(AT, app, file, PASSWORD);
    }

    std::wstring bare_header = path(L"header only.QVX");
    write_file(AT, bare_header, header(0x12345678, 5, check_value(PASSWORD)));
    expect_refused_as_damaged(AT, app, bare_header, PASSWORD);

    // Files cut inside the check word, with the rest of it zero; lengths 0 and 1 in the header.
    for (int kept : {2, 3}) {
        std::wstring password = password_with_short_check(8 * kept);
        for (uint32_t length : {0u, 1u}) {
            SCOPED_TRACE(std::to_string(8 + kept) + "-byte file, length field " + std::to_string(length));
            Bytes cut = header(0x0BADF00D, length, check_value(password));
            cut.resize(8 + kept);
            std::wstring file = path(L"cut " + std::to_wstring(kept) + L" " + std::to_wstring(length));
            write_file(AT, file, cut);
            expect_refused_as_damaged(AT, app, file, password);
            choose(AT, app, file, PASSWORD, L"", false);   // the password is checked first
            run_command(AT, app, IDC_DECRYPT, TEXT_WRONG_PASSWORD);
        }
    }
}

// The length field may name up to all the data bytes, pad bytes included; an empty plaintext is a
// bare header.
TEST_F(BlackBox, LengthFieldUpToTheDataIsAccepted)
{
    app_start(AT, app);
    std::wstring plain_path = path(L"ten.txt");
    Bytes plain = random_bytes(10, 11);
    write_file(AT, plain_path, plain);
    choose(AT, app, plain_path, PASSWORD, PASSWORD, false);
    run_command(AT, app, IDC_ENCRYPT, TEXT_DONE);
    Bytes container = read_file(AT, plain_path + L".QVX");
    put_word(container, 0, word_at(container, 4) ^ 12);
    std::wstring padded = path(L"padded.QVX");
    write_file(AT, padded, container);
    choose(AT, app, padded, PASSWORD, L"", false);
    run_command(AT, app, IDC_DECRYPT, TEXT_DONE);
    Bytes with_pad = plain;
    with_pad.resize(12, 0);
    expect_file(AT, padded + L".QVX", with_pad);

    std::wstring empty = path(L"empty.QVX");
    write_file(AT, empty, header(0xCAFE, 0, check_value(PASSWORD)));
    choose(AT, app, empty, PASSWORD, L"", true);
    run_command(AT, app, IDC_DECRYPT, TEXT_DONE);
    expect_file(AT, empty, Bytes());
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

TEST_F(BlackBox, PathsThatDoNotFitAreRefused)
{
    app_start(AT, app);
    Bytes plain = random_bytes(21, 12);

    // 251 units leave room for ".QVX" within 255: the new file is made.
    std::wstring fits = path_of_length(AT, folder, 251);
    write_file(AT, fits, plain);
    choose(AT, app, fits, PASSWORD, PASSWORD, false);
    run_command(AT, app, IDC_ENCRYPT, TEXT_DONE);
    expect_container_of(AT, read_file(AT, fits + L".QVX"), plain, PASSWORD);
    // Its 255-unit container opens, but its own ".QVX" would not fit.
    choose(AT, app, fits + L".QVX", PASSWORD, L"", false);
    run_command(AT, app, IDC_DECRYPT, TEXT_CANNOT_OPEN);
    EXPECT_FALSE(file_exists(fits + L".QVX.QVX"));
    choose(AT, app, fits + L".QVX", PASSWORD, L"", true);
    run_command(AT, app, IDC_DECRYPT, TEXT_DONE);
    expect_file(AT, fits + L".QVX", plain);

    std::wstring no_room = path_of_length(AT, folder, 252);
    write_file(AT, no_room, plain);
    choose(AT, app, no_room, PASSWORD, PASSWORD, false);
    run_command(AT, app, IDC_ENCRYPT, TEXT_CANNOT_OPEN);
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
        run_command(AT, app, IDC_ENCRYPT, TEXT_CANNOT_OPEN);
        run_command(AT, app, IDC_DECRYPT, TEXT_CANNOT_OPEN);
        run_command(AT, app, IDC_SHRED, TEXT_CANNOT_OPEN);
        expect_file(AT, too_long, plain);
    }

    std::wstring longest = path_of_length(AT, folder, 255);
    write_file(AT, longest, plain);
    choose(AT, app, longest, L"", L"", false);
    run_command(AT, app, IDC_SHRED, TEXT_DONE);
    EXPECT_FALSE(file_exists(longest));
}

// Lengths whose low 32 bits look small or fit, but whose container (12 + the length rounded up to
// whole words) does not fit 32 bits; the files are sparse, so they cost no disk space, and are
// refused before anything is read.
TEST_F(BlackBox, FilesTooLargeForOneBufferAreRefused)
{
    app_start(AT, app);
    const uint64_t lengths[] = {0xFFFFFFF1ull, 0xFFFFFFF3ull, 0xFFFFFFF4ull, (1ull << 32) + 4, 5ull << 30};
    for (uint64_t length : lengths) {
        SCOPED_TRACE("length " + std::to_string(length));
        std::wstring file = path(L"huge " + std::to_wstring(length));
        make_sparse(AT, file, length);
        for (bool overwrite : {false, true}) {
            choose(AT, app, file, PASSWORD, PASSWORD, overwrite);
            run_command(AT, app, IDC_ENCRYPT, TEXT_TOO_LARGE);
            run_command(AT, app, IDC_DECRYPT, TEXT_TOO_LARGE);
        }
        run_command(AT, app, IDC_SHRED, TEXT_TOO_LARGE);
        EXPECT_EQ(file_size(AT, file), length);
        EXPECT_FALSE(file_exists(file + L".QVX"));
        EXPECT_TRUE(opens_exclusively(file));
        DeleteFileW(file.c_str());
    }
    // Shred's fill count is sound only below 2 GiB.
    std::wstring two_gib = path(L"two GiB");
    make_sparse(AT, two_gib, 1ull << 31);
    choose(AT, app, two_gib, L"", L"", false);
    run_command(AT, app, IDC_SHRED, TEXT_TOO_LARGE);
    EXPECT_EQ(file_size(AT, two_gib), 1ull << 31);
}

}   // namespace
