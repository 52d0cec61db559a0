// The native layer against real files, pages and threads. Set-up and checks go through the usual
// Win32 calls, so the layer is never checked only against itself.
#include "fileops/open_modes.h"
#include "native/native.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

namespace {

typedef std::wstring Text;

const NTSTATUS STATUS_NOT_IMPLEMENTED_CODE = (NTSTATUS)0xC0000002L;
const NTSTATUS STATUS_SHARING_VIOLATION_CODE = (NTSTATUS)0xC0000043L;
const NTSTATUS STATUS_NOT_FOUND_CODE = (NTSTATUS)0xC0000034L;     // object name not found
const NTSTATUS STATUS_COLLISION_CODE = (NTSTATUS)0xC0000035L;     // object name collision
const NTSTATUS STATUS_NOT_SUPPORTED_CODE = (NTSTATUS)0xC00000BBL;
const NTSTATUS STATUS_TIMEOUT_CODE = (NTSTATUS)0x00000102L;
const DWORD BOUNDED_WAIT_MS = 20000;
const HANDLE UNTOUCHED = (HANDLE)(ULONG_PTR)0x5A5A5A5A;

// The opens a command makes: the source for reading, in place, for Shred, and the new output.
const ULONG IN_PLACE_ACCESS = SOURCE_ACCESS | FILE_WRITE_DATA;
const ULONG SHRED_ACCESS = SOURCE_ACCESS | DELETE | FILE_WRITE_DATA;

// The end-of-file position as the commands read it; 0 if the query fails.
uint64_t length_of(HANDLE h)
{
    FileFacts facts = {};
    return file_facts(h, &facts) == 0 ? facts.length : 0;
}

NTSTATUS open_source(HANDLE *file, const Text &path, ULONG access = SOURCE_ACCESS)
{
    return file_open(file, path.c_str(), access, SOURCE_SHARE, SOURCE_DISPOSITION, OPEN_OPTIONS);
}

NTSTATUS create_output(HANDLE *file, const Text &path)
{
    return file_open(file, path.c_str(), OUTPUT_ACCESS, OUTPUT_SHARE, OUTPUT_DISPOSITION,
                     OPEN_OPTIONS);
}

std::string status_text(NTSTATUS status)
{
    char text[16];
    snprintf(text, sizeof text, "0x%08lX", (unsigned long)status);
    return text;
}

Text system_temp_root()
{
    WCHAR temp[MAX_PATH];
    DWORD units = GetTempPathW(MAX_PATH, temp);
    Text root(temp, units);
    if (!root.empty() && root.back() == L'\\')
        root.pop_back();
    return root;
}

// Each test gets a fresh folder of its own, under the system's temp folder or under the Unix /tmp.
enum Root { SYSTEM_TEMP, UNIX_TMP };

// Other Wine prefixes share /tmp and number their processes alike: a name is taken only when this
// run made the folder itself, and a folder that exists already is never touched.
Text fresh_folder(Root root)
{
    static unsigned serial = 0;
    Text base = root == SYSTEM_TEMP ? system_temp_root() : Text(L"Z:\\tmp");
    Text stem = base + L"\\qvx-native-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount()) + L"-";
    for (int attempt = 0; attempt < 1000; attempt++) {
        Text folder = stem + std::to_wstring(++serial);
        if (CreateDirectoryW(folder.c_str(), NULL))
            return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    return Text();
}

// The layer's files are opened in the system's temp folder, where users keep theirs.
class NativeFile : public ::testing::Test {
protected:
    void SetUp() override { make_test_folder(SYSTEM_TEMP); }
    void TearDown() override
    {
        for (HANDLE h : open_handles)
            file_close(h);
        if (folder.empty())
            return;
        remove_tree(folder);
        EXPECT_FALSE(file_exists(folder)) << "a test left a file open";
    }
    void make_test_folder(Root root)
    {
        folder = fresh_folder(root);
        ASSERT_FALSE(folder.empty()) << "cannot make the test folder";
    }
    Text path(const wchar_t *name) const { return folder + L"\\" + name; }
    // Opens that set a test up: the handle is closed however the test ends, and the test stops
    // at its own line when the open fails.
    HANDLE kept(At at, NTSTATUS status, const HANDLE *h)
    {
        if (status != 0)
            stop_at(at, "the open failed: status " + status_text(status));
        open_handles.push_back(*h);
        return *h;
    }
    HANDLE source_kept(At at, const Text &name, ULONG access = SOURCE_ACCESS)
    {
        HANDLE h = NULL;
        return kept(at, open_source(&h, name, access), &h);
    }
    HANDLE output_kept(At at, const Text &name)
    {
        HANDLE h = NULL;
        return kept(at, create_output(&h, name), &h);
    }
    void close(HANDLE h)
    {
        for (size_t i = 0; i < open_handles.size(); i++)
            if (open_handles[i] == h)
                open_handles.erase(open_handles.begin() + i);
        file_close(h);
    }

    Text folder;
    std::vector<HANDLE> open_handles;
};

// Where case matters to the disk (a plain Unix folder) and where Wine folds it (its drive_c).
class NativeFileInEachFolder : public NativeFile, public ::testing::WithParamInterface<Root> {
protected:
    void SetUp() override { make_test_folder(GetParam()); }
};

TEST_F(NativeFile, SourceOpenReadsAnExistingFileWhole)
{
    Text name = path(L"source.bin");
    Bytes contents = make_file(AT, name, 5000, 7);
    HANDLE h = source_kept(AT, name);
    ASSERT_EQ(length_of(h), contents.size());
    Bytes buffer(contents.size());
    ASSERT_EQ(file_read(h, buffer.data(), buffer.size(), 0), 0);
    EXPECT_EQ(buffer, contents);
    // A second read starts at its own offset, not where the first one stopped.
    Bytes tail(contents.size() - 1000);
    ASSERT_EQ(file_read(h, tail.data(), tail.size(), 1000), 0);
    EXPECT_EQ(tail, Bytes(contents.begin() + 1000, contents.end()));
    // More than the file holds is no whole transfer.
    Bytes longer(contents.size() + 1);
    EXPECT_NE(file_read(h, longer.data(), longer.size(), 0), 0);
    EXPECT_NE(file_read(h, tail.data(), tail.size(), 1001), 0);
}

TEST_F(NativeFile, EmptyFileHasLengthZeroAndReadsNothing)
{
    Text name = path(L"empty.bin");
    make_file(AT, name, 0, 0);
    HANDLE h = source_kept(AT, name);
    EXPECT_EQ(length_of(h), 0u);
    uint8_t byte = 0;
    EXPECT_EQ(file_read(h, &byte, 0, 0), 0);
}

// While a command holds its source with write access, others may read it but not write, rename or
// delete it; our own second open is refused.
TEST_F(NativeFile, HeldSourceLetsOthersReadOnly)
{
    Text name = path(L"held.bin");
    Bytes contents = make_file(AT, name, 100, 3);
    HANDLE held = source_kept(AT, name, IN_PLACE_ACCESS);

    HANDLE second = UNTOUCHED;
    EXPECT_EQ(open_source(&second, name, IN_PLACE_ACCESS), STATUS_SHARING_VIOLATION_CODE);
    // A second source open shares reading only, which the holder's write access does not allow.
    EXPECT_EQ(open_source(&second, name), STATUS_SHARING_VIOLATION_CODE);
    EXPECT_EQ(open_source(&second, name, SHRED_ACCESS), STATUS_SHARING_VIOLATION_CODE);

    const DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE reader = CreateFileW(name.c_str(), GENERIC_READ, share_all, NULL, OPEN_EXISTING, 0, NULL);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE) << "another program may read the held file";
    if (reader != INVALID_HANDLE_VALUE)
        CloseHandle(reader);
    HANDLE writer = CreateFileW(name.c_str(), GENERIC_WRITE, share_all, NULL, OPEN_EXISTING, 0, NULL);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "another program must not write the held file";
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
    EXPECT_FALSE(DeleteFileW(name.c_str()));
    EXPECT_FALSE(MoveFileW(name.c_str(), path(L"moved.bin").c_str()));

    close(held);
    expect_file(AT, name, contents);
    source_kept(AT, name, IN_PLACE_ACCESS);   // free again once closed
}

TEST_F(NativeFile, ReadOnlySourceStillKeepsWritersAndDeletersOut)
{
    Text name = path(L"read-held.bin");
    make_file(AT, name, 10, 1);
    source_kept(AT, name);
    source_kept(AT, name);   // two readers that share reading
    HANDLE writer = UNTOUCHED;
    EXPECT_EQ(open_source(&writer, name, IN_PLACE_ACCESS), STATUS_SHARING_VIOLATION_CODE);
    EXPECT_FALSE(DeleteFileW(name.c_str()));
    EXPECT_TRUE(file_exists(name));
}

TEST_F(NativeFile, OutputIsNotSharedAtAll)
{
    Text name = path(L"out.bin");
    output_kept(AT, name);
    HANDLE reader = UNTOUCHED;
    EXPECT_EQ(open_source(&reader, name), STATUS_SHARING_VIOLATION_CODE);
}

TEST_F(NativeFile, SourceMustExist)
{
    Text name = path(L"missing.bin");
    HANDLE h = UNTOUCHED;
    EXPECT_EQ(open_source(&h, name), STATUS_NOT_FOUND_CODE);
    EXPECT_EQ(open_source(&h, name, SHRED_ACCESS), STATUS_NOT_FOUND_CODE);
    EXPECT_FALSE(file_exists(name));
}

TEST_F(NativeFile, SourceOfAFolderFails)
{
    HANDLE h = UNTOUCHED;
    EXPECT_NE(open_source(&h, folder), 0);
}

TEST_F(NativeFile, OutputNeverReplacesAnExistingFile)
{
    Text name = path(L"exists.bin.QVX");
    Bytes contents = make_file(AT, name, 300, 9);
    HANDLE h = UNTOUCHED;
    EXPECT_EQ(create_output(&h, name), STATUS_COLLISION_CODE);
    expect_file(AT, name, contents);
}

// Names match whatever their case, as users of Windows expect; also where the disk is case-sensitive.
TEST_P(NativeFileInEachFolder, NamesMatchInAnyCase)
{
    Bytes contents = make_file(AT, path(L"Mixed.Bin"), 64, 4);
    HANDLE h = source_kept(AT, path(L"mIXED.bIN"));
    Bytes buffer(contents.size());
    ASSERT_EQ(file_read(h, buffer.data(), buffer.size(), 0), 0);
    EXPECT_EQ(buffer, contents);
    close(h);
    HANDLE out = UNTOUCHED;
    EXPECT_EQ(create_output(&out, path(L"MIXED.BIN")), STATUS_COLLISION_CODE);
    expect_file(AT, path(L"Mixed.Bin"), contents);
}

INSTANTIATE_TEST_SUITE_P(Folders, NativeFileInEachFolder, ::testing::Values(SYSTEM_TEMP, UNIX_TMP),
                         [](const ::testing::TestParamInfo<Root> &info) {
                             return std::string(info.param == SYSTEM_TEMP ? "SystemTemp" : "UnixTmp");
                         });

TEST_F(NativeFile, OutputCreatesAFreshEmptyFile)
{
    Text name = path(L"fresh.bin.QVX");
    HANDLE h = output_kept(AT, name);
    EXPECT_TRUE(file_exists(name));
    EXPECT_EQ(length_of(h), 0u);
    close(h);
    expect_file(AT, name, Bytes());
}

// Each write lands at its own offset, whatever the file position the last one left.
TEST_F(NativeFile, WritesGoToTheOffsetGiven)
{
    Text name = path(L"written.bin");
    HANDLE h = output_kept(AT, name);
    Bytes first = random_bytes(4096 * 3 + 5, 1);
    ASSERT_EQ(file_write(h, first.data(), first.size(), 0), 0);
    EXPECT_EQ(length_of(h), first.size());
    Bytes second = random_bytes(100, 2), third = random_bytes(50, 3);
    ASSERT_EQ(file_write(h, second.data(), second.size(), 0), 0);
    ASSERT_EQ(file_write(h, third.data(), third.size(), 5000), 0);
    ASSERT_EQ(file_flush(h), 0);
    close(h);

    Bytes expected = first;
    std::copy(second.begin(), second.end(), expected.begin());
    std::copy(third.begin(), third.end(), expected.begin() + 5000);
    expect_file(AT, name, expected);
}

TEST_F(NativeFile, InPlaceWriteReplacesTheStartAndLengthIsCut)
{
    Text name = path(L"in-place.bin");
    make_file(AT, name, 1000, 4);
    HANDLE h = source_kept(AT, name, IN_PLACE_ACCESS);
    Bytes result = random_bytes(600, 5);
    ASSERT_EQ(file_write(h, result.data(), result.size(), 0), 0);
    ASSERT_EQ(file_set_length(h, result.size()), 0);
    EXPECT_EQ(length_of(h), result.size());
    close(h);
    expect_file(AT, name, result);
}

TEST_F(NativeFile, SetLengthShrinksAndGrowsWithZeros)
{
    Text name = path(L"length.bin");
    Bytes contents = make_file(AT, name, 500, 6);
    HANDLE h = source_kept(AT, name, IN_PLACE_ACCESS);
    ASSERT_EQ(file_set_length(h, 123), 0);
    EXPECT_EQ(length_of(h), 123u);
    ASSERT_EQ(file_set_length(h, 9000), 0);
    EXPECT_EQ(length_of(h), 9000u);
    close(h);

    Bytes expected(contents.begin(), contents.begin() + 123);
    expected.resize(9000, 0);
    expect_file(AT, name, expected);
}

TEST_F(NativeFile, SetLengthNeedsWriteAccess)
{
    Text name = path(L"read-only-handle.bin");
    Bytes contents = make_file(AT, name, 50, 6);
    HANDLE h = source_kept(AT, name);
    EXPECT_NE(file_set_length(h, 0), 0);
    EXPECT_NE(file_write(h, "x", 1, 0), 0);
    close(h);
    expect_file(AT, name, contents);
}

// A file grows in place only once its room is sure: reserved where the file system can, otherwise
// judged by the volume's free space (Wine cannot reserve). Either way the file is left as it was
// and grows as usual after.
TEST_F(NativeFile, ReserveOrFreeSpaceThenGrow)
{
    Text name = path(L"reserved.bin");
    Bytes contents = make_file(AT, name, 40, 8);
    HANDLE h = source_kept(AT, name, IN_PLACE_ACCESS);

    NTSTATUS reserved = file_reserve(h, 1 << 20);
    if (reserved != 0) {
        EXPECT_TRUE(reserved == STATUS_NOT_IMPLEMENTED_CODE || reserved == STATUS_NOT_SUPPORTED_CODE)
            << "not the file system's \"cannot\" but " << status_text(reserved);
        uint64_t free_bytes = 0;
        uint32_t unit = 0;
        EXPECT_EQ(volume_space(h, &free_bytes, &unit), 0) << "neither a reservation nor the free space";
    }
    EXPECT_EQ(length_of(h), contents.size()) << "reserving room leaves the length alone";
    Bytes grown = random_bytes(52, 9);
    ASSERT_EQ(file_write(h, grown.data(), grown.size(), 0), 0);
    ASSERT_EQ(file_set_length(h, grown.size()), 0);
    ASSERT_EQ(file_flush(h), 0);
    close(h);
    expect_file(AT, name, grown);
}

// What a file may grow by or be copied into: the free space the usual calls report to this user,
// counted in the volume's allocation unit.
TEST_F(NativeFile, VolumeSpaceIsWhatTheUsualCallsReport)
{
    Text name = path(L"volume.bin");
    make_file(AT, name, 10, 1);
    HANDLE h = source_kept(AT, name);
    uint64_t free_bytes = 0;
    uint32_t unit = 0;
    ASSERT_EQ(volume_space(h, &free_bytes, &unit), 0);

    DWORD sectors = 0, sector_bytes = 0, free_units = 0, units = 0;
    ASSERT_TRUE(GetDiskFreeSpaceW(folder.substr(0, 3).c_str(), &sectors, &sector_bytes, &free_units, &units));
    EXPECT_EQ(unit, sectors * sector_bytes);
    ULARGE_INTEGER available;
    ASSERT_TRUE(GetDiskFreeSpaceExW((folder + L"\\").c_str(), &available, NULL, NULL));
    // Other programs write meanwhile; a wrong unit or count is off by far more.
    EXPECT_NEAR((double)free_bytes, (double)available.QuadPart, available.QuadPart / 10.0);
}

// Callers refuse files beyond 32 bits, so the length must not be cut to its low word.
TEST_F(NativeFile, LengthBeyondFourGibibytesIsWhole)
{
    Text name = path(L"huge.bin");
    make_file(AT, name, 0, 0);
    HANDLE h = source_kept(AT, name, IN_PLACE_ACCESS);
    const uint64_t huge = (5ull << 30) + 3;   // the low word alone would read as 1 GiB + 3
    ASSERT_EQ(file_set_length(h, huge), 0);
    EXPECT_EQ(length_of(h), huge);
    ASSERT_EQ(file_set_length(h, 0), 0);
}

TEST_F(NativeFile, ShredSequenceRemovesTheFileOnClose)
{
    Text name = path(L"shred.bin");
    make_file(AT, name, 777, 2);
    HANDLE h = source_kept(AT, name, SHRED_ACCESS);
    Bytes fill(777, 'Q');
    ASSERT_EQ(file_write(h, fill.data(), fill.size(), 0), 0);
    ASSERT_EQ(file_flush(h), 0);
    ASSERT_EQ(file_set_length(h, 0), 0);
    ASSERT_EQ(file_delete_on_close(h), 0);
    close(h);
    EXPECT_FALSE(file_exists(name));
}

TEST_F(NativeFile, DeleteOnCloseNeedsDeleteAccess)
{
    Text name = path(L"keep.bin");
    make_file(AT, name, 10, 2);
    HANDLE h = source_kept(AT, name, IN_PLACE_ACCESS);
    EXPECT_NE(file_delete_on_close(h), 0);
    close(h);
    EXPECT_TRUE(file_exists(name));
}

// Builds a folder chain under the test folder so that folder + "\" + file name is exactly units long.
Text path_of_length(const Text &folder, size_t units)
{
    Text chain = folder;
    while (units - chain.size() > 60) {
        chain += L"\\" + Text(40, L'd');
        CreateDirectoryW(chain.c_str(), NULL);
    }
    size_t name_units = units - chain.size() - 1;
    return chain + L"\\" + Text(name_units, L'f');
}

TEST_F(NativeFile, PathOfTheLongestLengthOpens)
{
    Text longest = path_of_length(folder, NATIVE_PATH_MAX_UNITS);
    ASSERT_EQ(longest.size(), 255u);
    make_file(AT, longest, 20, 1);
    HANDLE h = source_kept(AT, longest);
    EXPECT_EQ(length_of(h), 20u);

    Text fresh = longest;
    fresh.back() = L'g';
    output_kept(AT, fresh);
    EXPECT_TRUE(file_exists(fresh));
}

// Such a path is refused before anything is opened, created or written, although the file exists.
TEST_F(NativeFile, PathOneUnitTooLongIsRefused)
{
    Text too_long = path_of_length(folder, NATIVE_PATH_MAX_UNITS + 1);
    ASSERT_EQ(too_long.size(), 256u);
    make_file(AT, too_long, 20, 1);
    HANDLE h = UNTOUCHED;
    EXPECT_EQ(open_source(&h, too_long), STATUS_PATH_TOO_LONG);
    EXPECT_EQ(h, UNTOUCHED);

    Text fresh = too_long;
    fresh.back() = L'g';
    EXPECT_EQ(create_output(&h, fresh), STATUS_PATH_TOO_LONG);
    EXPECT_EQ(h, UNTOUCHED);
    EXPECT_FALSE(file_exists(fresh));
}

TEST(NativePath, FarTooLongPathIsRefused)
{
    Text path = L"C:\\" + Text(40000, L'x');
    HANDLE h = UNTOUCHED;
    EXPECT_EQ(open_source(&h, path), STATUS_PATH_TOO_LONG);
    EXPECT_EQ(create_output(&h, path), STATUS_PATH_TOO_LONG);
    EXPECT_EQ(h, UNTOUCHED);
}

// "\??\" followed by a bare name names no device, even where the usual calls find the file.
TEST_F(NativeFile, BareFileNameFails)
{
    make_file(AT, path(L"bare.bin"), 5, 5);
    WCHAR previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    HANDLE usual = CreateFileW(L"bare.bin", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    EXPECT_NE(usual, INVALID_HANDLE_VALUE) << "the name is right for the usual calls";
    if (usual != INVALID_HANDLE_VALUE)
        CloseHandle(usual);

    HANDLE h = UNTOUCHED;
    EXPECT_NE(open_source(&h, L"bare.bin"), 0);
    EXPECT_NE(open_source(&h, L"."), 0);
    HANDLE out = UNTOUCHED;
    EXPECT_NE(create_output(&out, L"bare-new.bin"), 0);
    SetCurrentDirectoryW(previous);
    EXPECT_FALSE(file_exists(path(L"bare-new.bin")));
}

TEST_F(NativeFile, PathWithTwoLeadingBackslashesFails)
{
    Text name = path(L"net.bin");
    make_file(AT, name, 5, 5);
    HANDLE h = UNTOUCHED;
    EXPECT_NE(open_source(&h, L"\\\\localhost\\share\\net.bin"), 0);
    // The same file written with the drive's own name after the two backslashes.
    EXPECT_NE(open_source(&h, L"\\\\" + name.substr(3)), 0);
    EXPECT_NE(open_source(&h, L"\\\\?\\" + name), 0);
}

TEST(NativePages, ZeroFilledWritableAndReleasedWhole)
{
    const SIZE_T size = 4096 * 3 + 1;
    uint8_t *pages = (uint8_t *)pages_allocate(size, PAGE_READWRITE);
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ((ULONG_PTR)pages % 4096, 0u);
    MEMORY_BASIC_INFORMATION info;
    ASSERT_NE(VirtualQuery(pages, &info, sizeof info), 0u);
    EXPECT_EQ(info.State, (DWORD)MEM_COMMIT);
    EXPECT_EQ(info.Protect, (DWORD)PAGE_READWRITE);
    EXPECT_GE(info.RegionSize, 4096 * 4u);

    size_t nonzero = 0;
    for (SIZE_T i = 0; i < 4096 * 4; i++)
        nonzero += pages[i] != 0;
    EXPECT_EQ(nonzero, 0u);
    for (SIZE_T i = 0; i < 4096 * 4; i++)
        pages[i] = (uint8_t)(i * 7);
    for (SIZE_T i = 0; i < 4096 * 4; i += 997)
        ASSERT_EQ(pages[i], (uint8_t)(i * 7));

    pages_release(pages);
    ASSERT_NE(VirtualQuery(pages, &info, sizeof info), 0u);
    EXPECT_EQ(info.State, (DWORD)MEM_FREE) << "pages and address range both go back";
}

TEST(NativePages, ProtectionIsTheOneAskedFor)
{
    void *pages = pages_allocate(100, PAGE_READONLY);
    ASSERT_NE(pages, nullptr);
    MEMORY_BASIC_INFORMATION info;
    ASSERT_NE(VirtualQuery(pages, &info, sizeof info), 0u);
    EXPECT_EQ(info.Protect, (DWORD)PAGE_READONLY);
    EXPECT_EQ(*(volatile uint8_t *)pages, 0);
    pages_release(pages);
}

TEST(NativePages, ImpossibleSizeGivesNoBuffer)
{
    EXPECT_EQ(pages_allocate(0, PAGE_READWRITE), nullptr);
    EXPECT_EQ(pages_allocate((SIZE_T)-4096, PAGE_READWRITE), nullptr);
    pages_release(NULL);
}

struct Started {
    volatile LONG ran;
    void *parameter_seen;
};

DWORD WINAPI sets_flag_and_ends(void *parameter)
{
    Started *started = (Started *)parameter;
    started->parameter_seen = parameter;
    InterlockedExchange(&started->ran, 1);
    thread_end();
}

// Ended from inside or stopped from outside, a thread leaves exit status 0.
void expect_exit_zero_and_close(HANDLE thread)
{
    DWORD code = 1;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 0u);
    handle_close(thread);
}

TEST(NativeThreads, StartedThreadRunsItsEntryAndEnds)
{
    Started started = {0, NULL};
    HANDLE thread = thread_start(sets_flag_and_ends, &started);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(thread_wait(thread, BOUNDED_WAIT_MS), 0) << "the thread did not end";
    EXPECT_EQ(started.ran, 1);
    EXPECT_EQ(started.parameter_seen, &started);
    expect_exit_zero_and_close(thread);
}

struct Spinner {
    volatile LONG running;
    volatile LONG rounds;
};

DWORD WINAPI spins(void *parameter)
{
    Spinner *spinner = (Spinner *)parameter;
    InterlockedExchange(&spinner->running, 1);
    for (;;)
        InterlockedIncrement(&spinner->rounds);
}

TEST(NativeThreads, StopEndsASpinningThread)
{
    Spinner spinner = {0, 0};
    HANDLE thread = thread_start(spins, &spinner);
    ASSERT_NE(thread, nullptr);
    for (int i = 0; i < 2000 && !spinner.running; i++)
        thread_sleep(10);
    ASSERT_EQ(spinner.running, 1) << "the thread never started";
    EXPECT_EQ(thread_wait(thread, 0), STATUS_TIMEOUT_CODE) << "still spinning before the stop";

    thread_stop(thread);
    ASSERT_EQ(thread_wait(thread, BOUNDED_WAIT_MS), 0) << "the stop did not end the thread";
    LONG after_stop = spinner.rounds;
    thread_sleep(50);
    EXPECT_EQ(spinner.rounds, after_stop) << "no more rounds once stopped";
    expect_exit_zero_and_close(thread);
}

TEST(NativeProcessDeathTest, EndsWithStatusZero)
{
    EXPECT_EXIT(process_end(), ::testing::ExitedWithCode(0), "");
}

// Each copy goes into eight units of '#': what it reports and all eight units after it.
TEST(NativeWide, CopyFitsOrCutsAndTerminates)
{
    struct Case { SIZE_T capacity; const wchar_t *source; bool fits; const wchar_t *after; };
    const Case cases[] = {
        {6, L"abcde", true, L"abcde\0##"},   // nothing beyond the terminator is touched
        {8, L"", true, L"\0#######"},
        {5, L"abcde", false, L"abcd\0###"},
        {1, L"x", false, L"\0#######"},
        {0, L"x", false, L"########"},
    };
    for (const Case &c : cases) {
        WCHAR buffer[8];
        std::fill(buffer, buffer + 8, L'#');
        EXPECT_EQ(wide_copy(buffer, c.capacity, c.source), c.fits) << c.capacity;
        EXPECT_EQ(Text(buffer, 8), Text(c.after, 8)) << c.capacity;
    }
}

TEST(NativeWide, ByteLengthAndZeroFill)
{
    EXPECT_EQ(wide_byte_length(L""), 0u);
    EXPECT_EQ(wide_byte_length(L"\u52a0\u5bc6.txt"), 12u);
    uint8_t bytes[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    zero_bytes(bytes + 1, 7);
    const uint8_t expected[9] = {1, 0, 0, 0, 0, 0, 0, 0, 9};
    EXPECT_EQ(memcmp(bytes, expected, sizeof bytes), 0);
}

}   // namespace
