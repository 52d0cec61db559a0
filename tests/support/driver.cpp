#include "driver.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <vector>

#include "files.h"
#include "res/resource.h"

const wchar_t MAIN_CAPTION[] = L"QVX （Vantle File Encryptor - 凡特文件加密机） V1.2.1 Beta";
const wchar_t NOTICE_CAPTION[] = L"Vantle File Encryptor";
const wchar_t ABOUT_CAPTION[] = L"关于QVX";
const wchar_t TEXT_READY[] = L"准备就绪…";
const wchar_t TEXT_READING[] = L"正在读取…";
const wchar_t TEXT_COMPUTING[] = L"正在计算…";
const wchar_t TEXT_WRITING[] = L"正在写入…";
const wchar_t TEXT_DONE[] = L"操作完成";
const wchar_t TEXT_CANNOT_OPEN[] = L"无法打开文件";
const wchar_t TEXT_CONFIRM_DIFFERS[] = L"确认密码不一致";
const wchar_t TEXT_WRONG_PASSWORD[] = L"密码错误";
const wchar_t TEXT_WRITE_ERROR[] = L"写入文件出错";
const wchar_t TEXT_READ_ERROR[] = L"读取文件出错";
const wchar_t TEXT_NO_MEMORY[] = L"内存分配出错";
const wchar_t TEXT_SHRED_FAILED[] = L"粉碎文件出错";
const wchar_t TEXT_DAMAGED[] = L"文件已损坏或不是加密文件";
const wchar_t TEXT_TOO_LARGE[] = L"文件太大，无法处理";
const wchar_t TEXT_SHRED_QUESTION[] = L"粉碎后数据可能无法恢复，确定要粉碎指定文件吗？";

// Generous: under an emulated processor the program may take seconds to answer one message.
static const DWORD SEND_TIMEOUT_MS = 30000;
static const int COMMAND_IDS[] = {IDC_ENCRYPT, IDC_DECRYPT, IDC_SHRED};

std::string utf8(const std::wstring &text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string out(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &out[0], size, nullptr, nullptr);
    return out;
}

std::wstring widen(const std::string &ascii) { return std::wstring(ascii.begin(), ascii.end()); }

void start_linux(At at, const std::string &program, const std::string &arguments)
{
    std::wstring command = L"\"" + windows_path(program) + L"\" " + widen(arguments);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        stop_at(at, "cannot start " + program + ": error " + std::to_string(GetLastError()));
    if (process.hProcess)
        CloseHandle(process.hProcess);
    if (process.hThread)
        CloseHandle(process.hThread);
}

void fail_at(At at, const std::string &why)
{
    GTEST_MESSAGE_AT_(at.file, at.line, why.c_str(), ::testing::TestPartResult::kNonFatalFailure);
}

void stop_at(At at, const std::string &why)
{
    GTEST_MESSAGE_AT_(at.file, at.line, why.c_str(), ::testing::TestPartResult::kFatalFailure);
    throw Stop();
}

std::wstring windows_path(const std::string &unix_path)
{
    int size = MultiByteToWideChar(CP_UTF8, 0, unix_path.c_str(), -1, nullptr, 0);
    std::wstring path(size - 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, unix_path.c_str(), -1, &path[0], size);
    if (!path.empty() && path[0] == L'/') {   // Wine shows the Unix root as drive Z:
        for (auto &unit : path)
            unit = unit == L'/' ? L'\\' : unit;
        path = L"Z:" + path;
    }
    return path;
}

std::wstring qvx_path()
{
    wchar_t buffer[MAX_PATH];
    DWORD size = GetEnvironmentVariableW(L"QVX_EXE", buffer, MAX_PATH);
    if (size > 0 && size < MAX_PATH)
        return buffer;
    return windows_path(QVX_EXE_BUILT);
}

struct Search {
    DWORD process_id;
    const wchar_t *caption;   // null: any caption but the main window's and the notices'
    HWND exclude;
    bool hidden_too;
    HWND found;
};

