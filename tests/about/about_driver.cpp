#include "about_driver.h"

#include <fstream>

#include "res/resource.h"
#include "tests/support/crash_driver.h"

const wchar_t TEXT_NO_SERVER[] = L"无法连接服务器";
const wchar_t TEXT_NEW_VERSION[] = L"有新版本可用，是否下载？";
const char UPDATE_PATH[] = "/Sw/QVX/OL.inf";
const char MAGIC[] = "QVX ";
const char OUR_TAG[] = "121B";

static const UINT CHINESE_CODE_PAGE = 936;

// The About tests run the program that asks this tree's test server (the shipped build's twin
// where the build itself asks the maker's), unless QVX_EXE names another.
static const bool ABOUT_PROGRAM_CHOSEN =
    GetEnvironmentVariableW(L"QVX_EXE", nullptr, 0) > 0
    || SetEnvironmentVariableW(L"QVX_EXE", windows_path(QVX_ABOUT_PROGRAM).c_str());

std::wstring server_address() { return L"http://127.0.0.1:" + std::to_wstring(QVX_TEST_PORT); }

std::wstring from_cp936(const std::string &bytes)
{
    if (bytes.empty())
        return L"";
    int units = MultiByteToWideChar(CHINESE_CODE_PAGE, 0, bytes.data(), (int)bytes.size(), nullptr, 0);
    std::wstring text(units, L'\0');
    MultiByteToWideChar(CHINESE_CODE_PAGE, 0, bytes.data(), (int)bytes.size(), &text[0], units);
    return text;
}

