// Files larger than one buffer of the program: streamed through a few MiB where no buffer can be
// had (the 32-bit build, or any build run with little memory), and moved in several transfers
// where one buffer holds them.
#include <windows.h>
#include <psapi.h>

#include <algorithm>

#include "tests/blackbox/outside.h"
#include "tests/support/big_files.h"
#include "tests/support/files.h"

namespace {

const wchar_t PASSWORD[] = L"大文件 big file";
const uint64_t PLAIN_LARGEST = 0xFFFFFFF0;   // its container, 12 + 4·n bytes, still has a 32-bit length
// Past what one buffer of a 32-bit program can be (about 1.9 GiB under Wine), and past where Wine
// still gives a 64-bit program one buffer whatever its memory limit.
const uint64_t STREAMED = 2200ull << 20;
const DWORD WAIT_HUGE_MS = 300000;   // gigabytes read, enciphered and written

// The program's committed memory as the system counts it (Wine: what of it is in use).
SIZE_T committed_bytes(const App &app)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(app.process.hProcess, &counters, sizeof counters);
    return counters.PagefileUsage;
}

// Runs the command chosen and watches the window until the notice: the status texts come in
// their order, the bar moves one way only while the file is worked on (up for Encrypt, down for
// Decrypt). Gives the most memory the program used above what it used before, in MiB.
double run_watching(At at, const App &app, int command)
{
    static const wchar_t *const ORDER[] = {TEXT_READY, TEXT_READING, TEXT_COMPUTING, TEXT_WRITING};
    SIZE_T before = committed_bytes(app), most = before;
    DWORD start = GetTickCount();
    int last_status = 1, last_position = -1, positions = 0;
    click(at, app, command);
    HWND box = nullptr;
    wait_for(WAIT_HUGE_MS, [&] {
        most = std::max(most, committed_bytes(app));
        std::wstring status = text_of(at, item(at, app, IDC_STATUS));
        int position = bar_position(at, app);
        if ((box = find_notice(app)) != nullptr || status == TEXT_READY)
            return box != nullptr;
        int shown = (int)(std::find(ORDER, ORDER + 4, status) - ORDER);
        if (shown < last_status)
            fail_at(at, "\"" + utf8(status) + "\" after \"" + utf8(ORDER[last_status]) + "\"");
        last_status = std::max(last_status, shown);
        if (status == TEXT_COMPUTING && position != last_position) {
            if (last_position >= 0 && (position > last_position) != (command == IDC_ENCRYPT))
                fail_at(at, "the bar went from " + std::to_string(last_position) + " to " + std::to_string(position));
            last_position = position;
            positions++;
        }
        return false;
    });
    if (!box)
        stop_at(at, "no notice within " + std::to_string(WAIT_HUGE_MS) + " ms");
    check_and_answer(at, app, box, TEXT_DONE);
    wait_idle(at, app);
    if (positions < 3)
        fail_at(at, "the bar showed " + std::to_string(positions) + " positions while the file was worked on");
    double above = (double)(most - before) / (1 << 20);
    printf("%s of %s: %.1f s, memory %.1f MiB above idle\n", command == IDC_ENCRYPT ? "encrypt" : "decrypt",
           utf8(text_of(at, item(at, app, IDC_PATH))).c_str(), (GetTickCount() - start) / 1000.0, above);
    return above;
}

// Encrypt in place, then Decrypt into a new file, each output checked against the core.
void round_trip(At at, const App &app, const std::wstring &file, uint64_t length, double *memory)
{
    // Without room for its replacement, the file would be written in its own place, which a
    // stream cannot do: that is a smaller test machine, not the program.
    ULARGE_INTEGER free_bytes;
    std::wstring folder = file.substr(0, file.rfind(L'\\') + 1);
    const uint64_t NEEDED = 2 * length + (64 << 20);
    if (GetDiskFreeSpaceExW(folder.c_str(), &free_bytes, nullptr, nullptr) && free_bytes.QuadPart < NEEDED)
        stop_at(at, utf8(folder) + " has " + std::to_string(free_bytes.QuadPart >> 20) + " MiB free, the test needs " +
                        std::to_string(NEEDED >> 20));
    make_big_file(at, file, length, 81);
    choose(at, app, file, PASSWORD, PASSWORD, true);
    memory[0] = run_watching(at, app, IDC_ENCRYPT);
    expect_big_container(at, file, length, 81, PASSWORD);
    choose(at, app, file, PASSWORD, L"", false);
    memory[1] = run_watching(at, app, IDC_DECRYPT);
    DeleteFileW(file.c_str());
    expect_big_plain(at, file + L".QVX", length, 81);
}

// Run where no buffer for the file can be had: the 32-bit build, or a build whose memory the
// test run limits.
using Streaming = InMemory;

TEST_F(Streaming, RoundTripOfAFileNoBufferHoldsStaysWithinAFewMiB)
{
    const double MOST_MIB = 64;
    app_start(AT, app);
    double memory[2];
    round_trip(AT, app, path(L"2.2 GiB.bin"), STREAMED, memory);
    EXPECT_LE(memory[0], MOST_MIB) << "Encrypt";
    EXPECT_LE(memory[1], MOST_MIB) << "Decrypt";
    expect_names(AT, folder, {L"2.2 GiB.bin.QVX"});
}

TEST_F(Streaming, LargestPlaintextTheFormatAllows)
{
    std::wstring file = path(L"largest");
    make_big_file(AT, file, PLAIN_LARGEST, 0);
    app_start(AT, app);
    choose(AT, app, file, PASSWORD, PASSWORD, false);
    run_watching(AT, app, IDC_ENCRYPT);
    expect_big_container(AT, file + L".QVX", PLAIN_LARGEST, 0, PASSWORD);
}

// A file that a program of the other system cuts short while it streams (sharing keeps only
// Windows programs out): the read fails, and the unfinished result goes.
TEST_F(Streaming, FileCutShortWhileItStreamsCannotBeRead)
{
    std::wstring file = path(L"cut-short.bin");
    make_big_file(AT, file, STREAMED, 82);
    app_start(AT, app);
    choose(AT, app, file, PASSWORD, PASSWORD, false);
    std::set<DWORD> before = threads_of(app.process.dwProcessId);
    click(AT, app, IDC_ENCRYPT);
    ASSERT_TRUE(wait_status(AT, app, TEXT_COMPUTING)) << "never saw the file streaming" << other_dialog_note(app);
    Held held;
    hold_new_threads(AT, app, before, held);
    int cut = outside_wine(AT, "cut " + unix_path(file));
    let_go(held);
    ASSERT_EQ(cut, 0);
    expect_notice(AT, app, TEXT_READ_ERROR, IDOK, WAIT_HUGE_MS);
    wait_idle(AT, app);
    expect_names(AT, folder, {L"cut-short.bin"});
}

// Where one buffer holds the file, it still moves through several calls: Wine moves at most
// about 2 GiB in one.
using BigFiles = InMemory;

TEST_F(BigFiles, RoundTripInOneBufferPastTheLargestTransfer)
{
    if (sizeof(void *) == 4)
        GTEST_SKIP() << "no buffer of a 32-bit program holds this file; the Streaming tests take it";
    app_start(AT, app);
    double memory[2];
    round_trip(AT, app, path(L"2.5 GiB.bin"), 2560ull << 20, memory);
}

}   // namespace
