// The native calls behind files, pages, threads and the process, each with its records filled here.
#include "native/native.h"

#include <ntstatus.h>
#include <winioctl.h>

#include "native/process_block.h"

// Not declared by the MinGW headers, exported by ntdll on every Windows version we run on.
extern "C" {
NTSTATUS NTAPI NtReadFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE apc, PVOID apc_context,
                          PIO_STATUS_BLOCK io, PVOID buffer, ULONG length, PLARGE_INTEGER offset,
                          PULONG key);
NTSTATUS NTAPI NtWriteFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE apc, PVOID apc_context,
                           PIO_STATUS_BLOCK io, const VOID *buffer, ULONG length,
                           PLARGE_INTEGER offset, PULONG key);
NTSTATUS NTAPI NtFlushBuffersFile(HANDLE file, PIO_STATUS_BLOCK io);
NTSTATUS NTAPI NtAllocateVirtualMemory(HANDLE process, PVOID *base, ULONG_PTR zero_bits,
                                       PSIZE_T size, ULONG type, ULONG protection);
NTSTATUS NTAPI NtFreeVirtualMemory(HANDLE process, PVOID *base, PSIZE_T size, ULONG type);
NTSTATUS NTAPI RtlCreateUserThread(HANDLE process, PSECURITY_DESCRIPTOR descriptor,
                                   BOOLEAN suspended, ULONG zero_bits, SIZE_T stack_reserve,
                                   SIZE_T stack_commit, ThreadEntry entry, PVOID parameter,
                                   PHANDLE thread, PVOID client_id);
NTSTATUS NTAPI NtTerminateThread(HANDLE thread, NTSTATUS exit_status);
NTSTATUS NTAPI NtTerminateProcess(HANDLE process, NTSTATUS exit_status);
NTSTATUS NTAPI NtDelayExecution(BOOLEAN alertable, PLARGE_INTEGER interval);
NTSTATUS NTAPI NtQuerySecurityObject(HANDLE object, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR descriptor,
                                     ULONG size, PULONG needed);
NTSTATUS NTAPI NtSetSecurityObject(HANDLE object, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR descriptor);
}

// The records the native calls expect, at both widths.
static_assert(sizeof(FILE_STANDARD_INFORMATION) == 24, "standard information record");
static_assert(sizeof(OBJECT_ATTRIBUTES) == 6 * sizeof(void *), "object attributes record");
static_assert(sizeof(FILE_END_OF_FILE_INFORMATION) == 8, "end-of-file record");
static_assert(sizeof(FILE_FS_SIZE_INFORMATION) == 24 && sizeof(FILE_FS_DEVICE_INFORMATION) == 8,
              "volume records");

static HANDLE const CURRENT_PROCESS = (HANDLE)(LONG_PTR)-1;
static HANDLE const CURRENT_THREAD = (HANDLE)(LONG_PTR)-2;

enum : ULONG { OBJECT_ATTRIBUTE_FLAGS = OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE };
enum : LONGLONG { TICKS_PER_MILLISECOND = 10000 }; // native intervals count 100 ns
#define STATUS_SHORT_TRANSFER STATUS_END_OF_FILE

// Units before the terminator, counting no further than limit.
static SIZE_T wide_units_up_to(const WCHAR *text, SIZE_T limit)
{
    SIZE_T units = 0;
    while (units < limit && text[units] != 0)
        units++;
    return units;
}

NTSTATUS file_open(HANDLE *file, const WCHAR *path, ULONG access, ULONG share, ULONG disposition,
                   ULONG options)
{
    SIZE_T units = wide_units_up_to(path, NATIVE_PATH_MAX_UNITS + 1);
    if (units > NATIVE_PATH_MAX_UNITS)
        return STATUS_PATH_TOO_LONG;
    WCHAR name[NATIVE_NAME_UNITS];
    wide_copy(name, NATIVE_NAME_UNITS, L"\\??\\");
    wide_copy(name + 4, NATIVE_NAME_UNITS - 4, path);
    UNICODE_STRING counted;
    counted.Length = (USHORT)(units * sizeof(WCHAR) + 8);
    counted.MaximumLength = (USHORT)(counted.Length + sizeof(WCHAR));
    counted.Buffer = name;
    OBJECT_ATTRIBUTES attributes = {};
    attributes.Length = sizeof attributes;
    attributes.ObjectName = &counted;
    attributes.Attributes = OBJECT_ATTRIBUTE_FLAGS;
    IO_STATUS_BLOCK io;
    return NtCreateFile(file, access, &attributes, &io, NULL, 0, share, disposition, options, NULL,
                        0);
}