static bool is_dialog_of(HWND window, DWORD process_id, bool hidden_too)
{
    DWORD owner_id = 0;
    GetWindowThreadProcessId(window, &owner_id);
    wchar_t name[64];
    return owner_id == process_id && GetClassNameW(window, name, 64) && wcscmp(name, L"#32770") == 0 &&
           (hidden_too || IsWindowVisible(window));
}

static BOOL CALLBACK match_window(HWND window, LPARAM context)
{
    Search *search = (Search *)context;
    if (window == search->exclude || !is_dialog_of(window, search->process_id, search->hidden_too))
        return TRUE;
    wchar_t caption[256] = L"";
    GetWindowTextW(window, caption, 256);
    bool match = search->caption ? wcscmp(caption, search->caption) == 0
                                 : wcscmp(caption, MAIN_CAPTION) != 0 && wcscmp(caption, NOTICE_CAPTION) != 0;
    if (!match)
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND find_dialog(DWORD process_id, const wchar_t *caption, HWND exclude, bool hidden_too)
{
    Search search = {process_id, caption, exclude, hidden_too, nullptr};
    EnumWindows(match_window, (LPARAM)&search);
    return search.found;
}

void app_start(At at, App &app, const std::wstring &arguments, const std::wstring &directory)
{
    std::wstring program = qvx_path();
    std::wstring line = L"\"" + program + L"\"" + arguments;
    std::vector<wchar_t> writable(line.begin(), line.end());
    writable.push_back(0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessW(program.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &app.process))
        stop_at(at, "cannot start " + utf8(program) + ": error " + std::to_string(GetLastError()));
    DWORD exit_code = 0;
    bool shown = wait_for(WAIT_START_MS, [&] {
        app.main = find_dialog(app.process.dwProcessId, MAIN_CAPTION);
        return app.main != nullptr || app_wait_exit(app, 0, &exit_code);
    });
    if (!app.main)
        stop_at(at, shown ? "the program ended at start, status " + std::to_string(exit_code)
                          : "no main window within " + std::to_string(WAIT_START_MS) + " ms");
}

bool app_wait_exit(const App &app, DWORD ms, DWORD *exit_code)
{
    if (!app.process.hProcess || WaitForSingleObject(app.process.hProcess, ms) != WAIT_OBJECT_0)
        return false;
    GetExitCodeProcess(app.process.hProcess, exit_code);
    return true;
}

// Calls `take` with each entry of one kind of the system's snapshot: processes or threads.
template <class Entry, class Take>
static void walk_snapshot(DWORD kind, BOOL(WINAPI *first)(HANDLE, Entry *), BOOL(WINAPI *next)(HANDLE, Entry *),
                          Take take)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(kind, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    Entry entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = first(snapshot, &entry); more; more = next(snapshot, &entry))
        take(entry);
    CloseHandle(snapshot);
}

// Processes the program started: Wine's crash debugger, if the program faulted.
static std::vector<DWORD> children_of(DWORD process_id)
{
    std::vector<DWORD> children;
    walk_snapshot<PROCESSENTRY32W>(TH32CS_SNAPPROCESS, Process32FirstW, Process32NextW, [&](const PROCESSENTRY32W &e) {
        if (e.th32ParentProcessID == process_id)
            children.push_back(e.th32ProcessID);
    });
    return children;
}

void app_end(App &app)
{
    if (!app.process.hProcess)
        return;
    DWORD exit_code;
    if (app.main)
        PostMessageW(app.main, WM_CLOSE, 0, 0);
    std::vector<DWORD> children = children_of(app.process.dwProcessId);
    if (!app_wait_exit(app, WAIT_MS, &exit_code)) {
        TerminateProcess(app.process.hProcess, 1);
        WaitForSingleObject(app.process.hProcess, WAIT_MS);
    }
    for (DWORD child : children) {
        HANDLE handle = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, child);
        if (handle) {
            TerminateProcess(handle, 1);
            WaitForSingleObject(handle, WAIT_MS);
            CloseHandle(handle);
        }
    }
    CloseHandle(app.process.hThread);
    CloseHandle(app.process.hProcess);
    app = App{};
}

