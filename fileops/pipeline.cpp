#include "fileops/pipeline.h"

#include "app/app_state.h"
#include "app/feedback.h"
#include "app/lifetime.h"
#include "app/notice.h"
#include "core/container.h"
#include "core/password.h"
#include "core/stream.h"
#include "core/wipe.h"
#include "fileops/command.h"
#include "fileops/open_modes.h"
#include "native/native.h"
#include "res/resource.h"

static const WCHAR TEXT_SHRED_QUESTION[] = L"粉碎后数据可能无法恢复，确定要粉碎指定文件吗？";
static const WCHAR TEXT_CANNOT_OPEN[] = L"无法打开文件";
static const WCHAR TEXT_NO_MEMORY[] = L"内存分配出错";
static const WCHAR TEXT_CONFIRM_DIFFERS[] = L"确认密码不一致";
static const WCHAR TEXT_SHRED_FAILED[] = L"粉碎文件出错";
const WCHAR TEXT_TOO_LARGE[] = L"文件太大，无法处理";
const WCHAR TEXT_READ_FAILED[] = L"读取文件出错";
const WCHAR TEXT_WRONG_PASSWORD[] = L"密码错误";
const WCHAR TEXT_DAMAGED[] = L"文件已损坏或不是加密文件";
const WCHAR TEXT_WRITE_FAILED[] = L"写入文件出错";
const WCHAR TEXT_DONE[] = L"操作完成";

static const uint8_t *const SHRED_PATTERN = PRODUCT_MAGIC;

// Room past the file's bytes: the container's last word and the shred pattern's last copy.
enum { BUFFER_SLACK = 16 };
// A container's length is counted in 32 bits; Shred's fill count is sound only below 2 GiB.
static const uint64_t LARGEST_CONTAINER = 0xFFFFFFFFu;
static const uint64_t LARGEST_SHRED = 0x7FFFFFFFu;

void fail(const WCHAR *text) { notice(app.main_window, text, NOTICE_ERROR); }

void tell_done(void) { notice(app.main_window, TEXT_DONE, NOTICE_DONE); }

static void close_file(HANDLE *file)
{
    if (*file)
        file_close(*file);
    *file = NULL;
}

static void release_command(void)
{
    close_file(&app.file);
    close_file(&app.output);
    if (app.buffer)
        pages_release(app.buffer);
    app.buffer = NULL;
}

static void leave_command(void) { InterlockedExchange(&app.command_running, 0); }

void end_command(void)
{
    release_command();
    set_status(STATUS_READY);
    enable_commands(TRUE);
    leave_command();
}

static void read_inputs(void)
{
    HWND w = app.main_window;
    GetDlgItemTextW(w, IDC_PATH, app.path, PATH_UNITS);
    GetDlgItemTextW(w, IDC_PASSWORD, app.password, PASSWORD_BUFFER_UNITS);
    GetDlgItemTextW(w, IDC_CONFIRM, app.confirmation, PASSWORD_BUFFER_UNITS);
    app.overwrite = IsDlgButtonChecked(w, IDC_OVERWRITE) == BST_CHECKED;
    wide_copy(app.command_path, PATH_UNITS, app.path);
}

static bool writes_new_file(int kind) { return kind != COMMAND_SHRED && !app.overwrite; }

// A path that cannot be opened as given, or leaves no room for the output's suffix, is refused
// before anything is opened; so is anything but a plain file: a folder, a device, or a symbolic
// link, whose replacement would leave the file it leads to as it was.
static bool open_source(int kind, FileFacts *facts)
{
    SIZE_T units = wide_byte_length(app.command_path) / 2;
    SIZE_T limit = NATIVE_PATH_MAX_UNITS - (writes_new_file(kind) ? OUTPUT_SUFFIX_UNITS : 0);
    bool link = true;
    if (units > limit || path_is_link(app.command_path, &link) != 0 || link)
        return false;
    ULONG access = SOURCE_ACCESS;
    if (app.overwrite)
        access |= SOURCE_OVERWRITE_ACCESS;
    if (kind == COMMAND_SHRED)
        access |= DELETE | FILE_WRITE_DATA;
    if (file_open(&app.file, app.command_path, access, SOURCE_SHARE, SOURCE_DISPOSITION, OPEN_OPTIONS) != 0)
        return false;
    return file_facts(app.file, facts) == 0 && !facts->directory && facts->disk;
}