// Device types whose files are stored data; every other kind (null, console, ports, pipes) is not.
static const ULONG STORAGE_DEVICES[] = {
    FILE_DEVICE_CD_ROM, FILE_DEVICE_CD_ROM_FILE_SYSTEM, FILE_DEVICE_DFS, FILE_DEVICE_DISK,
    FILE_DEVICE_DISK_FILE_SYSTEM, FILE_DEVICE_NETWORK_FILE_SYSTEM, FILE_DEVICE_VIRTUAL_DISK,
};

static bool is_storage(ULONG device_type)
{
    for (ULONG type : STORAGE_DEVICES)
        if (type == device_type)
            return true;
    return false;
}

NTSTATUS file_facts(HANDLE file, FileFacts *facts)
{
    FILE_STANDARD_INFORMATION info = {};
    FILE_FS_DEVICE_INFORMATION device = {};
    IO_STATUS_BLOCK io;
    NTSTATUS status = NtQueryInformationFile(file, &io, &info, sizeof info, FileStandardInformation);
    if (status == 0)
        status = NtQueryVolumeInformationFile(file, &io, &device, sizeof device,
                                              FileFsDeviceInformation);
    if (status != 0)
        return status;
    facts->length = (uint64_t)info.EndOfFile.QuadPart;
    facts->links = info.NumberOfLinks;
    facts->directory = info.Directory != 0;
    facts->disk = is_storage(device.DeviceType);
    return 0;
}

enum : ULONG { REPARSE_TAG_NAME_SURROGATE = 0x20000000 };

