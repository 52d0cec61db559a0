// The About box as a user meets it: made hidden at start, shown by the About button, hidden by
// its OK button and its caption's close, never ended; its home page button; its sheet of texts.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "about_driver.h"
#include "res/resource.h"
#include "tests/support/layout.h"
#include "tests/support/shot.h"

namespace {

class AboutBox : public AboutTest {};

const std::wstring NEWS = L"欢迎使用凡特文件加密机！\r\n新版本发布时，这里会显示公告。";

std::string same_version(const std::wstring &text) { return std::string(MAGIC) + OUR_TAG + "\r\n" + cp936(text); }

TEST_F(AboutBox, OkHidesItAndTheAboutButtonShowsItAgainWithTheSameNews)
{
    serve_update(AT, same_version(NEWS));
    start(AT);
    EXPECT_FALSE(IsWindowVisible(about)) << "shown before the About button was pressed";
    expect_pane(AT, about, NEWS);
    show_about(AT, app, about);
    click_in_about(AT, about, IDC_ABOUT_OK);
    wait_hidden(AT, about);
    settle(AT, about);
    ASSERT_TRUE(IsWindow(about)) << "OK ended the box";
    EXPECT_TRUE(IsWindowVisible(app.main));

    show_about(AT, app, about);
    EXPECT_EQ(find_about(app), about) << "a new box instead of the same one";
    expect_pane(AT, about, NEWS, 0);
    EXPECT_EQ(server.requests().size(), 1u) << "showing the box checked again";
}

TEST_F(AboutBox, CaptionCloseHidesItWithoutEndingIt)
{
    serve_update(AT, same_version(NEWS));
    start(AT);
    expect_pane(AT, about, NEWS);
    show_about(AT, app, about);
    ASSERT_TRUE(PostMessageW(about, WM_SYSCOMMAND, SC_CLOSE, 0));
    wait_hidden(AT, about);
    // The close also posts the dialog manager's cancel command; the click below comes after it.
    settle(AT, about);
    show_about(AT, app, about);
    settle(AT, about);
    ASSERT_TRUE(IsWindow(about)) << "the close ended the box";
    EXPECT_TRUE(IsWindowVisible(about)) << "the cancel command after the close hid the box again";
    expect_pane(AT, about, NEWS, 0);
    DWORD exit_code;
    EXPECT_FALSE(app_wait_exit(app, 0, &exit_code)) << "closing the About box ended the program";
}

TEST_F(AboutBox, HomePageButtonOpensTheHomePageAndLeavesTheBoxOpen)
{
    serve_update(AT, same_version(NEWS));
    start(AT);
    expect_pane(AT, about, NEWS);
    show_about(AT, app, about);
    click_in_about(AT, about, IDC_HOME_PAGE);
    std::vector<std::string> opened = wait_browser(AT, 1);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], utf8(server_address()) + "/");
    settle(AT, about);
    EXPECT_TRUE(IsWindowVisible(about));
    expect_pane(AT, about, NEWS, 0);
}

TEST_F(AboutBox, ShownBeforeASlowReplyItsPaneFillsInWhenTheReplyComes)
{
    serve_update(AT, same_version(NEWS), true);
    start(AT);
    ASSERT_TRUE(server.wait_requests(1, WAIT_MS)) << "no request";
    show_about(AT, app, about);
    EXPECT_EQ(utf8(pane_text(AT, about)), "") << "text before the reply";
    server.release();
    expect_pane(AT, about, NEWS);
    EXPECT_TRUE(IsWindowVisible(about));
}

