// The main window as a user first sees it: its caption and frame, every text whole, every control
// inside the window and clear of the others with the banner above them all, and a picture of it.
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "tests/support/files.h"
#include "tests/support/layout.h"
#include "tests/support/shot.h"

namespace {

using MainWindow = BlackBox;

// The texts a user reads in the window, each on one control.
const wchar_t *const TEXTS[] = {L"文件:", L"加密密码:", L"确认密码:", L"浏览", L"加密", L"解密",
                                L"粉碎", L"关于", L"覆盖源文件", L"准备就绪…"};

HWND banner_of(const std::vector<HWND> &controls)
{
    for (HWND control : controls)
        if ((GetWindowLongPtrW(control, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP)
            return control;
    return nullptr;
}

const DialogFont FONT = {L"微软雅黑", 10};

TEST_F(MainWindow, ShowsEveryControlWhole)
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

    std::vector<HWND> controls = controls_of(app.main);
    HWND banner = banner_of(controls);
    ASSERT_TRUE(banner) << "no banner";
    EXPECT_NE(send(AT, banner, STM_GETIMAGE, IMAGE_BITMAP, 0), 0) << "the banner shows no picture";
    expect_laid_out(AT, app.main, FONT);
    RECT banner_place = place_of(app.main, banner);
    for (HWND control : controls)
        if (control != banner && place_of(app.main, control).top < banner_place.bottom)
            fail_at(AT, "\"" + utf8(text_of(AT, control)) + "\" lies beside or under the banner, which ends at " +
                            std::to_string(banner_place.bottom));
    for (const wchar_t *text : TEXTS)
        control_showing(AT, app.main, text);
    for (const wchar_t *status : {TEXT_READY, TEXT_READING, TEXT_COMPUTING, TEXT_WRITING})
        expect_fits(AT, item(AT, app, IDC_STATUS), FONT, status);
    EXPECT_EQ(send(AT, item(AT, app, IDC_OVERWRITE), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    expect_idle(AT, app);
}

// Kept as main-window.png in the build folder, with a Chinese file name in the path box. The
// banner's picture fills its place, and the status line shows its text.
TEST_F(MainWindow, Picture)
{
    std::wstring file = path(L"示例 文件.txt");
    make_file(AT, file, 7, 19);
    app_start(AT, app, L" \"" + file + L"\"");
    EXPECT_EQ(utf8(text_of(AT, item(AT, app, IDC_PATH))), utf8(file));
    paint_in_front(app.main);
    // Until every control has painted the window is mostly plain; text, banner and controls make
    // many colours.
    std::wstring picture = windows_path(QVX_ARTIFACTS "/main-window.png");
    size_t colours = 0;
    wait_for(WAIT_MS, [&] { return (colours = save_window_png(app.main, picture)) > 64; });
    EXPECT_GT(colours, 64u) << utf8(picture);
    printf("main window picture: %s, %u colours\n", QVX_ARTIFACTS "/main-window.png", (unsigned)colours);

    RECT banner = place_of(app.main, banner_of(controls_of(app.main)));
    RECT right_half = {(banner.left + banner.right) / 2, banner.top, banner.right, banner.bottom};
    EXPECT_GT(colours_in(app.main, right_half), 64u) << "the banner's picture does not fill its place";
    EXPECT_GT(colours_in(app.main, place_of(app.main, item(AT, app, IDC_STATUS))), 2u) << "the status line shows no text";
}

}   // namespace
