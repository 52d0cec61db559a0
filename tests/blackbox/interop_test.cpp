// Containers made by QVX open with the Linux command-line program, and the reverse. Wine starts
// the Linux program itself but hands back no process to wait for; that program's results appear
// only whole, by rename, so their names are waited for instead.
#include "tests/support/files.h"
#include "res/resource.h"

namespace {

const wchar_t PASSWORD[] = L"密码 Secret-7";

std::string unix_path(At at, const std::wstring &path)
{
    typedef char *(CDECL * ToUnix)(const wchar_t *);
    ToUnix to_unix = (ToUnix)(void *)GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
    if (!to_unix)
        stop_at(at, "not running under Wine");
    char *name = to_unix(path.c_str());
    if (!name)
        stop_at(at, "no Unix name for " + utf8(path));
    std::string unix_name = name;
    HeapFree(GetProcessHeap(), 0, name);
    return unix_name;
}

// Runs the Linux qvx with the password in its environment and waits for `result` to appear.
void linux_qvx(At at, const std::string &arguments, const std::wstring &result)
{
    SetEnvironmentVariableW(L"QVX_PASSWORD", PASSWORD);
    start_linux(at, QVX_LINUX_BUILT, arguments);
    SetEnvironmentVariableW(L"QVX_PASSWORD", nullptr);
    if (!wait_for(WAIT_START_MS, [&] { return file_exists(result); }))
        stop_at(at, "no " + utf8(result) + " from qvx " + arguments);
}

using Interop = BlackBox;

TEST_F(Interop, ContainersOpenWithTheLinuxCommandLineProgram)
{
    if (GetFileAttributesW(windows_path(QVX_LINUX_BUILT).c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no Linux qvx at " << QVX_LINUX_BUILT << " (build build/host first)";
    Bytes plain = random_bytes(70001, 41);
    write_file(AT, path(L"gui.bin"), plain);
    write_file(AT, path(L"cli.bin"), plain);
    app_start(AT, app);

    choose(AT, app, path(L"gui.bin"), PASSWORD, PASSWORD, false);
    run_command(AT, app, IDC_ENCRYPT, TEXT_DONE);
    linux_qvx(AT, "decrypt -q -o " + unix_path(AT, path(L"from-gui.bin")) + " " + unix_path(AT, path(L"gui.bin.QVX")),
              path(L"from-gui.bin"));
    expect_file(AT, path(L"from-gui.bin"), plain);

    linux_qvx(AT, "encrypt -q " + unix_path(AT, path(L"cli.bin")), path(L"cli.bin.QVX"));
    expect_container_of(AT, read_file(AT, path(L"cli.bin.QVX")), plain, PASSWORD);
    choose(AT, app, path(L"cli.bin.QVX"), PASSWORD, L"", false);
    run_command(AT, app, IDC_DECRYPT, TEXT_DONE);
    expect_file(AT, path(L"cli.bin.QVX.QVX"), plain);
}

}  // namespace