void app_kill(At at, App &app)
{
    if (!TerminateProcess(app.process.hProcess, 1) || WaitForSingleObject(app.process.hProcess, WAIT_MS) != WAIT_OBJECT_0)
        stop_at(at, "cannot end the program: error " + std::to_string(GetLastError()));
    app_end(app);
}

HWND item(At at, const App &app, int id)
{
    HWND control = GetDlgItem(app.main, id);
    if (!control)
        stop_at(at, "the main window has no control " + std::to_string(id));
    return control;
}

LRESULT send(At at, HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    DWORD_PTR result = 0;
    // Not SMTO_ABORTIFHUNG: a program whose start took over 5 s counts as hung until its first
    // wait for messages, which under an emulated processor is common; the timeout bounds the wait.
    if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_NORMAL, SEND_TIMEOUT_MS, &result))
        stop_at(at, "message " + std::to_string(message) + " got no answer within " +
                        std::to_string(SEND_TIMEOUT_MS) + " ms");
    return (LRESULT)result;
}

std::wstring text_of(At at, HWND window)
{
    wchar_t buffer[1024] = L"";
    LRESULT units = send(at, window, WM_GETTEXT, 1024, (LPARAM)buffer);
    return std::wstring(buffer, (size_t)units);
}

std::wstring whole_text(At at, HWND window)
{
    std::wstring text((size_t)send(at, window, WM_GETTEXTLENGTH, 0, 0) + 1, L'\0');
    text.resize((size_t)send(at, window, WM_GETTEXT, text.size(), (LPARAM)&text[0]));
    return text;
}

void set_text(At at, HWND window, const std::wstring &text)
{
    if (!send(at, window, WM_SETTEXT, 0, (LPARAM)text.c_str()))
        stop_at(at, "WM_SETTEXT refused: " + utf8(text));
}

void set_overwrite(At at, const App &app, bool on)
{
    HWND box = item(at, app, IDC_OVERWRITE);
    send(at, box, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    if ((send(at, box, BM_GETCHECK, 0, 0) == BST_CHECKED) != on)
        stop_at(at, "the overwrite box did not take its state");
}

void click(At at, const App &app, int id)
{
    if (!PostMessageW(app.main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)item(at, app, id)))
        stop_at(at, "cannot post the click on " + std::to_string(id));
}

void choose(At at, const App &app, const std::wstring &path, const std::wstring &password,
            const std::wstring &confirmation, bool overwrite)
{
    set_text(at, item(at, app, IDC_PATH), path);
    set_text(at, item(at, app, IDC_PASSWORD), password);
    set_text(at, item(at, app, IDC_CONFIRM), confirmation);
    set_overwrite(at, app, overwrite);
    std::wstring shown = text_of(at, item(at, app, IDC_PATH));
    if (shown != path)
        stop_at(at, "the path box shows " + utf8(shown) + " instead of " + utf8(path));
}

HWND find_notice(const App &app) { return find_dialog(app.process.dwProcessId, NOTICE_CAPTION); }

HWND wait_notice(At at, const App &app, DWORD ms)
{
    HWND box = nullptr;
    DWORD exit_code = 0;
    wait_for(ms, [&] { return (box = find_notice(app)) != nullptr || app_wait_exit(app, 0, &exit_code); });
    if (!box)
        stop_at(at, app_wait_exit(app, 0, &exit_code)
                        ? "the program ended, status " + std::to_string(exit_code) + ", instead of a notice"
                        : "no notice within " + std::to_string(ms) + " ms" + other_dialog_note(app));
    return box;
}

static bool has_button(HWND box, int id)
{
    HWND button = GetDlgItem(box, id);
    return button && IsWindowVisible(button);
}

