// Drives the real QVX.exe from outside, only with window messages: texts set and read, clicks
// posted, notice boxes found and answered. Every wait is bounded and a failure names the caller.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <stdint.h>

#include <exception>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "res/resource.h"

// Where a helper was called from, so that its failure names the test's line.
struct At {
    const char *file;
    int line;
};
#define AT At{__FILE__, __LINE__}

// Thrown after a helper has recorded a failure the test cannot go on from.
struct Stop : std::exception {
    const char *what() const noexcept override { return "the test stopped at the failure above"; }
};

[[noreturn]] void stop_at(At at, const std::string &why);
void fail_at(At at, const std::string &why);
std::string utf8(const std::wstring &text);
std::wstring widen(const std::string &ascii);

enum : DWORD {
    POLL_MS = 5,
    WAIT_SHORT_MS = 1000,    // how long "nothing happens" is watched
    WAIT_MS = 10000,
    WAIT_START_MS = 30000,   // a start may set up Wine's services first
    WAIT_BIG_MS = 90000,     // hundreds of MiB read, enciphered and written
};

// Polls `done` until it holds or `ms` have passed.
template <class Done> bool wait_for(DWORD ms, Done done)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start > ms)
            return false;
        Sleep(POLL_MS);
    }
}

// A path of the build tree (Unix form, as CMake knows it) as a Windows program sees it.
std::wstring windows_path(const std::string &unix_path);
// Starts a Linux program (its Unix path) through Wine, which hands back no process to wait for:
// the caller waits for the files the program leaves.
void start_linux(At at, const std::string &program, const std::string &arguments);

extern const wchar_t MAIN_CAPTION[];
extern const wchar_t NOTICE_CAPTION[];
extern const wchar_t ABOUT_CAPTION[];
extern const wchar_t TEXT_READY[];
extern const wchar_t TEXT_READING[];
extern const wchar_t TEXT_COMPUTING[];
extern const wchar_t TEXT_WRITING[];
extern const wchar_t TEXT_DONE[];
extern const wchar_t TEXT_CANNOT_OPEN[];
extern const wchar_t TEXT_CONFIRM_DIFFERS[];
extern const wchar_t TEXT_WRONG_PASSWORD[];
extern const wchar_t TEXT_WRITE_ERROR[];
extern const wchar_t TEXT_READ_ERROR[];
extern const wchar_t TEXT_NO_MEMORY[];
extern const wchar_t TEXT_SHRED_FAILED[];
extern const wchar_t TEXT_DAMAGED[];
extern const wchar_t TEXT_TOO_LARGE[];
extern const wchar_t TEXT_SHRED_QUESTION[];

struct App {
    PROCESS_INFORMATION process;
    HWND main;
};

std::wstring qvx_path();
// Starts the program with `arguments` after its quoted path, exactly as given, and waits for its
// main window.
void app_start(At at, App &app, const std::wstring &arguments = L"", const std::wstring &directory = L"");
bool app_wait_exit(const App &app, DWORD ms, DWORD *exit_code);
// Closes the main window; ends the process by its handle if it lingers. Safe on a stopped app.
void app_end(App &app);
// Ends the program at once, as a crash or a power cut would, and waits until it is gone.
void app_kill(At at, App &app);

HWND item(At at, const App &app, int id);
LRESULT send(At at, HWND window, UINT message, WPARAM wparam, LPARAM lparam);
std::wstring text_of(At at, HWND window);
std::wstring whole_text(At at, HWND window);   // however long
void set_text(At at, HWND window, const std::wstring &text);
void set_overwrite(At at, const App &app, bool on);
void click(At at, const App &app, int id);
// Fills the path, both password boxes and the overwrite box.
void choose(At at, const App &app, const std::wstring &path, const std::wstring &password,
            const std::wstring &confirmation, bool overwrite);

