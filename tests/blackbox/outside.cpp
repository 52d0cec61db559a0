#include "tests/blackbox/outside.h"

#include "tests/support/files.h"

// Wine gives a test no handle to a Linux process, so the script's status comes in a file.
int outside_wine(At at, const std::string &arguments)
{
    static unsigned serial;
    std::string status_file = "/tmp/qvx-outside-" + std::to_string(GetCurrentProcessId()) + "-" +
                              std::to_string(serial++) + ".status";
    std::wstring status_path = windows_path(status_file);
    DeleteFileW(status_path.c_str());
    start_linux(at, "/bin/sh", std::string(QVX_OUTSIDE_WINE) + " " + status_file + " " + arguments);
    // Filling a disk takes as long as the disk is large, several seconds on an emulated processor.
    if (!wait_for(WAIT_BIG_MS, [&] { return file_exists(status_path); }))
        stop_at(at, "outside_wine.sh " + arguments + " did not finish");
    Bytes status = read_file(at, status_path);
    DeleteFileW(status_path.c_str());
    return atoi(std::string(status.begin(), status.end()).c_str());
}

std::string unix_path(const std::wstring &windows)
{
    std::string path = utf8(windows.compare(0, 2, L"Z:") == 0 ? windows.substr(2) : windows);
    for (char &c : path)
        c = c == '\\' ? '/' : c;
    return path;
}
