// The command-line program's system calls in the Windows console, through kernel32 (the console
// and positioned reads and writes have no place in the GUI program's native layer).
#include "cli/platform.h"

#include <windows.h>
#include <winternl.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "cli/text.h"
#include "core/container.h"
#include "core/wipe.h"

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

static std::wstring full_path(const std::wstring &path)
{
    DWORD units = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(units, L'\0');
    if (units == 0 || GetFullPathNameW(path.c_str(), units, &full[0], nullptr) >= units)
        return path;
    full.resize(units - 1);
    return full;
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

// The temporary file being written and the console whose echo a prompt turned off, so that Ctrl+C,
// Ctrl+Break or a closed console takes the one away and turns the other on again. The handler
// runs on a thread of its own; the lock keeps it from meeting a rename or a close half done.
static CRITICAL_SECTION interruption_lock;
static HANDLE temp_handle = INVALID_HANDLE_VALUE;
static std::wstring temp_name;            // until renamed or deleted, also once closed
static HANDLE echo_console = INVALID_HANDLE_VALUE;
static DWORD echo_mode;

static bool mark_delete_on_close(HANDLE file)
{
    FILE_DISPOSITION_INFORMATION disposition = {TRUE};
    IO_STATUS_BLOCK io;
    return NtSetInformationFile(file, &io, &disposition, sizeof disposition, FileDispositionInformation) == 0;
}

static BOOL WINAPI interrupted(DWORD)
{
    // Never left: the process ends here, and the main thread waits at its next rename or close.
    EnterCriticalSection(&interruption_lock);
    if (temp_handle != INVALID_HANDLE_VALUE)
        mark_delete_on_close(temp_handle);
    else if (!temp_name.empty())
        DeleteFileW(temp_name.c_str());
    if (echo_console != INVALID_HANDLE_VALUE)
        SetConsoleMode(echo_console, echo_mode);
    ExitProcess(STATUS_CONTROL_C_EXIT);
    return TRUE;
}

static void forget_temp(const std::wstring &name)
{
    if (name == temp_name)
        temp_name.clear();
}

// Name surrogates are the reparse points that lead elsewhere (symbolic links, junctions); the
// others keep a plain file's data behind a filter.
static FileKind kind_of(HANDLE h, const BY_HANDLE_FILE_INFORMATION *info)
{
    if (info->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        FILE_ATTRIBUTE_TAG_INFORMATION tag = {};
        IO_STATUS_BLOCK io;
        if (NtQueryInformationFile(h, &io, &tag, sizeof tag, FileAttributeTagInformation) != 0
            || IsReparseTagNameSurrogate(tag.ReparseTag))
            return KIND_LINK;
    }
    return info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? KIND_FOLDER : KIND_PLAIN;
}

// The facts of an open handle; false (with the reason) when the system gives none.
static bool handle_facts(HANDLE h, FileFacts *facts, BY_HANDLE_FILE_INFORMATION *info)
{
    memset(facts, 0, sizeof *facts);
    if (GetFileType(h) != FILE_TYPE_DISK) {
        facts->kind = KIND_DEVICE;
        return true;
    }
    if (!GetFileInformationByHandle(h, info))
        return fail_last_error();
    facts->kind = kind_of(h, info);
    facts->size = (uint64_t)info->nFileSizeHigh << 32 | info->nFileSizeLow;
    facts->links = info->nNumberOfLinks;
    return true;
}

// The name itself, a reparse point not followed; folders and devices open too, to be named.
static HANDLE open_name(const std::wstring &wide, DWORD access, DWORD share)
{
    return CreateFileW(wide.c_str(), access, share, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool path_facts(const char *path, FileFacts *facts)
{
    std::wstring wide = to_wide(path);
    memset(facts, 0, sizeof *facts);
    // Reserved names (CON, NUL, COM1) and \\.\ paths are devices, whether they open or not.
    if (full_path(wide).compare(0, 4, L"\\\\.\\") == 0) {
        facts->kind = KIND_DEVICE;
        return true;
    }
    HANDLE h = open_name(wide, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
            return true;
        return fail_last_error();
    }
    BY_HANDLE_FILE_INFORMATION info;
    bool ok = handle_facts(h, facts, &info);
    CloseHandle(h);
    return ok;
}

static const char *const KIND_REASONS[] = {"no such file", "", "a folder, not a plain file",
                                           "a symbolic link, not a plain file", "a device, not a plain file"};

static bool same_file(const BY_HANDLE_FILE_INFORMATION *a, const BY_HANDLE_FILE_INFORMATION *b)
{
    return a->dwVolumeSerialNumber == b->dwVolumeSerialNumber && a->nFileIndexHigh == b->nFileIndexHigh
        && a->nFileIndexLow == b->nFileIndexLow;
}

// Opened first as the name itself, to see what it is; a plain file behind a reparse point of
// another kind is opened again through it to reach its data, and must be the same file.
bool file_open_existing(const char *path, OpenMode mode, PlatformFile *file, FileFacts *facts)
{
    static const DWORD ACCESS[] = {GENERIC_READ, GENERIC_READ | GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE | DELETE};
    std::wstring wide = to_wide(path);
    HANDLE h = open_name(wide, ACCESS[mode], FILE_SHARE_READ);
    if (h == INVALID_HANDLE_VALUE)
        return fail_last_error();
    BY_HANDLE_FILE_INFORMATION info, again;
    bool ok = handle_facts(h, facts, &info) && (facts->kind == KIND_PLAIN || fail_with(KIND_REASONS[facts->kind]));
    if (ok && info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        CloseHandle(h);
        h = CreateFileW(wide.c_str(), ACCESS[mode], FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return fail_last_error();
        ok = (GetFileInformationByHandle(h, &again) || fail_last_error())
          && (same_file(&info, &again) || fail_with("it changed while it was opened"));
    }
    if (!ok) {
        CloseHandle(h);
        return false;
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
        std::wstring wide = to_wide(name);
        EnterCriticalSection(&interruption_lock);
        // DELETE, so that an interruption can have it removed while it is still open.
        HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD code = GetLastError();
        if (h != INVALID_HANDLE_VALUE) {
            temp_handle = h;
            temp_name = wide;
        }
        LeaveCriticalSection(&interruption_lock);
        if (h != INVALID_HANDLE_VALUE) {
            *file = (PlatformFile)h;
            return true;
        }
        SetLastError(code);
        if (code != ERROR_FILE_EXISTS)
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
        if (put == 0)
            return fail_with("the system wrote nothing");
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

// The replace call keeps the replaced file's security, attributes and streams; the attributes
// are given here as well, for systems whose replace is only a move (Wine's).
bool file_inherit(PlatformFile file, const char *replaced, const FileFacts *)
{
    static const DWORD KEPT = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE
                            | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    DWORD attributes = GetFileAttributesW(to_wide(replaced).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    FILE_BASIC_INFORMATION basic = {};
    IO_STATUS_BLOCK io;
    basic.FileAttributes = (attributes & KEPT) | FILE_ATTRIBUTE_NORMAL * !(attributes & KEPT);
    return NtSetInformationFile((HANDLE)file, &io, &basic, sizeof basic, FileBasicInformation) == 0
        || fail_with("cannot set its attributes");
}

bool file_flush(PlatformFile file) { return FlushFileBuffers((HANDLE)file) || fail_last_error(); }

void file_close(PlatformFile file)
{
    EnterCriticalSection(&interruption_lock);
    if ((HANDLE)file == temp_handle)
        temp_handle = INVALID_HANDLE_VALUE;
    CloseHandle((HANDLE)file);
    LeaveCriticalSection(&interruption_lock);
}

// Opened without sharing deletion, the file keeps its name until it is closed.
bool file_delete_open(PlatformFile file, const char *)
{
    bool ok = mark_delete_on_close((HANDLE)file) || fail_with("cannot mark it for deletion");
    file_close(file);
    return ok;
}

static bool move_or_replace(const std::wstring &from, const std::wstring &to, bool replace)
{
    // Whole paths: Wine's replace fails on names without a folder.
    if (replace && ReplaceFileW(full_path(to).c_str(), full_path(from).c_str(), nullptr,
                                REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return true;
    // Nothing there yet to replace (or no replacing asked for): an ordinary move.
    if (replace && GetLastError() != ERROR_FILE_NOT_FOUND)
        return fail_last_error();
    DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    return MoveFileExW(from.c_str(), to.c_str(), flags) || fail_last_error();
}

bool path_rename(const char *from, const char *to, bool replace)
{
    std::wstring wide = to_wide(from);
    EnterCriticalSection(&interruption_lock);
    bool ok = move_or_replace(wide, to_wide(to), replace);
    if (ok)
        forget_temp(wide);
    LeaveCriticalSection(&interruption_lock);
    return ok;
}

// Moves are written through; there is no folder of its own to flush.
bool folder_flush(const char *) { return true; }

bool path_delete(const char *path)
{
    std::wstring wide = to_wide(path);
    EnterCriticalSection(&interruption_lock);
    bool ok = DeleteFileW(wide.c_str()) || fail_last_error();
    forget_temp(wide);
    LeaveCriticalSection(&interruption_lock);
    return ok;
}

static HANDLE open_console(const wchar_t *name)
{
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

static void console_write(HANDLE out, const char *text)
{
    std::wstring wide = to_wide(text);
    DWORD done;
    WriteConsoleW(out, wide.c_str(), (DWORD)wide.size(), &done, nullptr);
}

// Reads the whole line, so that what lies beyond the buffer is not left for the next question.
static bool read_console_line(HANDLE in, wchar_t *line, size_t units, size_t *used)
{
    wchar_t part[256];
    DWORD got = 0;
    *used = 0;
    for (bool ended = false; !ended;) {
        if (!ReadConsoleW(in, part, 256, &got, nullptr) || got == 0)
            return false;
        for (DWORD i = 0; i < got && !ended; i++) {
            ended = part[i] == L'\n';
            if (!ended && part[i] != L'\r' && *used + 1 < units)
                line[(*used)++] = part[i];
        }
    }
    line[*used] = 0;
    wipe_secret(part, sizeof part);
    return true;
}

// One line from the console itself, as the standard streams may be redirected; false without one.
static bool console_line(const char *prompt, bool echo, wchar_t *line, size_t units)
{
    HANDLE in = open_console(L"CONIN$"), out = open_console(L"CONOUT$");
    DWORD mode;
    bool ok = in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE && GetConsoleMode(in, &mode);
    if (ok) {
        console_write(out, prompt);
        DWORD asked = (mode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~(echo ? 0 : ENABLE_ECHO_INPUT);
        EnterCriticalSection(&interruption_lock);
        echo_console = in;
        echo_mode = mode;
        SetConsoleMode(in, asked);
        LeaveCriticalSection(&interruption_lock);
        size_t used;
        ok = read_console_line(in, line, units, &used) || fail_with("the console gave no line");
        EnterCriticalSection(&interruption_lock);
        SetConsoleMode(in, mode);
        echo_console = INVALID_HANDLE_VALUE;
        LeaveCriticalSection(&interruption_lock);
        if (!echo)
            console_write(out, "\n");
    } else {
        fail_with("no console to ask");
    }
    if (in != INVALID_HANDLE_VALUE)
        CloseHandle(in);
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    return ok;
}

// The units of a text as the password box would keep them.
static int take_password(const wchar_t *text, char16_t *password, size_t units)
{
    size_t used = 0;
    for (; text[used] && used + 1 < units; used++)
        password[used] = (char16_t)text[used];
    password[used] = 0;
    return utf16_is_text(password, units) ? 1 : -1;
}

enum { CONSOLE_LINE_UNITS = 1024 };

int terminal_password(const char *prompt, char16_t *password, size_t units)
{
    wchar_t line[CONSOLE_LINE_UNITS];
    int got = console_line(prompt, false, line, CONSOLE_LINE_UNITS) ? take_password(line, password, units) : 0;
    wipe_secret(line, sizeof line);
    return got;
}

bool terminal_confirm(const char *question)
{
    wchar_t line[16];
    return console_line(question, true, line, 16) && (line[0] == L'y' || line[0] == L'Y');
}

bool error_is_terminal(void)
{
    DWORD mode;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

// Sized first: a buffer too small for the variable would receive nothing at all.
int environment_password(const char *name, char16_t *password, size_t units)
{
    std::wstring wide = to_wide(name);
    SetLastError(0);
    DWORD size = GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
    if (size == 0)
        return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? 0 : take_password(L"", password, units);
    std::vector<wchar_t> value(size + 1, 0);
    DWORD got = GetEnvironmentVariableW(wide.c_str(), value.data(), size + 1);
    int taken = got > 0 && got <= size ? take_password(value.data(), password, units) : take_password(L"", password, units);
    wipe_secret(value.data(), value.size() * sizeof value[0]);
    return taken;
}

bool password_file_line(const char *path, char *line, size_t size, size_t *length)
{
    std::wstring wide = to_wide(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && attributes & FILE_ATTRIBUTE_DIRECTORY)
        return fail_with("a folder");
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return fail_last_error();
    bool ok = true;
    size_t used = 0;
    for (bool ended = false; ok && !ended && used < size;) {
        DWORD step = size - used < IO_STEP ? (DWORD)(size - used) : IO_STEP, got = 0;
        // A pipe's writer that has gone is the end of the text.
        if (!ReadFile(h, line + used, step, &got, nullptr) && GetLastError() != ERROR_BROKEN_PIPE)
            ok = fail_last_error();
        const char *end = (const char *)memchr(line + used, '\n', got);
        ended = got == 0 || end;
        used = end ? (size_t)(end - line) : used + got;
    }
    CloseHandle(h);
    *length = used;
    return ok;
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

int wmain(int argc, wchar_t **wargv)
{
    InitializeCriticalSection(&interruption_lock);
    SetConsoleCtrlHandler(interrupted, TRUE);
    std::vector<std::string> args;
    for (int i = 0; i < argc; i++)
        args.push_back(to_utf8(wargv[i], -1).c_str());
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    return qvx_main(argc, argv.data());
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
