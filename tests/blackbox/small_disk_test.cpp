// A disk that fills up: a small tmpfs that the test mounts outside Wine and removes afterwards.
#include "tests/support/files.h"
#include "res/resource.h"

namespace {

const wchar_t PASSWORD[] = L"no room";
const char DISK_SIZE[] = "8m";
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

    // Runs tests/blackbox/outside_wine.sh as a Linux program and returns its exit status.
    int outside_wine(At at, const std::string &arguments)
    {
        std::string status_file = unix_disk + ".status";
        DeleteFileW(windows_path(status_file).c_str());
        start_linux(at, "/bin/sh", std::string(QVX_OUTSIDE_WINE) + " " + status_file + " " + arguments);
        if (!wait_for(WAIT_MS, [&] { return file_exists(windows_path(status_file)); }))
            stop_at(at, "outside_wine.sh " + arguments + " did not finish");
        Bytes status = read_file(at, windows_path(status_file));
        DeleteFileW(windows_path(status_file).c_str());
        return atoi(std::string(status.begin(), status.end()).c_str());
    }

    std::string unix_disk;
    std::wstring disk;
    bool mounted = false;
};

TEST_F(SmallDisk, NewFileThatDoesNotFitLeavesNothing)
{
    std::wstring file = disk + L"\\three.bin", filler = disk + L"\\filler.bin";
    Bytes plain = random_bytes(3u << 20, 61);
    write_file(AT, file, plain);
    write_file(AT, filler, random_bytes(3u << 20, 62));
    app_start(AT, app);
    choose(AT, app, file, PASSWORD, PASSWORD, false);
    run_command(AT, app, IDC_ENCRYPT, TEXT_WRITE_ERROR);
    EXPECT_FALSE(file_exists(file + L".QVX")) << "a partial container stays";
    expect_file(AT, file, plain);

    // With room made, the same command works: no stale name stands in its way.
    ASSERT_TRUE(DeleteFileW(filler.c_str()));
    run_command(AT, app, IDC_ENCRYPT, TEXT_DONE);
    expect_container_of(AT, read_file(AT, file + L".QVX"), plain, PASSWORD);
}

}   // namespace