std::string cp936(const std::wstring &text)
{
    int size = WideCharToMultiByte(CHINESE_CODE_PAGE, 0, text.data(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string bytes(size, '\0');
    WideCharToMultiByte(CHINESE_CODE_PAGE, 0, text.data(), (int)text.size(), &bytes[0], size, nullptr, nullptr);
    return bytes;
}


static HWND pane_of(At at, HWND about)
{
    HWND pane = GetDlgItem(about, IDC_NEWS);
    if (!pane)
        stop_at(at, "the About box has no news pane");
    return pane;
}

std::wstring pane_text(At at, HWND about) { return whole_text(at, pane_of(at, about)); }

// Shows where two long texts part, rather than both whole.
static std::string difference(const std::wstring &shown, const std::wstring &expected)
{
    size_t at = 0;
    while (at < shown.size() && at < expected.size() && shown[at] == expected[at])
        at++;
    auto around = [&](const std::wstring &text) { return utf8(text.substr(at, 40)); };
    return "pane shows " + std::to_string(shown.size()) + " units, expected " + std::to_string(expected.size()) +
           "; they part at unit " + std::to_string(at) + ": \"" + around(shown) + "\" instead of \"" +
           around(expected) + "\"";
}

void expect_pane(At at, HWND about, const std::wstring &text, DWORD ms)
{
    std::wstring shown;
    if (!wait_for(ms, [&] { return (shown = pane_text(at, about)) == text; }))
        fail_at(at, difference(shown, text));
}

void set_pane(At at, HWND about, const std::wstring &text) { set_text(at, pane_of(at, about), text); }

void show_about(At at, const App &app, HWND about)
{
    click(at, app, IDC_ABOUT);
    if (!wait_for(WAIT_MS, [&] { return IsWindowVisible(about) != FALSE; }))
        stop_at(at, "the About button did not show the box");
}

void wait_hidden(At at, HWND about)
{
    if (!wait_for(WAIT_MS, [&] { return !IsWindowVisible(about); }))
        stop_at(at, "the About box stays shown");
}

void click_in_about(At at, HWND about, int id)
{
    HWND button = GetDlgItem(about, id);
    if (!button)
        stop_at(at, "the About box has no button " + std::to_string(id));
    if (!PostMessageW(button, BM_CLICK, 0, 0))
        stop_at(at, "cannot click button " + std::to_string(id));
}

// A sent message is handled only once the box's thread is back in its loop. Messages posted
// before it may still wait in the queue.
void settle(At at, HWND about) { send(at, about, WM_NULL, 0, 0); }

static bool has_button(HWND box, int id)
{
    HWND button = GetDlgItem(box, id);
    return button && IsWindowVisible(button);
}

static bool thread_alive(DWORD process_id, DWORD thread_id) { return threads_of(process_id).count(thread_id) != 0; }

void answer_question(At at, const App &app, HWND about, HWND box, int button)
{
    std::wstring shown = text_of(at, GetDlgItem(box, IDC_STATIC_TEXT));
    if (shown != TEXT_NEW_VERSION)
        fail_at(at, "question \"" + utf8(shown) + "\"");
    if (GetWindow(box, GW_OWNER) != about)
        fail_at(at, GetWindow(box, GW_OWNER) == app.main ? "the question is owned by the main window"
                                                          : "the question is not owned by the About box");
    if (!has_button(box, IDYES) || !has_button(box, IDNO) || has_button(box, IDOK) || has_button(box, IDCANCEL))
        fail_at(at, "the question has other buttons than Yes and No");
    DWORD asker = GetWindowThreadProcessId(box, nullptr);
    if (asker == GetWindowThreadProcessId(app.main, nullptr))
        fail_at(at, "the question was asked by the main thread");
    if (!PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(box, button)))
        stop_at(at, "cannot answer the question");
    if (!wait_for(WAIT_MS, [&] { return !IsWindow(box); }))
        stop_at(at, "the question stayed after it was answered");
    if (!wait_for(WAIT_MS, [&] { return !thread_alive(app.process.dwProcessId, asker); }))
        stop_at(at, "the update check's thread still runs after the answer");
}

static std::string browser_record() { return QVX_ABOUT_OUT "/browser-opened.txt"; }

void browser_reset(At at)
{
    DeleteFileW(windows_path(browser_record()).c_str());
    // The value is a list of command lines, tried in order; the address is added as the last argument.
    std::string command = "/bin/sh " QVX_ABOUT_SCRIPT " " + browser_record();
    std::wstring value(command.begin(), command.end());
    if (value.size() >= 256)
        stop_at(at, "the browser command is longer than Wine's browser setting takes: " + command);
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        stop_at(at, "cannot open Wine's browser setting");
    LONG set = RegSetValueExW(key, L"Browsers", 0, REG_SZ, (const BYTE *)value.c_str(),
                              (DWORD)((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    if (set != ERROR_SUCCESS)
        stop_at(at, "cannot set Wine's browser");
}

std::vector<std::string> browser_opened()
{
    std::vector<std::string> lines;
    std::ifstream record(windows_path(browser_record()).c_str());
    for (std::string line; std::getline(record, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> wait_browser(At at, size_t count, DWORD ms)
{
    std::vector<std::string> opened;
    if (!wait_for(ms, [&] { return (opened = browser_opened()).size() >= count; }))
        fail_at(at, std::to_string(opened.size()) + " address(es) opened within " + std::to_string(ms) +
                        " ms, expected " + std::to_string(count));
    return opened;
}

void expect_no_browser(At at, DWORD ms)
{
    std::vector<std::string> opened;
    if (wait_for(ms, [&] { return !(opened = browser_opened()).empty(); }))
        fail_at(at, "the browser was asked to open " + opened[0]);
}

// WinINet takes a proxy from the environment when the system has none; the test's server is local.
class NoProxy : public ::testing::Environment {
    void SetUp() override
    {
        for (const wchar_t *name : {L"http_proxy", L"HTTP_PROXY", L"all_proxy", L"ALL_PROXY"})
            SetEnvironmentVariableW(name, nullptr);
    }
};
static ::testing::Environment *const no_proxy = ::testing::AddGlobalTestEnvironment(new NoProxy);

void AboutTest::SetUp()
{
    BlackBox::SetUp();
    browser_reset(AT);
}

void AboutTest::TearDown()
{
    BlackBox::TearDown();
    server.stop();
    DeleteFileW(windows_path(browser_record()).c_str());
    if (check)
        CloseHandle(check);
}

void AboutTest::serve(At at, const std::map<std::string, std::string> &routes, bool hold)
{
    server.start(at, QVX_TEST_PORT, routes, hold);
}

void AboutTest::serve_update(At at, const std::string &body, bool hold)
{
    serve(at, {{UPDATE_PATH, http_ok(body)}}, hold);
}

// Of the program's threads, the one besides the main thread that began in the program's own
// image; null once it has ended.
static HANDLE open_update_check(At at, const App &app)
{
    Image image = image_of(at, app.process.hProcess);
    for (DWORD id : threads_of(app.process.dwProcessId)) {
        ULONG_PTR entry = id == app.process.dwThreadId ? 0 : thread_start_address(id);
        if (entry >= image.base && entry < image.base + image.size)
            return OpenThread(SYNCHRONIZE, FALSE, id);
    }
    return nullptr;
}

void AboutTest::start(At at)
{
    app_start(at, app);
    about = find_about(app);
    if (!about)
        stop_at(at, "no About box after start-up");
    if (check)
        CloseHandle(check);
    check = open_update_check(at, app);
}

void AboutTest::expect_check_ends_without_question(At at)
{
    HWND box = nullptr;
    bool ended = wait_for(WAIT_MS, [&] {
        return !check || WaitForSingleObject(check, 0) == WAIT_OBJECT_0 || (box = find_notice(app)) != nullptr;
    });
    if (box)
        stop_at(at, "the update check asks \"" + utf8(text_of(at, GetDlgItem(box, IDC_STATIC_TEXT))) + "\"");
    if (!ended)
        stop_at(at, "the update check still runs after " + std::to_string(WAIT_MS) + " ms");
}
