// The main window as a user first sees it: caption, styles, every control where it belongs, and a
// picture of it for a person to look at.
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "tests/support/files.h"
#include "tests/support/layout.h"
#include "tests/support/shot.h"

namespace {

using MainWindow = BlackBox;

const DWORD NO_STYLE = 0;
const DWORD EDIT_PASSWORD = WS_BORDER | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL;
const DialogFont FONT = {L"微软雅黑", 10};

// Template order, as the dialog manager creates the controls and as Tab walks them. The banner
// takes its picture's size (803 × 126 pixels) and has no text to compare.
const std::vector<LayoutRow> ROWS = {
    {IDC_PATH, L"Edit", L"", 30, 65, 305, 12, WS_BORDER | ES_AUTOHSCROLL | ES_READONLY},
    {IDC_BROWSE, L"Button", L"浏览", 339, 64, 55, 14, BS_DEFPUSHBUTTON},
    {IDC_ENCRYPT, L"Button", L"加密", 8, 142, 38, 16, BS_DEFPUSHBUTTON},
    {IDC_ABOUT, L"Button", L"关于", 353, 142, 41, 16, BS_PUSHBUTTON},
    {IDC_STATIC_TEXT, L"Static", L"文件:", 9, 66, 19, 8, SS_LEFT},
    {IDC_STATIC_TEXT, L"Static", L"加密密码:", 9, 84, 36, 8, SS_LEFT},
    {IDC_PASSWORD, L"Edit", L"", 46, 83, 289, 12, EDIT_PASSWORD},
    {IDC_STATIC_TEXT, L"Static", L"确认密码:", 9, 102, 34, 8, SS_LEFT},
    {IDC_CONFIRM, L"Edit", L"", 46, 101, 289, 12, EDIT_PASSWORD},
    {IDC_PROGRESS, L"msctls_progress32", L"", 46, 124, 347, 11, NO_STYLE},
    {IDC_DECRYPT, L"Button", L"解密", 50, 142, 38, 16, BS_PUSHBUTTON},
    {IDC_SHRED, L"Button", L"粉碎", 92, 142, 38, 16, BS_PUSHBUTTON},
    {IDC_OVERWRITE, L"Button", L"覆盖源文件", 340, 103, 54, 8, BS_AUTOCHECKBOX},
    {IDC_STATIC_TEXT, L"Static", L"", 0, 0, 321, 44, SS_BITMAP, true, 803, 126},
    {IDC_STATUS, L"Static", L"准备就绪…", 9, 125, 34, 8, SS_LEFT},
};
const size_t BANNER_ROW = 13;

TEST_F(MainWindow, MatchesLayoutTable)
{
    app_start(AT, app);
    wchar_t caption[256] = L"";
    GetWindowTextW(app.main, caption, 256);
    EXPECT_EQ(utf8(caption), utf8(MAIN_CAPTION));

    DWORD style = (DWORD)GetWindowLongPtrW(app.main, GWL_STYLE);
    const DWORD wanted = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_CENTER | DS_MODALFRAME;
    EXPECT_EQ(style & wanted, wanted) << std::hex << style;
    EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD), 0u) << std::hex << style;
    EXPECT_TRUE(GetWindowLongPtrW(app.main, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);

    expect_layout(AT, app.main, FONT, 400, 164, ROWS);

    HWND banner = GetWindow(app.main, GW_CHILD);
    for (size_t i = 0; banner && i < BANNER_ROW; i++)
        banner = GetWindow(banner, GW_HWNDNEXT);
    ASSERT_TRUE(banner);
    EXPECT_NE(send(AT, banner, STM_GETIMAGE, IMAGE_BITMAP, 0), 0) << "the banner shows no bitmap";
    EXPECT_EQ(send(AT, item(AT, app, IDC_OVERWRITE), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(bar_position(AT, app), 0);
    expect_idle(AT, app);
}

// Kept as main-window.png in the build folder, with a Chinese file name in the path box.
TEST_F(MainWindow, Picture)
{
    std::wstring file = path(L"示例 文件.txt");
    make_file(AT, file, 7, 19);
    app_start(AT, app, L" \"" + file + L"\"");
    EXPECT_EQ(utf8(text_of(AT, item(AT, app, IDC_PATH))), utf8(file));
    SetForegroundWindow(app.main);
    RedrawWindow(app.main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    send(AT, app.main, WM_NULL, 0, 0);
    // Until every control has painted the window is mostly plain; text, banner and controls make
    // many colours.
    std::wstring picture = windows_path(QVX_ARTIFACTS "/main-window.png");
    size_t colours = 0;
    wait_for(WAIT_MS, [&] { return (colours = save_window_png(app.main, picture)) > 64; });
    EXPECT_GT(colours, 64u) << utf8(picture);
    printf("main window picture: %s, %u colours\n", QVX_ARTIFACTS "/main-window.png", (unsigned)colours);
}

}   // namespace