NTSTATUS path_is_link(const WCHAR *path, bool *link)
{
    HANDLE file;
    NTSTATUS status = file_open(&file, path, SYNCHRONIZE | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                                FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT);
    if (status != 0)
        return status;
    FILE_ATTRIBUTE_TAG_INFORMATION tag = {};
    IO_STATUS_BLOCK io;
    status = NtQueryInformationFile(file, &io, &tag, sizeof tag, FileAttributeTagInformation);
    NtClose(file);
    *link = status == 0 && (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && (tag.ReparseTag & REPARSE_TAG_NAME_SURROGATE);
    return status;
}

NTSTATUS volume_space(HANDLE file, uint64_t *free_bytes, uint32_t *unit_bytes)
{
    FILE_FS_SIZE_INFORMATION size = {};
    IO_STATUS_BLOCK io;
    NTSTATUS status = NtQueryVolumeInformationFile(file, &io, &size, sizeof size, FileFsSizeInformation);
    if (status != 0)
        return status;
    *unit_bytes = size.SectorsPerAllocationUnit * size.BytesPerSector;
    // Available to the caller, after quotas.
    *free_bytes = (uint64_t)size.AvailableAllocationUnits.QuadPart * *unit_bytes;
    return *unit_bytes ? 0 : STATUS_UNSUCCESSFUL;
}

// Loops while each call moves something: a call that moves nothing would loop for ever, so it
// counts as a short transfer, which callers relying on whole buffers take as a failure.
static NTSTATUS transfer(HANDLE file, BYTE *buffer, SIZE_T count, uint64_t offset, bool write)
{
    for (SIZE_T done = 0; done < count;) {
        IO_STATUS_BLOCK io = {};
        LARGE_INTEGER at;
        at.QuadPart = (LONGLONG)(offset + done);
        ULONG step = (ULONG)(count - done < NATIVE_IO_STEP ? count - done : NATIVE_IO_STEP);
        NTSTATUS status = write ? NtWriteFile(file, NULL, NULL, NULL, &io, buffer + done, step, &at, NULL)
                                : NtReadFile(file, NULL, NULL, NULL, &io, buffer + done, step, &at, NULL);
        if (status != 0)
            return status;
        if (io.Information == 0)
            return STATUS_SHORT_TRANSFER;
        done += io.Information;
    }
    return 0;
}

NTSTATUS file_read(HANDLE file, void *buffer, SIZE_T count, uint64_t offset)
{
    return transfer(file, (BYTE *)buffer, count, offset, false);
}

NTSTATUS file_write(HANDLE file, const void *buffer, SIZE_T count, uint64_t offset)
{
    return transfer(file, (BYTE *)buffer, count, offset, true);
}

NTSTATUS file_set_length(HANDLE file, uint64_t length)
{
    FILE_END_OF_FILE_INFORMATION info;
    info.EndOfFile.QuadPart = (LONGLONG)length;
    IO_STATUS_BLOCK io;
    return NtSetInformationFile(file, &io, &info, sizeof info, FileEndOfFileInformation);
}

NTSTATUS file_reserve(HANDLE file, uint64_t length)
{
    FILE_ALLOCATION_INFORMATION info;
    info.AllocationSize.QuadPart = (LONGLONG)length;
    IO_STATUS_BLOCK io;
    return NtSetInformationFile(file, &io, &info, sizeof info, FileAllocationInformation);
}

NTSTATUS file_flush(HANDLE file)
{
    IO_STATUS_BLOCK io;
    return NtFlushBuffersFile(file, &io);
}

// A 4-byte record holding 1 or 0: the file system reads only its first byte.
static NTSTATUS set_disposition(HANDLE file, ULONG delete_file)
{
    IO_STATUS_BLOCK io;
    return NtSetInformationFile(file, &io, &delete_file, sizeof delete_file,
                                FileDispositionInformation);
}

NTSTATUS file_delete_on_close(HANDLE file) { return set_disposition(file, 1); }

NTSTATUS file_keep_on_close(HANDLE file) { return set_disposition(file, 0); }

// The record ends in the name, whose length it states; the name needs no terminator.
struct RenameRecord {
    FILE_RENAME_INFORMATION head;
    WCHAR rest[NATIVE_NAME_UNITS];
};

NTSTATUS file_rename(HANDLE file, const WCHAR *path, bool replace)
{
    SIZE_T units = wide_units_up_to(path, NATIVE_PATH_MAX_UNITS + 1);
    if (units > NATIVE_PATH_MAX_UNITS)
        return STATUS_PATH_TOO_LONG;
    RenameRecord record = {};
    record.head.ReplaceIfExists = replace;
    wide_copy(record.head.FileName, NATIVE_NAME_UNITS, L"\\??\\");
    wide_copy(record.head.FileName + 4, NATIVE_NAME_UNITS - 4, path);
    record.head.FileNameLength = (ULONG)((units + 4) * sizeof(WCHAR));
    IO_STATUS_BLOCK io;
    return NtSetInformationFile(file, &io, &record, sizeof record, FileRenameInformation);
}

// Zero times in the record leave the file's times as they are.
NTSTATUS file_set_attributes(HANDLE file, ULONG attributes)
{
    FILE_BASIC_INFORMATION basic = {};
    basic.FileAttributes = attributes;
    IO_STATUS_BLOCK io;
    return NtSetInformationFile(file, &io, &basic, sizeof basic, FileBasicInformation);
}

static NTSTATUS copy_access_list(HANDLE from, HANDLE to)
{
    ULONG size = 0;
    NTSTATUS status = NtQuerySecurityObject(from, DACL_SECURITY_INFORMATION, NULL, 0, &size);
    if (status != STATUS_BUFFER_TOO_SMALL)
        return 0;   // no list to keep: a file system without them
    void *descriptor = pages_allocate(size, PAGE_READWRITE);
    if (!descriptor)
        return STATUS_NO_MEMORY;
    status = NtQuerySecurityObject(from, DACL_SECURITY_INFORMATION, descriptor, size, &size);
    if (status == 0)
        status = NtSetSecurityObject(to, DACL_SECURITY_INFORMATION, descriptor);
    pages_release(descriptor);
    return status;
}

// Attributes of 0 would leave the new file's own; "normal" stands for none.
NTSTATUS file_copy_identity(HANDLE from, HANDLE to)
{
    FILE_BASIC_INFORMATION basic = {};
    IO_STATUS_BLOCK io;
    NTSTATUS status = NtQueryInformationFile(from, &io, &basic, sizeof basic, FileBasicInformation);
    if (status != 0)
        return status;
    FILE_BASIC_INFORMATION kept = {};
    kept.CreationTime = basic.CreationTime;
    kept.FileAttributes = basic.FileAttributes ? basic.FileAttributes : FILE_ATTRIBUTE_NORMAL;
    status = NtSetInformationFile(to, &io, &kept, sizeof kept, FileBasicInformation);
    return status != 0 ? status : copy_access_list(from, to);
}

void file_close(HANDLE file)
{
    NtClose(file);
}

void *pages_allocate(SIZE_T size, ULONG protection)
{
    PVOID base = NULL;
    if (NtAllocateVirtualMemory(CURRENT_PROCESS, &base, 0, &size, MEM_COMMIT, protection) != 0)
        return NULL;
    return base;
}

// Size 0 with MEM_RELEASE gives back the whole range that the allocation reserved.
void pages_release(void *buffer)
{
    PVOID base = buffer;
    SIZE_T size = 0;
    if (base != NULL)
        NtFreeVirtualMemory(CURRENT_PROCESS, &base, &size, MEM_RELEASE);
}

HANDLE thread_start(ThreadEntry entry, void *parameter)
{
    HANDLE thread = NULL;
    if (RtlCreateUserThread(CURRENT_PROCESS, NULL, FALSE, 0, 0, 0, entry, parameter, &thread, NULL)
        != 0)
        return NULL;
    return thread;
}

void thread_stop(HANDLE thread)
{
    NtTerminateThread(thread, 0);
}

typedef void(NTAPI *ExitUserThread)(NTSTATUS status);

// Where the system frees a thread's stack as it ends, off the thread's own stack.
static const SIZE_T FREE_STACK_FLAG_AT = 0xF75;   // the 32-bit thread block of Windows XP and 2003

// A thread of RtlCreateUserThread has no exit path to return to. Ended by NtTerminateThread alone
// it would leave its stack behind: the system's own exit routine frees it (Vista and later); before
// that, the kernel does when the thread block asks it to.
void thread_end(void)
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    ExitUserThread exit_thread = ntdll ? (ExitUserThread)(void *)GetProcAddress(ntdll, "RtlExitUserThread")
                                       : NULL;
    if (exit_thread)
        exit_thread(0);
    if (sizeof(void *) == 4)
        ((volatile BYTE *)thread_block())[FREE_STACK_FLAG_AT] = 1;
    for (;;)
        NtTerminateThread(CURRENT_THREAD, 0);
}

