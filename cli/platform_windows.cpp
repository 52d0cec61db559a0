// The command-line program's system calls in the Windows console, through kernel32 (the console
// and positioned reads and writes have no place in the GUI program's native layer).
#include "cli/platform.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "cli/text.h"
#include "core/container.h"

int qvx_main(int argc, char **argv);

static std::string to_utf8(const wchar_t *text, int units)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? (size_t)bytes : 0, '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, units, &out[0], bytes, nullptr, nullptr);
    return out;
}

static std::wstring to_wide(const char *text)
{
    int units = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(units > 0 ? (size_t)units : 1, L'\0');
    if (units > 0)
        MultiByteToWideChar(CP_UTF8, 0, text, -1, &out[0], units);
    out.resize(out.size() - 1);
    return out;
}

int wmain(int argc, wchar_t **wargv)
{
    std::vector<std::string> args;
    for (int i = 0; i < argc; i++)
        args.push_back(to_utf8(wargv[i], -1).c_str());
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    return qvx_main(argc, argv.data());
}

static char reason_text[64];
static const char *reason = "";

const char *platform_reason(void) { return reason; }

// A few words for the failures a user can act on; the number for the rest.
static bool fail_last_error(void)
{
    static const struct { DWORD code; const char *text; } known[] = {
        {ERROR_FILE_NOT_FOUND, "no such file"},        {ERROR_PATH_NOT_FOUND, "no such folder"},
        {ERROR_ACCESS_DENIED, "access denied"},        {ERROR_SHARING_VIOLATION, "in use by another program"},
        {ERROR_FILE_EXISTS, "already exists"},         {ERROR_ALREADY_EXISTS, "already exists"},
        {ERROR_DISK_FULL, "disk full"},                {ERROR_HANDLE_DISK_FULL, "disk full"},
        {ERROR_WRITE_PROTECT, "write-protected"},      {ERROR_FILENAME_EXCED_RANGE, "name too long"},
    };
    DWORD code = GetLastError();
    for (const auto &k : known)
        if (k.code == code) {
            reason = k.text;
            return false;
        }
    snprintf(reason_text, sizeof reason_text, "system error %lu", (unsigned long)code);
    reason = reason_text;
    return false;
}

static bool fail_with(const char *text)
{
    reason = text;
    return false;
}

static FileKind kind_of(DWORD attributes)
{
    return attributes & FILE_ATTRIBUTE_REPARSE_POINT ? KIND_LINK
         : attributes & FILE_ATTRIBUTE_DIRECTORY ? KIND_FOLDER
         : attributes & FILE_ATTRIBUTE_DEVICE ? KIND_OTHER : KIND_PLAIN;
}

bool path_facts(const char *path, FileFacts *facts)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    std::wstring wide = to_wide(path);
    memset(facts, 0, sizeof *facts);
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
            facts->kind = KIND_MISSING;
            return true;
        }
        // Device names such as NUL have no attributes to give.
        facts->kind = KIND_OTHER;
        return true;
    }
    facts->kind = kind_of(data.dwFileAttributes);
    facts->size = (uint64_t)data.nFileSizeHigh << 32 | data.nFileSizeLow;
    facts->links = 1;
    return true;
}

bool file_open_existing(const char *path, bool write, PlatformFile *file, FileFacts *facts)
{
    DWORD access = GENERIC_READ | (write ? GENERIC_WRITE : 0);
    HANDLE h = CreateFileW(to_wide(path).c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return fail_last_error();
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info)) {
        CloseHandle(h);
        return fail_with("not a plain file");
    }
    facts->kind = kind_of(info.dwFileAttributes);
    facts->size = (uint64_t)info.nFileSizeHigh << 32 | info.nFileSizeLow;
    facts->links = info.nNumberOfLinks;
    facts->mode = 0;
    if (facts->kind != KIND_PLAIN) {
        CloseHandle(h);
        return fail_with("not a plain file");
    }
    *file = (PlatformFile)h;
    return true;
}

bool file_create_temp(const char *folder, char *name, size_t name_size, PlatformFile *file)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    uint32_t state = read_stamp() ^ GetCurrentProcessId() << 16;
    for (int attempt = 0; attempt < 100; attempt++) {
        char suffix[7];
        for (int i = 0; i < 6; i++) {
            state = state * 1103515245u + 12345u;
            suffix[i] = letters[(state >> 16) % (sizeof letters - 1)];
        }
        suffix[6] = 0;
        if ((size_t)snprintf(name, name_size, "%s" TEMP_PREFIX "%s", folder, suffix) >= name_size)
            return fail_with("name too long");
        HANDLE h = CreateFileW(to_wide(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            *file = (PlatformFile)h;
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            return fail_last_error();
    }
    return fail_with("no free temporary name");
}

// Calls move at most this much, so a count always fits a DWORD.
static const DWORD IO_STEP = 1 << 24;

static OVERLAPPED at_offset(uint64_t offset)
{
    OVERLAPPED where;
    memset(&where, 0, sizeof where);
    where.Offset = (DWORD)offset;
    where.OffsetHigh = (DWORD)(offset >> 32);
    return where;
}

bool file_read_at(PlatformFile file, void *buffer, size_t count, uint64_t offset)
{
    for (size_t done = 0; done < count;) {
        DWORD step = count - done < IO_STEP ? (DWORD)(count - done) : IO_STEP, got = 0;
        OVERLAPPED where = at_offset(offset + done);
        if (!ReadFile((HANDLE)file, (char *)buffer + done, step, &got, &where))
            return fail_last_error();
        if (got == 0)
            return fail_with("the file became shorter while it was read");
        done += got;
    }
    return true;
}

bool file_write_at(PlatformFile file, const void *buffer, size_t count, uint64_t offset)
{
    for (size_t done = 0; done < count;) {
        DWORD step = count - done < IO_STEP ? (DWORD)(count - done) : IO_STEP, put = 0;
        OVERLAPPED where = at_offset(offset + done);
        if (!WriteFile((HANDLE)file, (const char *)buffer + done, step, &put, &where))
            return fail_last_error();
        done += put;
    }
    return true;
}

bool file_set_size(PlatformFile file, uint64_t size)
{
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)size;
    return (SetFilePointerEx((HANDLE)file, at, nullptr, FILE_BEGIN) && SetEndOfFile((HANDLE)file))
        || fail_last_error();
}

