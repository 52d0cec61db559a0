// The three ways a file is chosen: the command line, a drop, and the open-file dialog (also
// reached with Escape).
#include <windows.h>
#include <shlobj.h>
#include <dlgs.h>

#include <vector>

#include "tests/support/files.h"

namespace {

using FileChoice = BlackBox;

const wchar_t PASSWORD[] = L"pick";

TEST_F(FileChoice, CommandLineArgumentFillsThePathBox)
{
    std::wstring spaced = path(L"示例 文件.txt");
    Bytes plain = make_file(AT, spaced, 77, 13);

    app_start(AT, app, L" \"" + spaced + L"\"");
    EXPECT_EQ(utf8(text_of(AT, item(AT, app, IDC_PATH))), utf8(spaced));
    run_command(AT, app, {spaced, PASSWORD, PASSWORD, false}, IDC_ENCRYPT, TEXT_DONE);
    expect_container_of(AT, read_file(AT, spaced + L".QVX"), plain, PASSWORD);
    app_end(app);

    // Unquoted, the whole rest of the line is the path, spaces included.
    app_start(AT, app, L" " + spaced);
    EXPECT_EQ(utf8(text_of(AT, item(AT, app, IDC_PATH))), utf8(spaced));
    app_end(app);

    // A second space stays in front of the path, which then names nothing.
    app_start(AT, app, L"  " + spaced);
    EXPECT_EQ(utf8(text_of(AT, item(AT, app, IDC_PATH))), utf8(L" " + spaced));
    set_text(AT, item(AT, app, IDC_PASSWORD), PASSWORD);
    set_text(AT, item(AT, app, IDC_CONFIRM), PASSWORD);
    run_command(AT, app, IDC_ENCRYPT, TEXT_CANNOT_OPEN);
}

// Posts WM_DROPFILES with a DROPFILES block written into the program's memory.
void drop(At at, const App &app, const std::vector<std::wstring> &paths)
{
    std::vector<BYTE> block(sizeof(DROPFILES));
    DROPFILES *head = (DROPFILES *)block.data();
    head->pFiles = sizeof(DROPFILES);
    head->fWide = TRUE;
    for (const std::wstring &p : paths)
        block.insert(block.end(), (const BYTE *)p.c_str(), (const BYTE *)(p.c_str() + p.size() + 1));
    block.insert(block.end(), 2, 0);
    void *remote = VirtualAllocEx(app.process.hProcess, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE,
                                  PAGE_READWRITE);
    if (!remote)
        stop_at(at, "VirtualAllocEx failed");
    SIZE_T written = 0;
    if (!WriteProcessMemory(app.process.hProcess, remote, block.data(), block.size(), &written) ||
        written != block.size())
        stop_at(at, "WriteProcessMemory failed");
    if (!PostMessageW(app.main, WM_DROPFILES, (WPARAM)remote, 0))
        stop_at(at, "cannot post WM_DROPFILES");
}

void wait_path_shown(At at, const App &app, const std::wstring &expected)
{
    DWORD exit_code = 0;
    bool ended = false;
    wait_for(WAIT_MS, [&] {
        ended = app_wait_exit(app, 0, &exit_code);
        return ended || find_other_dialog(app) || text_of(at, item(at, app, IDC_PATH)) == expected;
    });
    if (ended)
        stop_at(at, "the program ended, status " + std::to_string(exit_code) + ", instead of showing \"" +
                        utf8(expected) + "\"");
    if (text_of(at, item(at, app, IDC_PATH)) != expected)
        stop_at(at, "the path box shows \"" + utf8(text_of(at, item(at, app, IDC_PATH))) + "\", not \"" +
                        utf8(expected) + "\"" + other_dialog_note(app));
}

TEST_F(FileChoice, DroppedFilesShowOnlyTheFirst)
{
    std::wstring first = path(L"first 一.txt"), second = path(L"second.txt"), third = path(L"third.txt");
    Bytes plain = random_bytes(5, 14);
    for (const std::wstring &p : {first, second, third})
        write_file(AT, p, plain);
    app_start(AT, app);
    drop(AT, app, {first, second, third});
    wait_path_shown(AT, app, first);

    set_text(AT, item(AT, app, IDC_PASSWORD), PASSWORD);
    set_text(AT, item(AT, app, IDC_CONFIRM), PASSWORD);
    run_command(AT, app, IDC_ENCRYPT, TEXT_DONE);
    expect_container_of(AT, read_file(AT, first + L".QVX"), plain, PASSWORD);
    EXPECT_FALSE(file_exists(second + L".QVX"));
    EXPECT_FALSE(file_exists(third + L".QVX"));

    // A folder is taken like a file, and then fails to open.
    drop(AT, app, {folder});
    wait_path_shown(AT, app, folder);
    run_command(AT, app, IDC_ENCRYPT, TEXT_CANNOT_OPEN);
}

// The dialog's file-name box: a combo box in the newer dialogs, an edit box in the older.
HWND file_name_box(HWND dialog)
{
    HWND box = GetDlgItem(dialog, cmb13);
    return box ? box : GetDlgItem(dialog, edt1);
}

// Shown, with its controls, and the program waiting for input, before anything is typed.
HWND wait_open_dialog(At at, const App &app)
{
    HWND dialog = nullptr;
    if (!wait_for(WAIT_START_MS, [&] {
            dialog = find_other_dialog(app);
            return dialog && file_name_box(dialog) && GetDlgItem(dialog, IDOK);
        }))
        stop_at(at, "no open-file dialog appeared");
    WaitForInputIdle(app.process.hProcess, WAIT_MS);
    return dialog;
}

void close_dialog(At at, HWND dialog, int button)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(dialog, button));
    if (!wait_for(WAIT_MS, [&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }))
        stop_at(at, "the open-file dialog stayed open");
}

