// The About box and the update check seen from outside: the box found by its caption, its news
// pane read back, the new-version question answered, and the addresses the program opened.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/http_server.h"
#include "tests/support/driver.h"

extern const wchar_t TEXT_NO_SERVER[];          // the pane's failure text
extern const wchar_t TEXT_NEW_VERSION[];        // the question
extern const char UPDATE_PATH[];
extern const char MAGIC[];                      // "QVX "
extern const char OUR_TAG[];                    // "121B"

std::wstring server_address();                  // "http://127.0.0.1:<port>"
std::wstring from_cp936(const std::string &bytes);
std::string cp936(const std::wstring &text);

std::wstring pane_text(At at, HWND about);
// Waits until the pane shows `text`; fails with what it shows instead.
void expect_pane(At at, HWND about, const std::wstring &text, DWORD ms = WAIT_MS);
void set_pane(At at, HWND about, const std::wstring &text);
// Presses the main window's About button and waits until the box is shown.
void show_about(At at, const App &app, HWND about);
void wait_hidden(At at, HWND about);
// Clicks a button of the box the way a mouse click arrives.
void click_in_about(At at, HWND about, int id);
// Returns once the box's thread is back in its message loop: what it was doing is done.
void settle(At at, HWND about);

// Checks the question (text, Yes and No, owned by the About box), answers it and waits until the
// thread that asked has ended.
void answer_question(At at, const App &app, HWND about, HWND box, int button);

// Addresses the program asked the browser to open, recorded through Wine's browser setting.
void browser_reset(At at);
std::vector<std::string> browser_opened();
std::vector<std::string> wait_browser(At at, size_t count, DWORD ms = WAIT_MS);
// Watches for a while that nothing is opened.
void expect_no_browser(At at, DWORD ms = WAIT_SHORT_MS);

// A started program with its About box, against a server of the test's own.
class AboutTest : public BlackBox {
protected:
    void SetUp() override;
    void TearDown() override;
    void serve(At at, const std::map<std::string, std::string> &routes, bool hold = false);
    void serve_update(At at, const std::string &body, bool hold = false);
    // Starts the program and finds its About box and its update check.
    void start(At at);
    // Waits until the update check has ended; stops if it asks a question instead.
    void expect_check_ends_without_question(At at);

    HttpServer server;
    HWND about = nullptr;
    HANDLE check = nullptr;   // the update check's thread while it runs
};