void check_and_answer(At at, const App &app, HWND box, const std::wstring &text, int button)
{
    std::wstring shown = text_of(at, GetDlgItem(box, IDC_STATIC_TEXT));
    if (shown != text)
        fail_at(at, "notice \"" + utf8(shown) + "\", expected \"" + utf8(text) + "\"");
    if (GetWindow(box, GW_OWNER) != app.main)
        fail_at(at, "the notice is not owned by the main window");
    bool question = button == IDYES || button == IDNO;
    if (has_button(box, IDOK) == question || has_button(box, IDYES) != question ||
        has_button(box, IDNO) != question || has_button(box, IDCANCEL))
        fail_at(at, question ? "the question lacks Yes and No" : "the notice has buttons other than OK");
    if (!PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(box, button)))
        stop_at(at, "cannot answer the notice");
    if (!wait_for(WAIT_MS, [&] { return !IsWindow(box); }))
        stop_at(at, "the notice stayed after it was answered");
}

void expect_notice(At at, const App &app, const std::wstring &text, int button, DWORD ms)
{
    check_and_answer(at, app, wait_notice(at, app, ms), text, button);
}

HWND find_about(const App &app) { return find_dialog(app.process.dwProcessId, ABOUT_CAPTION, nullptr, true); }

void settle(At at, const App &app)
{
    HWND about = find_about(app);
    if (!about || IsWindowVisible(about))
        stop_at(at, "no hidden About box to settle the program with");
    click(at, app, IDC_ABOUT);
    if (!wait_for(WAIT_MS, [&] { return IsWindowVisible(about); }))
        stop_at(at, "the program did not get to the About button's click" + other_dialog_note(app));
    PostMessageW(about, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_OK, BN_CLICKED), (LPARAM)GetDlgItem(about, IDC_ABOUT_OK));
    if (!wait_for(WAIT_MS, [&] { return !IsWindowVisible(about); }))
        stop_at(at, "the About box stayed");
}

void expect_nothing_started(At at, const App &app, const std::set<DWORD> &before)
{
    settle(at, app);
    if (HWND box = find_notice(app)) {
        std::wstring shown = text_of(at, GetDlgItem(box, IDC_STATIC_TEXT));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        stop_at(at, "unexpected notice \"" + utf8(shown) + "\"");
    }
    expect_idle(at, app);
    expect_no_new_threads(at, app, before);
}

void expect_no_notice(At at, const App &app, DWORD ms)
{
    HWND box = nullptr;
    if (wait_for(ms, [&] { return (box = find_notice(app)) != nullptr; })) {
        std::wstring shown = text_of(at, GetDlgItem(box, IDC_STATIC_TEXT));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        stop_at(at, "unexpected notice \"" + utf8(shown) + "\"");
    }
}

int commands_enabled(At at, const App &app)
{
    int enabled = 0;
    for (int id : COMMAND_IDS)
        enabled += IsWindowEnabled(item(at, app, id)) ? 1 : 0;
    return enabled;
}

int bar_position(At at, const App &app) { return (int)send(at, item(at, app, IDC_PROGRESS), PBM_GETPOS, 0, 0); }
int bar_high(At at, const App &app) { return (int)send(at, item(at, app, IDC_PROGRESS), PBM_GETRANGE, FALSE, 0); }
int bar_low(At at, const App &app) { return (int)send(at, item(at, app, IDC_PROGRESS), PBM_GETRANGE, TRUE, 0); }

void expect_idle(At at, const App &app)
{
    std::wstring status = text_of(at, item(at, app, IDC_STATUS));
    if (status != TEXT_READY)
        fail_at(at, "status \"" + utf8(status) + "\" when idle");
    int enabled = commands_enabled(at, app);
    if (enabled != 3)
        fail_at(at, std::to_string(3 - enabled) + " command button(s) disabled when idle");
    int position = bar_position(at, app);
    if (position != 0)
        fail_at(at, "progress bar at " + std::to_string(position) + " when idle");
}

void wait_idle(At at, const App &app, DWORD ms)
{
    wait_for(ms, [&] { return text_of(at, item(at, app, IDC_STATUS)) == TEXT_READY && commands_enabled(at, app) == 3; });
    expect_idle(at, app);
}

