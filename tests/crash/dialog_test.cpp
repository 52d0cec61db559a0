// The report dialog as the user sees it: its frame, the explanation whole above the report, every
// line of the report within reach and none to change, and a picture of it kept for a person.
#include <string>
#include <vector>

#include "tests/support/crash_driver.h"
#include "res/resource.h"
#include "tests/support/layout.h"
#include "tests/support/shot.h"

namespace {

const wchar_t EXPLANATION[] = L"程序运行时发生异常并崩溃。以下为有关异常的信息与程序运行时的数据，你可以将它们发送给我以助改进程序。";
const DialogFont FONT = {L"微软雅黑", 10};

TEST_F(CrashTest, ReportShowsItsTextsWholeAndApart)
{
    HWND report = crash(AT, app);
    DWORD style = (DWORD)GetWindowLongPtrW(report, GWL_STYLE);
    const DWORD wanted = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    EXPECT_EQ(style & wanted, wanted) << std::hex << style;
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD), 0u) << std::hex << style;
    EXPECT_TRUE(GetWindowLongPtrW(report, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);

    expect_laid_out(AT, report, FONT);
    HWND explanation = control_showing(AT, report, EXPLANATION), button = control_showing(AT, report, L"关闭");
    HWND box = GetDlgItem(report, IDC_REPORT);
    ASSERT_TRUE(box);
    RECT above = place_of(report, explanation), middle = place_of(report, box), below = place_of(report, button);
    EXPECT_TRUE(above.top < middle.top && middle.bottom <= below.top)
        << "explanation " << show(above) << ", report " << show(middle) << ", button " << show(below);
    EXPECT_EQ(tab_stops(report), (std::vector<HWND>{button, box})) << "Tab moves between other controls";

    // Centred on the screen's work area, as it has no owner to be centred on.
    RECT frame, area;
    GetWindowRect(report, &frame);
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0));
    EXPECT_LE(abs((frame.left + frame.right) - (area.left + area.right)), 2) << show(frame) << " in " << show(area);
    EXPECT_LE(abs((frame.top + frame.bottom) - (area.top + area.bottom)), 2) << show(frame) << " in " << show(area);
}

int display_line(At at, HWND box, size_t unit) { return (int)send(at, box, EM_LINEFROMCHAR, unit, 0); }

// Every line either fits the box's width or is broken over several of its lines, none runs on out
// of sight; the box starts at the top and scrolls down to the last line; typing changes nothing.
TEST_F(CrashTest, ReportBoxShowsTheWholeReportAndTakesNoTyping)
{
    HWND box = GetDlgItem(crash(AT, app), IDC_REPORT);
    ASSERT_TRUE(box);
    std::wstring text = whole_text(AT, box);
    ASSERT_EQ(lines_of(text).size(), 42u);
    RECT format = {};
    send(AT, box, EM_GETRECT, 0, (LPARAM)&format);
    size_t start = 0;
    for (const std::wstring &line : lines_of(text)) {
        bool wider = !line.empty() && text_size(FONT, line).cx > format.right - format.left;
        EXPECT_TRUE(!wider || display_line(AT, box, start) < display_line(AT, box, start + line.size() - 1))
            << "\"" << utf8(line) << "\" runs on past the box's right edge";
        start += line.size() + 2;
    }
    EXPECT_EQ(send(AT, box, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    send(AT, box, WM_VSCROLL, SB_BOTTOM, 0);
    LRESULT last = send(AT, box, EM_POSFROMCHAR, text.size() - 1, 0);
    int y = (short)HIWORD(last), height = text_size(FONT, L"0").cy;
    EXPECT_TRUE(y >= format.top && y + height <= format.bottom)
        << "the last line is at " << y << " after scrolling to the end, the box shows " << show(format);

    send(AT, box, WM_CHAR, L'x', 1);
    EXPECT_EQ(utf8(whole_text(AT, box)), utf8(text)) << "typing changed the report";
}

// Kept as crash-report.png in the build folder. The report's box shows text: without it, the
// inside of the box is one plain colour.
TEST_F(CrashTest, ReportPicture)
{
    HWND report = crash(AT, app);
    paint_in_front(report);
    EXPECT_GT(colours_inside(GetDlgItem(report, IDC_REPORT), 2, WAIT_MS), 2u) << "the report's box shows no text";
    std::wstring path = windows_path(QVX_ARTIFACTS "/crash-report.png");
    EXPECT_GT(save_window_png(report, path), 0u) << utf8(path);
}

}   // namespace