TEST_F(AboutBox, LongNewsLinesRunOnManyLinesScrollAndTypingChangesNothing)
{
    std::wstring text = L"很长的一行：" + std::wstring(400, L'长') + L"\r\n";
    for (int i = 2; i <= 40; i++)
        text += L"第" + std::to_wstring(i) + L"行\r\n";
    serve_update(AT, same_version(text));
    start(AT);
    expect_pane(AT, about, text);
    show_about(AT, app, about);
    HWND pane = GetDlgItem(about, IDC_NEWS);
    // One line per line end (and the empty one after the last): the long line is not wrapped.
    EXPECT_EQ(send(AT, pane, EM_GETLINECOUNT, 0, 0), 41);
    EXPECT_EQ(send(AT, pane, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    send(AT, pane, WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_GT(send(AT, pane, EM_GETFIRSTVISIBLELINE, 0, 0), 0) << "the pane does not scroll down";
    send(AT, pane, WM_CHAR, L'x', 1);
    expect_pane(AT, about, text, 0);
}

// Kept as about-box.png in the build folder, with a Chinese news text of several lines. The pane
// shows it: without text, the inside of the pane is one plain colour.
TEST_F(AboutBox, Picture)
{
    const std::wstring news = L"凡特文件加密机 V1.2.1 Beta 已是最新版本。\r\n"
                              L"本次更新：\r\n  1. “关于”窗口显示来自主页的最新公告；\r\n"
                              L"  2. 发现新版本时提示下载。\r\n感谢您使用凡特软件！";
    serve_update(AT, same_version(news));
    start(AT);
    expect_pane(AT, about, news);
    show_about(AT, app, about);
    paint_in_front(about);
    EXPECT_GT(colours_inside(GetDlgItem(about, IDC_NEWS), 2, WAIT_MS), 2u) << "the news pane shows no text";
    std::wstring path = windows_path(QVX_ARTIFACTS "/about-box.png");
    EXPECT_GT(save_window_png(about, path), 0u) << utf8(path);
}

const DialogFont FONT = {L"微软雅黑", 9};

// The sheet, top to bottom: each label with its value beside it.
const wchar_t *const SHEET[][2] = {
    {L"软件名称：", L"QVX（Vantle File Encryptor - 凡特文件加密机）"},
    {L"软件描述：", L"QVX是一款轻量易用、安全高效的文件加密机，密码加密各种文件，同时具有简单的文件粉碎功能"},
    {L"软件版本：", L"V1.2.1 Beta 【2014-02-08】"},
    {L"软件作者：", L"Vantle（凡特）"},
    {L"编程语言：", nullptr},   // a value of the program's own choosing
};

// The control right of `label` on its row.
HWND beside(HWND about, HWND label)
{
    RECT left = place_of(about, label);
    for (HWND control : controls_of(about)) {
        RECT place = place_of(about, control);
        if (place.top == left.top && place.left >= left.right)
            return control;
    }
    return nullptr;
}

TEST_F(AboutBox, ShowsItsSheetWholeAndApart)
{
    serve_update(AT, same_version(NEWS));
    start(AT);
    EXPECT_FALSE(IsWindowVisible(about));
    EXPECT_EQ(GetWindow(about, GW_OWNER), app.main);
    DWORD style = (DWORD)GetWindowLongPtrW(about, GWL_STYLE);
    const DWORD wanted = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    EXPECT_EQ(style & wanted, wanted) << std::hex << style;
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD), 0u) << std::hex << style;

    expect_laid_out(AT, about, FONT);
    int row_top = -1, sheet_bottom = 0;
    for (auto &row : SHEET) {
        HWND label = control_showing(AT, about, row[0]), value = beside(about, label);
        ASSERT_TRUE(value) << "nothing beside " << utf8(row[0]);
        if (row[1])
            EXPECT_EQ(utf8(text_of(AT, value)), utf8(row[1])) << "beside " << utf8(row[0]);
        else
            EXPECT_FALSE(text_of(AT, value).empty()) << "nothing beside " << utf8(row[0]);
        EXPECT_GT(place_of(about, label).top, row_top) << utf8(row[0]) << " is not below the row before it";
        row_top = place_of(about, label).top;
        sheet_bottom = std::max<int>(sheet_bottom, place_of(about, value).bottom);
    }
    // Below the sheet the news pane, and under it the home page button at the left, OK at the right.
    RECT pane = place_of(about, GetDlgItem(about, IDC_NEWS));
    RECT home = place_of(about, control_showing(AT, about, server_address() + L"/"));
    RECT ok = place_of(about, control_showing(AT, about, L"确定"));
    EXPECT_GE(pane.top, sheet_bottom);
    EXPECT_TRUE(home.top >= pane.bottom && ok.top >= pane.bottom && home.right <= ok.left)
        << "pane " << show(pane) << ", home page " << show(home) << ", OK " << show(ok);
    EXPECT_TRUE(tab_stops(about).empty()) << "Tab moves between the box's controls";
}

}   // namespace