// A dialog-class window of the process with this caption (null: any but the main window's and the
// notices'), not `exclude`; shown ones only unless `hidden_too`.
HWND find_dialog(DWORD process_id, const wchar_t *caption, HWND exclude = nullptr, bool hidden_too = false);
HWND find_notice(const App &app);
HWND wait_notice(At at, const App &app, DWORD ms = WAIT_MS);
// Checks the notice's text, that it is owned by the main window and has only OK (or Yes and No for
// a question), then answers it and waits until it is gone.
void check_and_answer(At at, const App &app, HWND box, const std::wstring &text, int button = IDOK);
void expect_notice(At at, const App &app, const std::wstring &text, int button = IDOK, DWORD ms = WAIT_MS);
void expect_no_notice(At at, const App &app, DWORD ms = WAIT_SHORT_MS);
// Waits until the program has handled every message posted to it before: the About button's
// click, posted now, shows the About box once the earlier ones are handled, or once a notice box
// they opened runs its own message loop. The box is hidden again.
void settle(At at, const App &app);
// The About box, shown or hidden.
HWND find_about(const App &app);
// After a click posted since `before`: the program handled it and started nothing (no notice, no
// thread of a command, the window idle).
void expect_nothing_started(At at, const App &app, const std::set<DWORD> &before);

// Status "准备就绪…", command buttons enabled, bar at 0.
void expect_idle(At at, const App &app);
void wait_idle(At at, const App &app, DWORD ms = WAIT_MS);
// Polls the status line until it shows `text`; false if a notice or the deadline comes first.
bool wait_status(At at, const App &app, const std::wstring &text, DWORD ms = WAIT_BIG_MS);
int commands_enabled(At at, const App &app);   // how many of the three
int bar_position(At at, const App &app);
int bar_high(At at, const App &app);
int bar_low(At at, const App &app);

std::set<DWORD> threads_of(DWORD process_id);
// The program's threads that are not in `before` (a command's), each seen stopped, until let go.
struct Held {
    std::vector<HANDLE> threads;
};
void hold_new_threads(At at, const App &app, const std::set<DWORD> &before, Held &held);
void let_go(Held &held);
// Holds the command's threads as they tell the window the status `text`, before the step it names;
// false if the command was past it when first held (it is then held where it was).
bool hold_at_status(At at, const App &app, const std::set<DWORD> &before, const std::wstring &text, Held &held);
// Waits until no thread that is not in `before` remains in the program.
void expect_no_new_threads(At at, const App &app, const std::set<DWORD> &before, DWORD ms = WAIT_MS);

// Presses a command button, expects `notice` (after a Yes to the Shred question), answers it, and
// checks that the window is idle and no thread of the command remains.
void run_command(At at, const App &app, int command, const std::wstring &notice);
// What choose() fills in.
struct Choice {
    std::wstring path, password, confirmation;
    bool overwrite;
};
// choose() with `choice`, then run_command().
void run_command(At at, const App &app, const Choice &choice, int command, const std::wstring &notice);

// Presses Shred and gives `answer` to its question, which comes before `file` (if it exists) is
// touched.
void shred_answering(At at, const App &app, int answer, const std::wstring &file);
// Runs each command in turn and expects each to end with `notice`.
void expect_refused(At at, const App &app, const std::wstring &notice,
                    std::initializer_list<int> commands = {IDC_ENCRYPT, IDC_DECRYPT, IDC_SHRED});

// Windows of the program other than its main window and notices (the open-file dialog).
HWND find_other_dialog(const App &app);
// Describes such a window with its texts (a crash report, say), for a failure message.
std::string other_dialog_note(const App &app);

extern const wchar_t MEMORY_FOLDER[];   // a tmpfs as Wine shows it

// A fresh folder per test, removed with everything in it at the end; the program is ended first.
class BlackBox : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::wstring path(const std::wstring &name) const { return folder + L"\\" + name; }
    // Where the folder is made: the system's temporary folder, or memory for large files, whose
    // writing back to a disk would be most of a test's time.
    virtual std::wstring folder_base() const;

    std::wstring folder;
    App app{};
};

// The same in memory, for files of hundreds of MiB or more.
class InMemory : public BlackBox {
protected:
    std::wstring folder_base() const override { return MEMORY_FOLDER; }
};