NTSTATUS thread_wait(HANDLE thread, DWORD milliseconds)
{
    LARGE_INTEGER timeout;
    timeout.QuadPart = -(LONGLONG)milliseconds * TICKS_PER_MILLISECOND;   // negative: relative
    return NtWaitForSingleObject(thread, FALSE, &timeout);
}

void thread_sleep(DWORD milliseconds)
{
    LARGE_INTEGER interval;
    interval.QuadPart = -(LONGLONG)milliseconds * TICKS_PER_MILLISECOND;
    NtDelayExecution(FALSE, &interval);
}

void handle_close(HANDLE handle)
{
    NtClose(handle);
}

void process_end(void)
{
    for (;;)
        NtTerminateProcess(CURRENT_PROCESS, 0);
}

bool wide_copy(WCHAR *destination, SIZE_T capacity_units, const WCHAR *source)
{
    if (capacity_units == 0)
        return false;
    SIZE_T i = 0;
    for (; i + 1 < capacity_units && source[i] != 0; i++)
        destination[i] = source[i];
    destination[i] = 0;
    return source[i] == 0;
}

SIZE_T wide_byte_length(const WCHAR *text)
{
    SIZE_T units = 0;
    while (text[units] != 0)
        units++;
    return units * sizeof(WCHAR);
}

void zero_bytes(void *buffer, SIZE_T bytes)
{
    BYTE *byte = (BYTE *)buffer;
    for (SIZE_T i = 0; i < bytes; i++)
        byte[i] = 0;
}
