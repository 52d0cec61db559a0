// The window while a command works on a large file, and closing it meanwhile.
#include <algorithm>

#include "tests/support/files.h"

namespace {

using LongCommand = InMemory;

const wchar_t PASSWORD[] = L"big one";
const size_t LARGE = 200u << 20;

struct Watch {
    int judged = 0;                  // samples taken wholly within the working state
    bool saw_working_text = false;   // "正在计算…" or "正在写入…"
    size_t most_new_threads = 0;     // threads the command started, as seen at the samples
};

// Samples the window until a notice shows. Each sample reads the status before and after the
// buttons; only when both readings show work are the buttons sure to belong to that state.
HWND watch_command(At at, const App &app, const std::set<DWORD> &before, Watch &watch)
{
    static const int never_disabled[] = {IDC_BROWSE, IDC_ABOUT, IDC_OVERWRITE, IDC_PATH, IDC_PASSWORD, IDC_CONFIRM};
    HWND box = nullptr;
    unsigned round = 0;
    wait_for(WAIT_BIG_MS, [&] {
        if ((box = find_notice(app)) != nullptr)
            return true;
        std::wstring status = text_of(at, item(at, app, IDC_STATUS));
        int commands = commands_enabled(at, app);
        int others = 0;
        for (int id : never_disabled)
            others += IsWindowEnabled(item(at, app, id)) ? 1 : 0;
        std::wstring status_after = text_of(at, item(at, app, IDC_STATUS));
        if (status != TEXT_READY && status_after != TEXT_READY) {
            watch.judged++;
            watch.saw_working_text |= status == TEXT_COMPUTING || status == TEXT_WRITING;
            if (commands != 0)
                fail_at(at, std::to_string(commands) + " command button(s) enabled during \"" + utf8(status) + "\"");
            if (others != 6)
                fail_at(at, "a control that stays usable was disabled during \"" + utf8(status) + "\"");
        }
        if (round++ % 8 == 0) {
            size_t fresh = 0;
            for (DWORD id : threads_of(app.process.dwProcessId))
                fresh += before.count(id) ? 0 : 1;
            watch.most_new_threads = std::max(watch.most_new_threads, fresh);
        }
        return false;
    });
    if (!box)
        stop_at(at, "the command did not end within " + std::to_string(WAIT_BIG_MS) + " ms");
    return box;
}

TEST_F(LongCommand, LargeFileInPlaceShowsProgressAndSurvivesClose)
{
    std::wstring file = path(L"large.bin");
    Bytes plain = make_file(AT, file, LARGE, 17);
    app_start(AT, app);
    choose(AT, app, file, PASSWORD, PASSWORD, true);

    std::set<DWORD> before = threads_of(app.process.dwProcessId);
    click(AT, app, IDC_ENCRYPT);
    Watch watch;
    HWND box = watch_command(AT, app, before, watch);
    expect_idle(AT, app);
    check_and_answer(AT, app, box, TEXT_DONE);
    wait_idle(AT, app);
    expect_no_new_threads(AT, app, before);
    EXPECT_GT(watch.judged, 0) << "never saw the window working";
    EXPECT_TRUE(watch.saw_working_text) << "never saw \"正在计算…\" or \"正在写入…\"";
    // The thread count below means something only if the command's own threads are seen at all.
    EXPECT_GE(watch.most_new_threads, 1u) << "never saw the command's worker thread";
    Bytes container = read_file(AT, file);
    expect_container_of(AT, container, plain, PASSWORD);

    // Closing while the result is written: the file is the container or the plaintext, whole,
    // and nothing else is left beside it.
    click(AT, app, IDC_DECRYPT);
    ASSERT_TRUE(wait_status(AT, app, TEXT_WRITING)) << "never saw the decrypted file being written";
    Sleep(10);
    ASSERT_TRUE(PostMessageW(app.main, WM_CLOSE, 0, 0));
    DWORD exit_code = 1;
    ASSERT_TRUE(app_wait_exit(app, WAIT_BIG_MS, &exit_code)) << "the program did not end after WM_CLOSE";
    EXPECT_EQ(exit_code, 0u);
    if (file_size(AT, file) == container.size() && read_file(AT, file) == container)
        printf("closed before the result was in place: the container is whole\n");
    else
        expect_file(AT, file, plain);
    EXPECT_TRUE(opens_exclusively(file));
    expect_names(AT, folder, {L"large.bin"});
}

TEST_F(LongCommand, ClosingEndsWithoutANotice)
{
    std::wstring file = path(L"closing.bin");
    Bytes plain = make_file(AT, file, LARGE / 2, 18);
    app_start(AT, app);
    choose(AT, app, file, PASSWORD, PASSWORD, false);
    click(AT, app, IDC_ENCRYPT);
    ASSERT_TRUE(wait_for(WAIT_MS, [&] { return find_notice(app) || text_of(AT, item(AT, app, IDC_STATUS)) != TEXT_READY; }))
        << "the command did not start";
    ASSERT_FALSE(find_notice(app)) << "the command ended before it was seen working";
    ASSERT_TRUE(PostMessageW(app.main, WM_CLOSE, 0, 0));
    DWORD exit_code = 1;
    bool noticed = false;
    ASSERT_TRUE(wait_for(WAIT_MS, [&] {
        noticed |= find_notice(app) != nullptr;
        return app_wait_exit(app, 0, &exit_code);
    })) << "the program did not end after WM_CLOSE";
    EXPECT_FALSE(noticed) << "a notice appeared after the window was closed";
    EXPECT_EQ(exit_code, 0u);
    expect_file(AT, file, plain);
    EXPECT_TRUE(opens_exclusively(file));
    expect_names(AT, folder, {L"closing.bin"});   // the unfinished container is gone
}

}   // namespace
