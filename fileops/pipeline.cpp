#include "fileops/pipeline.h"

#include "core/container.h"
#include "core/password.h"
#include "fileops/open_modes.h"
#include "native/native.h"
#include "res/resource.h"
#include "ui/app_state.h"
#include "ui/feedback.h"
#include "ui/lifetime.h"
#include "ui/notice.h"

static const WCHAR TEXT_SHRED_QUESTION[] = L"粉碎后数据可能无法恢复，确定要粉碎指定文件吗？";
static const WCHAR TEXT_CANNOT_OPEN[] = L"无法打开文件";
static const WCHAR TEXT_TOO_LARGE[] = L"文件太大，无法处理";
static const WCHAR TEXT_NO_MEMORY[] = L"内存分配出错";
static const WCHAR TEXT_CONFIRM_DIFFERS[] = L"确认密码不一致";
static const WCHAR TEXT_READ_FAILED[] = L"读取文件出错";
static const WCHAR TEXT_WRONG_PASSWORD[] = L"密码错误";
static const WCHAR TEXT_DAMAGED[] = L"文件已损坏或不是加密文件";
static const WCHAR TEXT_WRITE_FAILED[] = L"写入文件出错";
static const WCHAR TEXT_SHRED_FAILED[] = L"粉碎文件出错";
static const WCHAR TEXT_DONE[] = L"操作完成";
static const WCHAR OUTPUT_SUFFIX[] = L".QVX";

static const uint8_t *const SHRED_PATTERN = PRODUCT_MAGIC;

// Room past the file's bytes: the container's last word and the shred pattern's last copy.
enum { BUFFER_SLACK = 16 };
static const uint64_t LARGEST_BUFFER = 0xFFFFFFFFu;        // the file plus its header in 32 bits
static const uint64_t LARGEST_SHRED = 0x7FFFFFFFu;

static void fail(const WCHAR *text) { notice(app.main_window, text, NOTICE_ERROR); }

static void release_command(void)
{
    if (app.file)
        file_close(app.file);
    app.file = NULL;
    if (app.buffer)
        pages_release(app.buffer);
    app.buffer = NULL;
}

static void leave_command(void) { InterlockedExchange(&app.command_running, 0); }

static void end_command(void)
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
// before anything is opened; so is anything but a plain file (a folder, a device).
static bool open_source(int kind, FileFacts *facts)
{
    SIZE_T units = wide_byte_length(app.command_path) / 2;
    SIZE_T limit = NATIVE_PATH_MAX_UNITS - (writes_new_file(kind) ? OUTPUT_SUFFIX_UNITS : 0);
    if (units > limit)
        return false;
    ULONG access = SOURCE_ACCESS;
    if (app.overwrite)
        access |= FILE_WRITE_DATA;
    if (kind == COMMAND_SHRED)
        access |= DELETE | FILE_WRITE_DATA;
    if (file_open(&app.file, app.command_path, access, SOURCE_SHARE, SOURCE_DISPOSITION, OPEN_OPTIONS) != 0)
        return false;
    return file_facts(app.file, facts) == 0 && !facts->directory && facts->disk;
}

// Encrypt and Decrypt need the container of the file, 12 + 4 * ceil(F / 4) bytes, in 32 bits.
static bool fits_in_memory(int kind, uint64_t length)
{
    return kind == COMMAND_SHRED ? length <= LARGEST_SHRED
                                 : CONTAINER_HEADER_SIZE + ((length + 3) & ~(uint64_t)3) <= LARGEST_BUFFER;
}

static uint64_t buffer_size(uint64_t length) { return length + CONTAINER_HEADER_SIZE + BUFFER_SLACK; }

static uint8_t *allocate_buffer(uint64_t length)
{
    uint64_t size = buffer_size(length);
    if (size > (SIZE_T)-1)
        return NULL;
    return (uint8_t *)pages_allocate((SIZE_T)size, PAGE_READWRITE);
}

