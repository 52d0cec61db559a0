// Shred: its question, the file gone afterwards, and what a reader or a mapping of the file sees.
#include "tests/support/files.h"

namespace {

using Shred = BlackBox;

const wchar_t PASSWORD[] = L"correct horse";

TEST_F(Shred, AsksThenDeletes)
{
    std::wstring kept = path(L"kept.bin"), empty = path(L"empty.bin"), flagged = path(L"flagged.bin");
    Bytes content = make_file(AT, kept, 10000, 7);
    write_file(AT, empty, Bytes());
    write_file(AT, flagged, content);
    app_start(AT, app);

    choose(AT, app, kept, L"", L"", false);
    std::set<DWORD> before = threads_of(app.process.dwProcessId);
    shred_answering(AT, app, IDNO, kept);
    expect_nothing_started(AT, app, before);
    expect_file(AT, kept, content);
    EXPECT_TRUE(opens_exclusively(kept));

    run_command(AT, app, IDC_SHRED, TEXT_DONE);
    EXPECT_FALSE(file_exists(kept));
    run_command(AT, app, {empty, L"", L"", false}, IDC_SHRED, TEXT_DONE);
    EXPECT_FALSE(file_exists(empty));
    run_command(AT, app, {flagged, PASSWORD, L"", true}, IDC_SHRED, TEXT_DONE);
    EXPECT_FALSE(file_exists(flagged));
}

// A reader that lets others write and delete sees the file cut to nothing; the name goes with
// the reader's handle.
TEST_F(Shred, CutsTheFileUnderAnOpenReader)
{
    std::wstring file = path(L"watched.bin");
    make_file(AT, file, 5000, 8);
    HANDLE reader = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    app_start(AT, app);
    run_command(AT, app, {file, L"", L"", false}, IDC_SHRED, TEXT_DONE);
    LARGE_INTEGER size;
    EXPECT_TRUE(GetFileSizeEx(reader, &size));
    EXPECT_EQ(size.QuadPart, 0);
    CloseHandle(reader);
    EXPECT_FALSE(file_exists(file));
}

// A file the test has mapped into memory cannot be cut or deleted, so what Shred wrote stays in
// view: the pattern "QVX " over every byte, and the notice that the shred failed.
TEST_F(Shred, MappedFileShowsThePatternAndFails)
{
    const size_t length = 5001;
    std::wstring file = path(L"mapped.bin");
    make_file(AT, file, length, 9);
    HANDLE reader = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMappingW(reader, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_TRUE(mapping);
    const uint8_t *view = (const uint8_t *)MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, length);
    ASSERT_TRUE(view);
    app_start(AT, app);
    choose(AT, app, file, L"", L"", false);
    click(AT, app, IDC_SHRED);
    expect_notice(AT, app, TEXT_SHRED_QUESTION, IDYES);
    HWND box = wait_notice(AT, app);
    expect_idle(AT, app);   // told after the window is back to idle
    check_and_answer(AT, app, box, TEXT_SHRED_FAILED);

    size_t wrong = 0;
    for (size_t i = 0; i < length; i++)
        wrong += view[i] != "QVX "[i % 4];
    EXPECT_EQ(wrong, 0u) << "bytes in view that are not the pattern";
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(reader);
    EXPECT_TRUE(file_exists(file));
    EXPECT_TRUE(opens_exclusively(file));
}

}   // namespace
