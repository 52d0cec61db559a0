// Each way of closing the report ends the program with status 0; other input leaves it open.
#include <string>

#include "tests/support/crash_driver.h"
#include "res/resource.h"

namespace {

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

void expect_status_0(At at, const App &app)
{
    DWORD exit_code = wait_end(at, app);
    if (exit_code != 0)
        fail_at(at, "the program ended with status " + std::to_string(exit_code));
}

// Typed into the report itself. As it sets no focus of its own, the thread's focus may still be
// in the main window's password box, where a real key would go until the report is clicked.
void type(At at, HWND report, WPARAM key)
{
    post(at, report, WM_KEYDOWN, key, 1);
    post(at, report, WM_KEYUP, key, 0xC0000001);
}

struct Closing {
    const char *name;
    void (*close)(At at, HWND report);
};

const Closing CLOSINGS[] = {
    {"CloseButton", [](At at, HWND report) { post(at, GetDlgItem(report, IDC_REPORT_CLOSE), BM_CLICK, 0, 0); }},
    {"CloseBox", [](At at, HWND report) { post(at, report, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    {"Escape", [](At at, HWND report) { type(at, report, VK_ESCAPE); }},
    {"Enter", [](At at, HWND report) { type(at, report, VK_RETURN); }},   // presses the default button
};

void PrintTo(const Closing &closing, std::ostream *out) { *out << closing.name; }

class ReportClosing : public CrashTest, public ::testing::WithParamInterface<Closing> {};

TEST_P(ReportClosing, EndsTheProgramWithStatus0)
{
    GetParam().close(AT, crash(AT, app));
    expect_status_0(AT, app);
}

INSTANTIATE_TEST_SUITE_P(Ways, ReportClosing, ::testing::ValuesIn(CLOSINGS),
                         [](const ::testing::TestParamInfo<Closing> &info) { return info.param.name; });

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
    // Posted last: once the box shows this selection, the report has handled all of the above,
    // unless one of them ended it.
    const LRESULT MARK = MAKELONG(3, 9);
    post(AT, box, EM_SETSEL, LOWORD(MARK), HIWORD(MARK));
    DWORD exit_code = 0;
    bool handled = wait_for(WAIT_MS, [&] {
        DWORD_PTR selection = 0;
        return app_wait_exit(app, 0, &exit_code) ||
               (SendMessageTimeoutW(box, EM_GETSEL, 0, 0, SMTO_NORMAL, WAIT_MS, &selection) && (LRESULT)selection == MARK);
    });
    ASSERT_FALSE(app_wait_exit(app, 0, &exit_code)) << "the program ended, status " << exit_code;
    ASSERT_TRUE(handled) << "the report did not handle its input within " << WAIT_MS << " ms";
    EXPECT_TRUE(IsWindowVisible(report)) << "the report closed";
    EXPECT_EQ(focus_of(report), box) << "the click did not reach the text box";

    // Still a working report: its button closes it as before.
    post(AT, button, BM_CLICK, 0, 0);
    expect_status_0(AT, app);
}

}   // namespace
