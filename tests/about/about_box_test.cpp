// The About box as a user meets it: made hidden at start, shown by the About button, hidden by
// its OK button and its caption's close, never ended; its home page button; its layout.
#include <windows.h>

#include <vector>

#include "about_driver.h"
#include "res/resource.h"
#include "tests/support/shot.h"
#include "tests/support/layout.h"

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

TEST_F(AboutBox, LongNewsLinesRunOnAndManyLinesScroll)
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
}

// The picture kept for a person: the box with a Chinese news text of several lines.
TEST_F(AboutBox, ScreenshotWithChineseNews)
{
    const std::wstring news = L"凡特文件加密机 V1.2.1 Beta 已是最新版本。\r\n"
                              L"本次更新：\r\n  1. “关于”窗口显示来自主页的最新公告；\r\n"
                              L"  2. 发现新版本时提示下载。\r\n感谢您使用凡特软件！";
    serve_update(AT, same_version(news));
    start(AT);
    expect_pane(AT, about, news);
    show_about(AT, app, about);
    SetForegroundWindow(about);
    RedrawWindow(about, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    settle(AT, about);
    std::wstring path = windows_path(QVX_ARTIFACTS "/about-box.png");
    EXPECT_TRUE(save_window_png(about, path)) << utf8(path);
}

const DWORD PANE_STYLE = WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_READONLY;

std::vector<LayoutRow> rows()
{
    return {
        {IDC_ABOUT_OK, L"Button", L"确定", 292, 151, 46, 16, BS_DEFPUSHBUTTON},
        {IDC_STATIC_TEXT, L"Static", L"软件描述：", 7, 18, 34, 8, SS_LEFT},
        {IDC_STATIC_TEXT, L"Static", L"软件版本：", 7, 30, 34, 8, SS_LEFT},
        {IDC_STATIC_TEXT, L"Static", L"软件作者：", 7, 42, 34, 8, SS_LEFT},
        {IDC_STATIC_TEXT, L"Static", L"编程语言：", 7, 54, 34, 8, SS_LEFT},
        {IDC_STATIC_TEXT, L"Static", L"QVX（Vantle File Encryptor - 凡特文件加密机）", 47, 6, 177, 8, SS_LEFT},
        {IDC_STATIC_TEXT, L"Static",
         L"QVX是一款轻量易用、安全高效的文件加密机，密码加密各种文件，同时具有简单的文件粉碎功能", 47, 18, 292, 8,
         SS_LEFT},
        {IDC_STATIC_TEXT, L"Static", L"V1.2.1 Beta 【2014-02-08】", 47, 30, 111, 8, SS_LEFT},
        {IDC_STATIC_TEXT, L"Static", L"Vantle（凡特）", 47, 42, 59, 8, SS_LEFT},
        {IDC_STATIC_TEXT, L"Static", L"C++ 与 Win32", 47, 54, 61, 8, SS_LEFT},
        {IDC_HOME_PAGE, L"Button", server_address() + L"/", 6, 151, 75, 16, BS_PUSHBUTTON},
        {IDC_STATIC_TEXT, L"Static", L"软件名称：", 7, 6, 34, 8, SS_LEFT},
        {IDC_NEWS, L"Edit", L"", 7, 68, 331, 78, PANE_STYLE},
    };
}

TEST_F(AboutBox, MatchesItsLayoutTable)
{
    serve_update(AT, same_version(NEWS), true);   // held: the pane is as the template makes it
    start(AT);
    EXPECT_FALSE(IsWindowVisible(about));
    EXPECT_EQ(GetWindow(about, GW_OWNER), app.main);
    DWORD style = (DWORD)GetWindowLongPtrW(about, GWL_STYLE);
    const DWORD wanted = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT;
    EXPECT_EQ(style & wanted, wanted) << std::hex << style;
    EXPECT_EQ(style & (WS_VISIBLE | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD), 0u) << std::hex << style;

    expect_layout(AT, about, DialogFont{L"微软雅黑", 9}, 347, 173, rows());
    server.release();
}

}   // namespace