bool wait_status(At at, const App &app, const std::wstring &text, DWORD ms)
{
    return wait_for(ms, [&] { return find_notice(app) || text_of(at, item(at, app, IDC_STATUS)) == text; }) &&
           !find_notice(app);
}

std::set<DWORD> threads_of(DWORD process_id)
{
    std::set<DWORD> threads;
    walk_snapshot<THREADENTRY32>(TH32CS_SNAPTHREAD, Thread32First, Thread32Next, [&](const THREADENTRY32 &e) {
        if (e.th32OwnerProcessID == process_id)
            threads.insert(e.th32ThreadID);
    });
    return threads;
}

// Suspending is only asked for: a thread is stopped once its context can be read.
static bool suspend_and_see_stopped(At at, HANDLE thread, DWORD id)
{
    if (SuspendThread(thread) == (DWORD)-1)
        return false;
    CONTEXT context = {};
    context.ContextFlags = CONTEXT_CONTROL;
    if (!GetThreadContext(thread, &context))
        stop_at(at, "cannot see thread " + std::to_string(id) + " stopped: error " + std::to_string(GetLastError()));
    return true;
}

// A thread that has ended meanwhile cannot be opened or stopped.
static bool hold_any_new(At at, const App &app, const std::set<DWORD> &before, Held &held)
{
    for (DWORD id : threads_of(app.process.dwProcessId)) {
        HANDLE thread = before.count(id) ? nullptr : OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, id);
        if (!thread)
            continue;
        if (suspend_and_see_stopped(at, thread, id))
            held.threads.push_back(thread);
        else
            CloseHandle(thread);
    }
    return !held.threads.empty();
}

void hold_new_threads(At at, const App &app, const std::set<DWORD> &before, Held &held)
{
    if (!hold_any_new(at, app, before, held))
        stop_at(at, "no command thread to hold");
}

// The command tells the window its status by a sent message, which the window thread carries out
// only while it runs. The command's threads and the window thread are never let run at once, so
// the command cannot pass the status unseen: it is held inside that message, before the step the
// status names.
bool hold_at_status(At at, const App &app, const std::set<DWORD> &before, const std::wstring &text, Held &held)
{
    // The window shows the first status before it starts the command's thread; threads of the
    // program's own start may end meanwhile, so only a new one is the command's.
    bool started = wait_for(WAIT_MS, [&] {
        return find_notice(app) ||
               (text_of(at, item(at, app, IDC_STATUS)) != TEXT_READY && hold_any_new(at, app, before, held));
    });
    if (!started)
        stop_at(at, "the command started no thread");
    if (held.threads.empty())
        return false;   // already ended
    DWORD start = GetTickCount();
    for (;;) {
        std::wstring shown = text_of(at, item(at, app, IDC_STATUS));
        if (shown == text)
            return true;
        if (shown == TEXT_READY || find_notice(app))
            return false;   // passed it before the first hold
        if (GetTickCount() - start > WAIT_BIG_MS)
            stop_at(at, "the status stayed \"" + utf8(shown) + "\"");
        if (!suspend_and_see_stopped(at, app.process.hThread, app.process.dwThreadId))
            stop_at(at, "cannot stop the window thread");
        let_go(held);
        Sleep(POLL_MS);
        hold_new_threads(at, app, before, held);
        ResumeThread(app.process.hThread);
    }
}

void let_go(Held &held)
{
    for (HANDLE thread : held.threads) {
        ResumeThread(thread);
        CloseHandle(thread);
    }
    held.threads.clear();
}

void expect_no_new_threads(At at, const App &app, const std::set<DWORD> &before, DWORD ms)
{
    if (before.empty())
        stop_at(at, "no threads seen in the program before the command");
    size_t left = 0;
    wait_for(ms, [&] {
        left = 0;
        for (DWORD id : threads_of(app.process.dwProcessId))
            left += before.count(id) ? 0 : 1;
        return left == 0;
    });
    if (left)
        fail_at(at, std::to_string(left) + " thread(s) started by the command still run " + std::to_string(ms) +
                        " ms after it ended");
}

