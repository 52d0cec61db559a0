// Drives qvx.exe where a script cannot: on a console of its own (which under Wine needs a
// display), interrupted by Ctrl+C as soon as its temporary file appears or its prompt has turned
// echo off, or with an environment that a Unix parent cannot give (an unpaired surrogate).
//   console_helper interrupt FOLDER PROGRAM ARGS...
//   console_helper prompt PROGRAM ARGS...
//   console_helper surrogate PROGRAM ARGS...
//   console_helper type LINE LINE -- PROGRAM ARGS...     (the lines typed on its console first)
// Prints what it saw ("interrupted", "echo on"/"echo off") and ends with the program's status.
#include <windows.h>

#include <stdio.h>

#include <string>

enum { WAIT_MS = 60000, POLL_MS = 5 };

static BOOL WINAPI ignore_event(DWORD) { return TRUE; }

static std::wstring command_line(int first, int argc, wchar_t **argv)
{
    std::wstring line;
    for (int i = first; i < argc; i++)
        line += (i > first ? L" \"" : L"\"") + std::wstring(argv[i]) + L"\"";
    return line;
}

// The program's output goes where this one's went, its input stays the console.
static HANDLE given_out, given_err;

static HANDLE start(int first, int argc, wchar_t **argv, DWORD flags)
{
    std::wstring line = command_line(first, argc, argv);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = given_out;
    startup.hStdError = given_err;
    PROCESS_INFORMATION process;
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, flags, nullptr, nullptr, &startup, &process)) {
        fprintf(stderr, "cannot start the program: %lu\n", GetLastError());
        ExitProcess(99);
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

static bool temp_file_in(const std::wstring &folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\.qvx-tmp-*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}

static bool echo_is_on(void)
{
    HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    DWORD mode = ENABLE_ECHO_INPUT;
    GetConsoleMode(in, &mode);
    CloseHandle(in);
    return mode & ENABLE_ECHO_INPUT;
}

// Waits, bounded, until ready() or the program ends; true when ready.
static bool wait_until(bool (*ready)(const std::wstring &), const std::wstring &folder, HANDLE process)
{
    for (int waited = 0; waited < WAIT_MS; waited += POLL_MS) {
        if (ready(folder))
            return true;
        if (WaitForSingleObject(process, POLL_MS) == WAIT_OBJECT_0)
            return false;
    }
    return false;
}

static int finish(HANDLE process)
{
    if (WaitForSingleObject(process, WAIT_MS) != WAIT_OBJECT_0) {
        TerminateProcess(process, 98);
        WaitForSingleObject(process, WAIT_MS);
    }
    DWORD status = 97;
    GetExitCodeProcess(process, &status);
    CloseHandle(process);
    fflush(stdout);
    return (int)status;
}

static int interrupt(int argc, wchar_t **argv)
{
    HANDLE process = start(3, argc, argv, 0);
    // To every process of the console, this one too, which takes no notice.
    if (wait_until([](const std::wstring &f) { return temp_file_in(f); }, argv[2], process)) {
        GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        printf("interrupted\n");
    }
    return finish(process);
}

static int prompt(int argc, wchar_t **argv)
{
    HANDLE process = start(2, argc, argv, 0);
    if (wait_until([](const std::wstring &) { return !echo_is_on(); }, L"", process)) {
        GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        printf("interrupted\n");
    }
    int status = finish(process);
    printf(echo_is_on() ? "echo on\n" : "echo off\n");
    return status;
}

// Key presses in the console's input, read by the program's next ReadConsole.
static void type_line(const wchar_t *line)
{
    std::wstring keys = std::wstring(line) + L"\r";
    for (wchar_t c : keys) {
        INPUT_RECORD press[2] = {};
        for (int down = 0; down < 2; down++) {
            press[down].EventType = KEY_EVENT;
            press[down].Event.KeyEvent.bKeyDown = down == 0;
            press[down].Event.KeyEvent.wRepeatCount = 1;
            press[down].Event.KeyEvent.wVirtualKeyCode = c == L'\r' ? VK_RETURN : 0;
            press[down].Event.KeyEvent.uChar.UnicodeChar = c;
        }
        DWORD written;
        WriteConsoleInputW(GetStdHandle(STD_INPUT_HANDLE), press, 2, &written);
    }
}

int wmain(int argc, wchar_t **argv)
{
    // A console of its own, shared with the program, whatever this was started from.
    HANDLE self = GetCurrentProcess();
    DuplicateHandle(self, GetStdHandle(STD_OUTPUT_HANDLE), self, &given_out, 0, TRUE, DUPLICATE_SAME_ACCESS);
    DuplicateHandle(self, GetStdHandle(STD_ERROR_HANDLE), self, &given_err, 0, TRUE, DUPLICATE_SAME_ACCESS);
    FreeConsole();
    if (!AllocConsole()) {
        fprintf(stderr, "no console: %lu\n", GetLastError());
        return 99;
    }
    SetConsoleCtrlHandler(ignore_event, TRUE);
    if (argc >= 4 && wcscmp(argv[1], L"interrupt") == 0)
        return interrupt(argc, argv);
    if (argc >= 3 && wcscmp(argv[1], L"prompt") == 0)
        return prompt(argc, argv);
    if (argc >= 3 && wcscmp(argv[1], L"type") == 0) {
        int program = 2;
        for (; program < argc && wcscmp(argv[program], L"--") != 0; program++)
            type_line(argv[program]);
        return finish(start(program + 1, argc, argv, 0));
    }
    if (argc >= 3 && wcscmp(argv[1], L"surrogate") == 0) {
        SetEnvironmentVariableW(L"QVX_PASSWORD", L"ab\xD800");
        return finish(start(2, argc, argv, 0));
    }
    fprintf(stderr, "usage: console_helper interrupt FOLDER PROGRAM ARGS... | prompt|surrogate PROGRAM ARGS...\n"
                    "       console_helper type LINE... -- PROGRAM ARGS...\n");
    return 99;
}
