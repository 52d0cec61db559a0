// Containers that are not what Encrypt makes: refused as damaged unless the length field still
// lies within the data.
#include "tests/support/files.h"

namespace {

using DamagedContainer = BlackBox;

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
        run_command(at, app, {file, password, L"", overwrite}, IDC_DECRYPT, TEXT_DAMAGED);
        expect_file(at, file, before);
        if (file_exists(file + L".QVX"))
            fail_at(at, "an output file was created for a damaged container");
        if (!opens_exclusively(file))
            fail_at(at, "the damaged container is still held");
    }
}

TEST_F(DamagedContainer, Refused)
{
    app_start(AT, app);
    std::wstring plain_path = path(L"ten.txt");
    make_file(AT, plain_path, 10, 10);
    Bytes container = encrypt_new(AT, app, plain_path, PASSWORD);
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
TEST_F(DamagedContainer, LengthFieldUpToTheDataIsAccepted)
{
    app_start(AT, app);
    std::wstring plain_path = path(L"ten.txt");
    Bytes plain = make_file(AT, plain_path, 10, 11);
    Bytes container = encrypt_new(AT, app, plain_path, PASSWORD);
    put_word(container, 0, word_at(container, 4) ^ 12);
    std::wstring padded = path(L"padded.QVX");
    write_file(AT, padded, container);
    run_command(AT, app, {padded, PASSWORD, L"", false}, IDC_DECRYPT, TEXT_DONE);
    Bytes with_pad = plain;
    with_pad.resize(12, 0);
    expect_file(AT, padded + L".QVX", with_pad);

    std::wstring empty = path(L"empty.QVX");
    write_file(AT, empty, header(0xCAFE, 0, check_value(PASSWORD)));
    run_command(AT, app, {empty, PASSWORD, L"", true}, IDC_DECRYPT, TEXT_DONE);
    expect_file(AT, empty, Bytes());
}

}   // namespace
