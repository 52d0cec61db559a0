// The report dialog as the user sees it: its frame, its three controls where they belong, and a
// picture of it kept for a person to look at.
#include <string>
#include <vector>

#include "tests/support/crash_driver.h"
#include "res/resource.h"
#include "tests/support/shot.h"
#include "tests/support/layout.h"

namespace {

const wchar_t EXPLANATION[] = L"程序运行时发生异常并崩溃。以下为有关异常的信息与程序运行时的数据，你可以将它们发送给我以助改进程序。";
const int DIALOG_W = 162, DIALOG_H = 189;   // dialog units

const DialogFont FONT = {L"微软雅黑", 10};

// Template order. The report box has no horizontal scrolling, so that long lines wrap; its text
// is read by its own test.
const std::vector<LayoutRow> ROWS = {
    {IDC_REPORT_CLOSE, L"Button", L"关闭", 102, 170, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {IDC_STATIC_TEXT, L"Static", EXPLANATION, 8, 6, 144, 34, SS_LEFT | WS_GROUP},
    {IDC_REPORT, L"Edit", L"", 8, 34, 144, 130, ES_MULTILINE | ES_READONLY | WS_BORDER | WS_VSCROLL | WS_TABSTOP,
     true},
};

TEST_F(CrashTest, ReportDialogMatchesLayoutTable)
{
    HWND report = crash(AT, app);
    DWORD style = (DWORD)GetWindowLongPtrW(report, GWL_STYLE);
    const DWORD wanted = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
    EXPECT_EQ(style & wanted, wanted) << std::hex << style;
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD), 0u) << std::hex << style;
    EXPECT_TRUE(GetWindowLongPtrW(report, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);

    expect_layout(AT, report, FONT, DIALOG_W, DIALOG_H, ROWS);

    // Centred on the screen's work area, as it has no owner to be centred on.
    RECT frame, area;
    GetWindowRect(report, &frame);
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0));
    EXPECT_LE(abs((frame.left + frame.right) - (area.left + area.right)), 2) << show(frame) << " in " << show(area);
    EXPECT_LE(abs((frame.top + frame.bottom) - (area.top + area.bottom)), 2) << show(frame) << " in " << show(area);

}

TEST_F(CrashTest, ReportPicture)
{
    HWND report = crash(AT, app);
    SetForegroundWindow(report);
    RedrawWindow(report, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    send(AT, report, WM_NULL, 0, 0);
    std::wstring path = windows_path(QVX_ARTIFACTS "/crash-report.png");
    DeleteFileW(path.c_str());
    EXPECT_TRUE(save_window_png(report, path)) << utf8(path);
}

}   // namespace