bool file_copy_mode(PlatformFile, const FileFacts *) { return true; }

bool file_flush(PlatformFile file) { return FlushFileBuffers((HANDLE)file) || fail_last_error(); }

void file_close(PlatformFile file) { CloseHandle((HANDLE)file); }

bool path_rename(const char *from, const char *to, bool replace)
{
    DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    return MoveFileExW(to_wide(from).c_str(), to_wide(to).c_str(), flags) || fail_last_error();
}

bool path_delete(const char *path) { return DeleteFileW(to_wide(path).c_str()) || fail_last_error(); }

// One line from the console, echoed or not, as UTF-8; false without a console.
static bool console_line(const char *prompt, bool echo, char *line, size_t size)
{
    HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD mode;
    if (in == INVALID_HANDLE_VALUE)
        return fail_with("no console to ask");
    if (!GetConsoleMode(in, &mode)) {
        CloseHandle(in);
        return fail_with("no console to ask");
    }
    print_error(prompt);
    DWORD asked = (mode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~(echo ? 0 : ENABLE_ECHO_INPUT);
    SetConsoleMode(in, asked);
    wchar_t wide[1024];
    DWORD got = 0;
    bool read = ReadConsoleW(in, wide, 1023, &got, nullptr) != 0;
    SetConsoleMode(in, mode);
    CloseHandle(in);
    if (!echo)
        print_error("\n");
    while (got > 0 && (wide[got - 1] == L'\n' || wide[got - 1] == L'\r'))
        got--;
    std::string text = read ? to_utf8(wide, (int)got) : std::string();
    SecureZeroMemory(wide, sizeof wide);
    snprintf(line, size, "%s", text.c_str());
    std::fill(text.begin(), text.end(), '\0');
    return read || fail_with("the console gave no line");
}

int terminal_password(const char *prompt, char16_t *password, size_t units)
{
    char line[4096];
    if (!console_line(prompt, false, line, sizeof line))
        return 0;
    bool valid = utf8_to_utf16(line, strlen(line), password, units);
    SecureZeroMemory(line, sizeof line);
    return valid ? 1 : -1;
}

bool terminal_confirm(const char *question)
{
    char line[16];
    return console_line(question, true, line, sizeof line) && (line[0] == 'y' || line[0] == 'Y');
}

bool error_is_terminal(void)
{
    DWORD mode;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

int environment_password(const char *name, char16_t *password, size_t units)
{
    wchar_t value[1024];
    SetLastError(0);
    DWORD got = GetEnvironmentVariableW(to_wide(name).c_str(), value, 1024);
    if (got == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND)
        return 0;
    if (got >= 1024)
        got = 1023;
    size_t used = got < units ? got : units - 1;
    for (size_t i = 0; i < used; i++)
        password[i] = (char16_t)value[i];
    password[used] = 0;
    SecureZeroMemory(value, sizeof value);
    return 1;
}

// Console text goes out as UTF-16; redirected text as UTF-8 bytes.
static void print_to(DWORD which, const char *text)
{
    HANDLE h = GetStdHandle(which);
    DWORD mode, done;
    if (GetConsoleMode(h, &mode)) {
        std::wstring wide = to_wide(text);
        WriteConsoleW(h, wide.c_str(), (DWORD)wide.size(), &done, nullptr);
    } else {
        WriteFile(h, text, (DWORD)strlen(text), &done, nullptr);
    }
}

void print_out(const char *text) { print_to(STD_OUTPUT_HANDLE, text); }
void print_error(const char *text) { print_to(STD_ERROR_HANDLE, text); }

// GetTickCount wraps after 49 days; the wraps are counted here (GetTickCount64 is newer than XP).
uint64_t clock_ms(void)
{
    static uint32_t last, wraps;
    uint32_t now = GetTickCount();
    if (now < last)
        wraps++;
    last = now;
    return (uint64_t)wraps << 32 | now;
}

#if defined(__i386__)
// The C++ runtime's thread library asks for GetTickCount64, which Windows XP lacks; its import
// is answered here, with the system's own function where there is one.
static ULONGLONG WINAPI tick_count_64(void)
{
    typedef ULONGLONG(WINAPI * TickCount64)(void);
    static TickCount64 system_call = (TickCount64)(void *)GetProcAddress(GetModuleHandleW(L"kernel32.dll"),
                                                                         "GetTickCount64");
    return system_call ? system_call() : clock_ms();
}
extern "C" {
ULONGLONG(WINAPI *tick_count_64_import)(void) __asm__("__imp__GetTickCount64@0") = tick_count_64;
}
#endif
