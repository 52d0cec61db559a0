// A disk that fills up: a small tmpfs that the test mounts outside Wine and removes afterwards.
#include "res/resource.h"
#include "tests/blackbox/outside.h"
#include "tests/support/files.h"

namespace {

const wchar_t PASSWORD[] = L"no room";
// Room for a file of hundreds of MiB and its replacement, whose write lasts long enough to be
// caught.
const char DISK_SIZE[] = "768m";
const int NOT_ROOT = 77;

class SmallDisk : public BlackBox {
protected:
    void SetUp() override
    {
        BlackBox::SetUp();
        unix_disk = "/tmp/qvx-small-disk-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
        int status = outside_wine(AT, "small-disk mount " + unix_disk + " " + DISK_SIZE);
        if (status == NOT_ROOT)
            GTEST_SKIP() << "mounting a small disk needs root";
        ASSERT_EQ(status, 0) << "cannot mount a small disk at " << unix_disk;
        mounted = true;
        disk = windows_path(unix_disk);
    }

    void TearDown() override
    {
        BlackBox::TearDown();   // the program ends first, so nothing holds the disk
        if (mounted) {
            EXPECT_EQ(outside_wine(AT, "small-disk umount " + unix_disk), 0) << "left mounted: " << unix_disk;
        }
    }

    std::wstring filler() const { return disk + L"\\filler"; }

    // Fills what room the disk has left but `room` bytes.
    void fill_disk(At at, uint64_t room = 0)
    {
        if (outside_wine(at, "small-disk fill " + unix_disk) != 0)
            stop_at(at, "cannot fill the disk");
        if (room == 0)
            return;
        HANDLE file = CreateFileW(filler().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        LARGE_INTEGER end;
        bool sized = file != INVALID_HANDLE_VALUE && GetFileSizeEx(file, &end) && end.QuadPart >= (LONGLONG)room;
        end.QuadPart -= (LONGLONG)room;
        sized = sized && SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
        CloseHandle(file);
        if (!sized)
            stop_at(at, "cannot leave room on the filled disk: error " + std::to_string(GetLastError()));
    }

    std::string unix_disk;
    std::wstring disk;
    bool mounted = false;
};

TEST_F(SmallDisk, NewFileThatDoesNotFitLeavesNothing)
{
    std::wstring file = disk + L"\\three.bin";
    Bytes plain = random_bytes(24u << 20, 61);
    write_file(AT, file, plain);
    fill_disk(AT, 16u << 20);
    app_start(AT, app);
    choose(AT, app, file, PASSWORD, PASSWORD, false);
    run_command(AT, app, IDC_ENCRYPT, TEXT_WRITE_ERROR);
    EXPECT_FALSE(file_exists(file + L".QVX")) << "a partial container stays";
    expect_file(AT, file, plain);

    // With room made, the same command works: no stale name stands in its way.
    ASSERT_TRUE(DeleteFileW(filler().c_str()));
    run_command(AT, app, IDC_ENCRYPT, TEXT_DONE);
    expect_container_of(AT, read_file(AT, file + L".QVX"), plain, PASSWORD);
}

bool holds_a_result(const std::wstring &folder)
{
    for (const std::wstring &name : names_in(folder))
        if (name.compare(0, 9, L".qvx-tmp-") == 0)
            return true;
    return false;
}

// The disk fills up while the result is written in place: the file stays as it was and the
// unfinished result goes. The command is held once its result's file is there, which it then
// computes and writes, while the disk is filled from outside; a try held too late (the write of
// one call cannot be stopped halfway) is made again.
TEST_F(SmallDisk, InPlaceWriteThatFailsPartWayLeavesTheFileAsItWas)
{
    const int TRIES = 8;
    std::wstring file = disk + L"\\source.bin";
    Bytes plain = random_bytes(320u << 20, 63);
    app_start(AT, app);
    for (int tries = 0; tries < TRIES; tries++) {
        write_file(AT, file, plain);
        choose(AT, app, file, PASSWORD, PASSWORD, true);
        std::set<DWORD> before = threads_of(app.process.dwProcessId);
        click(AT, app, IDC_ENCRYPT);
        ASSERT_TRUE(wait_for(WAIT_BIG_MS, [&] { return holds_a_result(disk) || find_notice(app); }));
        Held held;
        hold_new_threads(AT, app, before, held);
        fill_disk(AT);
        let_go(held);
        HWND box = wait_notice(AT, app, WAIT_BIG_MS);
        if (text_of(AT, GetDlgItem(box, IDC_STATIC_TEXT)) == TEXT_DONE) {
            check_and_answer(AT, app, box, TEXT_DONE);
            ASSERT_TRUE(DeleteFileW(filler().c_str()));
            printf("the result was whole before the disk was full: once more\n");
            continue;
        }
        check_and_answer(AT, app, box, TEXT_WRITE_ERROR);
        wait_idle(AT, app);
        expect_file(AT, file, plain);
        expect_names(AT, disk, {L"filler", L"source.bin"});
        return;
    }
    FAIL() << "the result was written whole each time before the disk could be filled";
}

// Shred overwrites in place; a file with holes needs room for them, so a full disk stops it
// part-way: the file stays, as far as it was overwritten.
TEST_F(SmallDisk, ShredThatRunsOutOfRoomKeepsTheFile)
{
    std::wstring file = disk + L"\\holes.bin";
    make_sparse(AT, file, 64u << 20);
    fill_disk(AT, 16u << 20);
    app_start(AT, app);
    run_command(AT, app, {file, L"", L"", false}, IDC_SHRED, TEXT_WRITE_ERROR);
    EXPECT_EQ(file_size(AT, file), 64u << 20);
    EXPECT_TRUE(opens_exclusively(file));
}

}   // namespace