// The largest file each command takes: a plaintext whose container fits 32 bits, a container
// whose length does.
static bool within_limits(int kind, uint64_t length)
{
    return length <= (kind == COMMAND_SHRED ? LARGEST_SHRED : kind == COMMAND_ENCRYPT ? PLAIN_MAX_LENGTH : LARGEST_CONTAINER);
}

static bool allocate(SIZE_T bytes)
{
    app.buffer = (uint8_t *)pages_allocate(bytes, PAGE_READWRITE);
    app.buffer_bytes = app.buffer ? bytes : 0;
    return app.buffer != NULL;
}

// The whole file in one buffer; where none can be had (or addressed), Encrypt and Decrypt
// stream the file through one chunk.
static bool allocate_buffer(int kind, uint64_t length)
{
    uint64_t whole = length + CONTAINER_HEADER_SIZE + BUFFER_SLACK;
    app.streaming = false;
    if (whole <= (SIZE_T)-1 && allocate((SIZE_T)whole))
        return true;
    if (kind == COMMAND_SHRED)
        return false;
    app.streaming = true;
    return allocate(4 + STREAM_CHUNK_BYTES);
}

// Password checks of the start phase; false when the command ends here, for an empty password
// without a word. The command's copies of the texts are wiped once the check value is had.
static bool check_passwords(int kind)
{
    const char16_t *password = (const char16_t *)app.password;
    bool empty = password[0] == 0;
    bool differs = !empty && kind == COMMAND_ENCRYPT && !confirm_password(password, (const char16_t *)app.confirmation);
    if (!empty && !differs) {
        app.check = derive_check(password);
        if (kind == COMMAND_ENCRYPT)
            app.companion = derive_companion(password);
    }
    wipe_secret(app.password, sizeof app.password);
    wipe_secret(app.confirmation, sizeof app.confirmation);
    if (differs)
        fail(TEXT_CONFIRM_DIFFERS);
    return !empty && !differs;
}

static void shred(void)
{
    for (uint32_t i = 0; i <= app.file_length / 4; i++)
        for (int b = 0; b < 4; b++)
            app.buffer[4 * (SIZE_T)i + b] = SHRED_PATTERN[b];
    if (!begin_in_place_write())
        thread_end();
    set_status(STATUS_WRITING);
    // The pattern must reach the disk before the cut, or the old bytes may never be overwritten.
    if (file_write(app.file, app.buffer, app.file_length, 0) != 0 || file_flush(app.file) != 0) {
        end_in_place_write();
        end_command();
        fail(TEXT_WRITE_FAILED);
        return;
    }
    file_set_length(app.file, 0);
    NTSTATUS marked = file_delete_on_close(app.file);
    end_in_place_write();
    end_command();
    if (marked != 0)
        fail(TEXT_SHRED_FAILED);
    else
        tell_done();
}

static DWORD WINAPI work(void *kind)
{
    if ((ULONG_PTR)kind == COMMAND_SHRED)
        shred();
    else
        transform((int)(ULONG_PTR)kind);
    thread_end();
}

// False when the command ends here, with or without a notice.
static bool start_phase(int kind)
{
    if (kind == COMMAND_SHRED && notice(app.main_window, TEXT_SHRED_QUESTION, NOTICE_QUESTION) != IDYES)
        return false;
    read_inputs();
    FileFacts facts;
    if (!open_source(kind, &facts)) {
        release_command();
        fail(TEXT_CANNOT_OPEN);
        return false;
    }
    // Shredding one name of several would destroy the data under the names that stay.
    const WCHAR *refusal = !within_limits(kind, facts.length) ? TEXT_TOO_LARGE
                         : kind == COMMAND_SHRED && facts.links > 1 ? TEXT_SHRED_FAILED
                         : !allocate_buffer(kind, facts.length) ? TEXT_NO_MEMORY : NULL;
    if (refusal) {
        fail(refusal);
        release_command();
        return false;
    }
    app.file_length = (uint32_t)facts.length;
    if (kind != COMMAND_SHRED) {
        if (!check_passwords(kind)) {
            release_command();
            return false;
        }
        set_status(STATUS_READING);
    }
    enable_commands(FALSE);
    HANDLE worker = thread_start(work, (void *)(ULONG_PTR)kind);
    if (!worker) {
        end_command();
        fail(TEXT_NO_MEMORY);
        return false;
    }
    handle_close(worker);
    return true;
}

// Disabled buttons do not stop a posted command message: the claim does.
void start_command(int kind)
{
    if (InterlockedCompareExchange(&app.command_running, 1, 0) != 0)
        return;
    if (!start_phase(kind))
        leave_command();
}