// Escape is the dialog manager's cancel command, whose id is the Browse button's.
void press_escape(At at, const App &app)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    HWND target = item(at, app, IDC_PASSWORD);
    if (GetGUIThreadInfo(GetWindowThreadProcessId(app.main, nullptr), &info) && info.hwndFocus &&
        IsChild(app.main, info.hwndFocus))
        target = info.hwndFocus;
    if (!PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 1) || !PostMessageW(target, WM_KEYUP, VK_ESCAPE, 0xC0000001))
        stop_at(at, "cannot post Escape");
}

TEST_F(FileChoice, EscapeAndBrowseOpenTheFileDialog)
{
    std::wstring current = path(L"当前 file.txt"), other = path(L"other file.txt");
    make_file(AT, current, 3, 15);
    make_file(AT, other, 3, 16);
    app_start(AT, app, L" \"" + current + L"\"");

    press_escape(AT, app);
    HWND dialog = wait_open_dialog(AT, app);
    std::wstring proposed = text_of(AT, file_name_box(dialog));
    const std::wstring name = L"当前 file.txt";
    EXPECT_TRUE(proposed.size() >= name.size() && proposed.compare(proposed.size() - name.size(), name.size(), name) == 0)
        << "the dialog proposes \"" << utf8(proposed) << "\"";
    close_dialog(AT, dialog, IDCANCEL);
    std::set<DWORD> before = threads_of(app.process.dwProcessId);   // the dialog's own threads among them
    EXPECT_TRUE(IsWindowVisible(app.main)) << "Escape closed the main window";
    EXPECT_EQ(utf8(text_of(AT, item(AT, app, IDC_PATH))), utf8(current)) << "a cancelled dialog changed the path";
    expect_nothing_started(AT, app, before);

    click(AT, app, IDC_BROWSE);
    dialog = wait_open_dialog(AT, app);
    set_text(AT, file_name_box(dialog), other);
    close_dialog(AT, dialog, IDOK);
    wait_path_shown(AT, app, other);
    DWORD exit_code;
    EXPECT_FALSE(app_wait_exit(app, 0, &exit_code));
}

}   // namespace
