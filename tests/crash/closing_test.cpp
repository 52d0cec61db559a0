// Each way of closing the report ends the program with status 0; other input leaves it open.
#include <string>

#include "tests/support/crash_driver.h"
#include "res/resource.h"

namespace {

HWND crash(At at, App &app)
{
    app_start(at, app);
    fault_main_thread(at, app);
    return wait_report(at, app);
}

std::string hex(DWORD value)
{
    char text[16];
    snprintf(text, sizeof text, "%08lX", (unsigned long)value);
    return text;
}

void expect_ends_with_status_0(At at, const App &app)
{
    DWORD exit_code = 0;
    if (!app_wait_exit(app, WAIT_MS, &exit_code))
        return fail_at(at, "the program still runs " + std::to_string(WAIT_MS) + " ms after the report closed");
    if (exit_code != 0)
        fail_at(at, "the program ended with status " + hex(exit_code));
}

HWND focus_of(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

void post(At at, HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (!PostMessageW(window, message, wparam, lparam))
        stop_at(at, "cannot post message " + std::to_string(message));
}

TEST_F(CrashTest, CloseButtonEndsTheProgram)
{
    HWND report = crash(AT, app);
    HWND button = GetDlgItem(report, IDC_REPORT_CLOSE);
    ASSERT_TRUE(button);
    post(AT, button, BM_CLICK, 0, 0);
    expect_ends_with_status_0(AT, app);
}

TEST_F(CrashTest, CloseBoxEndsTheProgram)
{
    HWND report = crash(AT, app);
    post(AT, report, WM_SYSCOMMAND, SC_CLOSE, 0);
    expect_ends_with_status_0(AT, app);
}

TEST_F(CrashTest, EscapeEndsTheProgram)
{
    // Typed into the report itself. As it sets no focus of its own, the thread's focus may still be
    // in the main window's password box, where a real key would go until the report is clicked.
    HWND report = crash(AT, app);
    post(AT, report, WM_KEYDOWN, VK_ESCAPE, 1);
    post(AT, report, WM_KEYUP, VK_ESCAPE, 0xC0000001);
    expect_ends_with_status_0(AT, app);
}

TEST_F(CrashTest, OtherInputLeavesTheReportOpen)
{
    HWND report = crash(AT, app);
    HWND box = GetDlgItem(report, IDC_REPORT), button = GetDlgItem(report, IDC_REPORT_CLOSE);
    ASSERT_TRUE(box && button);
    RECT inside;
    ASSERT_TRUE(GetClientRect(box, &inside));
    LPARAM middle = MAKELPARAM(inside.right / 2, inside.bottom / 2);
    post(AT, box, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    post(AT, box, WM_LBUTTONUP, 0, middle);
    // Commands that are not a plain click on "关闭": one from the text box, one from the button
    // with another notification.
    post(AT, report, WM_COMMAND, MAKEWPARAM(IDC_REPORT, EN_SETFOCUS), (LPARAM)box);
    post(AT, report, WM_COMMAND, MAKEWPARAM(IDC_REPORT_CLOSE, BN_DOUBLECLICKED), (LPARAM)button);

    DWORD exit_code = 0;
    ASSERT_FALSE(app_wait_exit(app, WAIT_SHORT_MS, &exit_code)) << "the program ended, status " << hex(exit_code);
    EXPECT_TRUE(IsWindowVisible(report)) << "the report closed";
    EXPECT_EQ(focus_of(report), box) << "the click did not reach the text box";

    // Still a working report: its button closes it as before.
    post(AT, button, BM_CLICK, 0, 0);
    expect_ends_with_status_0(AT, app);
}

}   // namespace