void run_command(At at, const App &app, int command, const std::wstring &notice)
{
    std::set<DWORD> before = threads_of(app.process.dwProcessId);
    click(at, app, command);
    if (command == IDC_SHRED)
        expect_notice(at, app, TEXT_SHRED_QUESTION, IDYES);
    HWND box = wait_notice(at, app, WAIT_BIG_MS);   // the end of the work, on however large a file
    if (notice == TEXT_DONE)
        expect_idle(at, app);   // success is told after the window is back to idle
    check_and_answer(at, app, box, notice);
    wait_idle(at, app);
    expect_no_new_threads(at, app, before);
}

void run_command(At at, const App &app, const Choice &choice, int command, const std::wstring &notice)
{
    choose(at, app, choice.path, choice.password, choice.confirmation, choice.overwrite);
    run_command(at, app, command, notice);
}

HWND find_other_dialog(const App &app) { return find_dialog(app.process.dwProcessId, nullptr, app.main); }

std::string other_dialog_note(const App &app)
{
    HWND other = find_other_dialog(app);
    if (!other)
        return "";
    wchar_t caption[256] = L"";
    GetWindowTextW(other, caption, 256);
    std::string note = "; the program shows a window \"" + utf8(caption) + "\"";
    for (HWND child = GetWindow(other, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t text[512] = L"";
        DWORD_PTR units = 0;
        if (SendMessageTimeoutW(child, WM_GETTEXT, 512, (LPARAM)text, SMTO_ABORTIFHUNG, 1000, &units) && units)
            note += " | " + utf8(text).substr(0, 300);
    }
    return note;
}

// How the program is started for every test.
class ProgramSetting : public ::testing::Environment {
    void SetUp() override
    {
        // Inherited by the program: a fault ends it instead of starting a debugger that would
        // outlive the test.
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
        // Without a window manager on the test display, Wine waits two seconds for every window of
        // a "managed" program to be hidden; the program's windows are made unmanaged, as a bare X
        // server would have them.
        if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
            return;
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\QVX.exe\\X11 Driver", 0,
                                  nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        static const wchar_t no[] = L"N";
        EXPECT_EQ(RegSetValueExW(key, L"Managed", 0, REG_SZ, (const BYTE *)no, sizeof no), ERROR_SUCCESS);
        RegCloseKey(key);
    }
};
static ::testing::Environment *const program_setting = ::testing::AddGlobalTestEnvironment(new ProgramSetting);

const wchar_t MEMORY_FOLDER[] = L"Z:\\dev\\shm\\";

std::wstring BlackBox::folder_base() const
{
    wchar_t temp[MAX_PATH];
    DWORD size = GetTempPathW(MAX_PATH, temp);
    return size > 0 && size < MAX_PATH ? temp : L"";
}

void BlackBox::SetUp()
{
    std::wstring base = folder_base();
    ASSERT_FALSE(base.empty());
    static unsigned serial;
    folder = base + L"qvx-bb-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(serial++);
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << utf8(folder);
}

void BlackBox::TearDown()
{
    for (HWND box; (box = find_notice(app)) != nullptr && app.process.hProcess;) {
        PostMessageW(box, WM_COMMAND, IDOK, 0);   // a notice left open by a failed test
        if (!wait_for(WAIT_SHORT_MS, [&] { return !IsWindow(box); }))
            break;
    }
    app_end(app);
    remove_tree(folder);
    EXPECT_FALSE(file_exists(folder)) << "left behind: " << utf8(folder);
}

void shred_answering(At at, const App &app, int answer, const std::wstring &file)
{
    click(at, app, IDC_SHRED);
    HWND box = wait_notice(at, app);
    if (!file.empty() && file_exists(file) && !opens_exclusively(file))
        fail_at(at, "the file is held while the Shred question is open");
    check_and_answer(at, app, box, TEXT_SHRED_QUESTION, answer);
}

void expect_refused(At at, const App &app, const std::wstring &notice, std::initializer_list<int> commands)
{
    for (int command : commands)
        run_command(at, app, command, notice);
}
