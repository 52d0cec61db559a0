// Files larger than one buffer of the program: streamed through a few MiB where no buffer can be
// had (the 32-bit build, or any build run with little memory), and moved in several transfers
// where one buffer holds them.
#include <windows.h>
#include <psapi.h>

#include <algorithm>

#include "tests/support/big_files.h"
#include "tests/support/files.h"

namespace {

const wchar_t PASSWORD[] = L"大文件 big file";
const uint64_t PLAIN_LARGEST = 0xFFFFFFF0;   // its container, 12 + 4·n bytes, still has a 32-bit length
const DWORD WAIT_HUGE_MS = 300000;   // gigabytes read, enciphered and written

// The program's committed memory as the system counts it (Wine: what of it is in use).
SIZE_T committed_bytes(const App &app)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(app.process.hProcess, &counters, sizeof counters);
    return counters.PagefileUsage;
}

// Runs the command chosen, watching the program's memory until the notice; gives the most it
// used above what it used before, in MiB.
double run_watching_memory(At at, const App &app, int command)
{
    SIZE_T before = committed_bytes(app), most = before;
    DWORD start = GetTickCount();
    click(at, app, command);
    HWND box = nullptr;
    wait_for(WAIT_HUGE_MS, [&] {
        most = std::max(most, committed_bytes(app));
        return (box = find_notice(app)) != nullptr;
    });
    if (!box)
        stop_at(at, "no notice within " + std::to_string(WAIT_HUGE_MS) + " ms");
    check_and_answer(at, app, box, TEXT_DONE);
    wait_idle(at, app);
    double above = (double)(most - before) / (1 << 20);
    printf("%s of %s: %.1f s, memory %.1f MiB above idle\n", command == IDC_ENCRYPT ? "encrypt" : "decrypt",
           utf8(text_of(at, item(at, app, IDC_PATH))).c_str(), (GetTickCount() - start) / 1000.0, above);
    return above;
}

// Encrypt in place, then Decrypt into a new file, each output checked against the core.
void round_trip(At at, const App &app, const std::wstring &file, uint64_t length, double *memory)
{
    make_big_file(at, file, length, 81);
    choose(at, app, file, PASSWORD, PASSWORD, true);
    memory[0] = run_watching_memory(at, app, IDC_ENCRYPT);
    expect_big_container(at, file, length, 81, PASSWORD);
    choose(at, app, file, PASSWORD, L"", false);
    memory[1] = run_watching_memory(at, app, IDC_DECRYPT);
    DeleteFileW(file.c_str());
    expect_big_plain(at, file + L".QVX", length, 81);
}

class InMemory : public BlackBox {
    std::wstring folder_base() const override { return MEMORY_FOLDER; }
};

// Run where no buffer for the file can be had: the 32-bit build, or a build whose memory the
// test run limits.
using Streaming = InMemory;

TEST_F(Streaming, RoundTripOfAFileNoBufferHoldsStaysWithinAFewMiB)
{
    const double MOST_MIB = 64;
    app_start(AT, app);
    double memory[2];
    round_trip(AT, app, path(L"2.2 GiB.bin"), 2200ull << 20, memory);
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
    run_watching_memory(AT, app, IDC_ENCRYPT);
    expect_big_container(AT, file + L".QVX", PLAIN_LARGEST, 0, PASSWORD);
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