// Password checks of the start phase; false when the command ends here.
static bool check_passwords(int kind)
{
    if (app.password[0] == 0)
        return false;
    const char16_t *password = (const char16_t *)app.password;
    app.check = derive_check(password);
    if (kind == COMMAND_ENCRYPT) {
        if (!confirm_password(password, (const char16_t *)app.confirmation)) {
            fail(TEXT_CONFIRM_DIFFERS);
            return false;
        }
        app.companion = derive_companion(password);
    }
    return true;
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
    if (file_write(app.file, app.buffer, app.file_length) != 0 || file_flush(app.file) != 0) {
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
        notice(app.main_window, TEXT_DONE, NOTICE_DONE);
}

// Replaces the source handle by a new file named after it with the suffix added.
static bool create_output(void)
{
    file_close(app.file);
    app.file = NULL;
    SIZE_T units = wide_byte_length(app.command_path) / 2;
    wide_copy(app.command_path + units, OUTPUT_SUFFIX_UNITS + 1, OUTPUT_SUFFIX);
    HANDLE output;
    if (file_open(&output, app.command_path, OUTPUT_ACCESS, OUTPUT_SHARE, OUTPUT_DISPOSITION,
                  OPEN_OPTIONS) != 0)
        return false;
    app.file = output;
    // Until it is written whole, however the command or the process ends.
    return file_delete_on_close(output) == 0;
}

// The whole allocation units a length takes on the volume.
static uint64_t units_of(uint64_t length, uint32_t unit) { return (length + unit - 1) / unit; }

// Room for an in-place file to grow, made sure of before the file is touched. Where the file
// system cannot reserve (or will not say why not), the volume's free space decides.
static bool room_to_grow(void)
{
    if (file_reserve(app.file, app.output_length) == 0)
        return true;
    uint64_t free_bytes;
    uint32_t unit;
    if (volume_space(app.file, &free_bytes, &unit) != 0)
        return true;   // nothing to judge by: the write itself tells a full disk
    return (units_of(app.output_length, unit) - units_of(app.file_length, unit)) * unit <= free_bytes;
}

// Writes the result. A new file is kept only once written whole. In place, a file that grows gets
// its room on the disk first, so that a full disk fails before the source is touched; one that
// shrinks loses the extra bytes afterwards.
static bool write_result(const uint8_t *from)
{
    if (!app.overwrite) {
        set_status(STATUS_WRITING);
        return file_write(app.file, from, app.output_length) == 0 && file_keep_on_close(app.file) == 0;
    }
    if (!begin_in_place_write())
        thread_end();
    set_status(STATUS_WRITING);
    bool grows = app.output_length > app.file_length;
    bool written = (!grows || (room_to_grow() && file_set_length(app.file, app.output_length) == 0))
                && file_write(app.file, from, app.output_length) == 0
                && file_set_length(app.file, app.output_length) == 0;
    end_in_place_write();
    return written;
}

static void transform(int kind)
{
    uint8_t *buf = app.buffer;
    uint8_t *read_to = kind == COMMAND_ENCRYPT ? buf + CONTAINER_HEADER_SIZE : buf;
    if (app.file_length && file_read(app.file, read_to, app.file_length) != 0) {
        fail(TEXT_READ_FAILED);
        end_command();
        return;
    }
    if (kind == COMMAND_DECRYPT) {
        const WCHAR *refusal = container_check(buf) != app.check ? TEXT_WRONG_PASSWORD
                             : !container_decipherable(buf, app.file_length) ? TEXT_DAMAGED : NULL;
        if (refusal) {
            fail(refusal);
            end_command();
            return;
        }
    }
    if (!app.overwrite && !create_output()) {
        end_command();
        fail(TEXT_WRITE_FAILED);
        return;
    }

    const uint8_t *result;
    SIZE_T capacity = (SIZE_T)buffer_size(app.file_length);
    if (kind == COMMAND_ENCRYPT) {
        app.progress = 0;
        app.pump_thread = start_pump(app.file_length);
        set_status(STATUS_COMPUTING);
        app.output_length = encrypt_in_place(buf, capacity, app.file_length, app.check, read_stamp(),
                                             &app.progress);
        result = buf;
    } else {
        app.output_length = container_plain_length(buf);
        app.progress = (int32_t)app.output_length;
        app.pump_thread = start_pump(app.output_length);
        set_status(STATUS_COMPUTING);
        decrypt_in_place(buf, capacity, app.file_length, &app.progress);
        result = buf + CONTAINER_HEADER_SIZE;
    }

    bool written = write_result(result);
    stop_pump(app.pump_thread);
    app.pump_thread = NULL;
    end_command();
    if (written)
        notice(app.main_window, TEXT_DONE, NOTICE_DONE);
    else
        fail(TEXT_WRITE_FAILED);
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
    const WCHAR *refusal = !fits_in_memory(kind, facts.length) ? TEXT_TOO_LARGE
                         : kind == COMMAND_SHRED && facts.links > 1 ? TEXT_SHRED_FAILED : NULL;
    if (refusal) {
        fail(refusal);
        release_command();
        return false;
    }
    app.file_length = (uint32_t)facts.length;
    app.buffer = allocate_buffer(facts.length);
    if (!app.buffer) {
        fail(TEXT_NO_MEMORY);
        release_command();
        return false;
    }
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
