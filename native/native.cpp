// The native calls behind files, pages, threads and the process, each with its records filled here.
#include "native/native.h"

#include <ntstatus.h>

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
}

// The records the native calls expect, at both widths.
static_assert(sizeof(FILE_STANDARD_INFORMATION) == 24, "standard information record");
static_assert(sizeof(OBJECT_ATTRIBUTES) == 6 * sizeof(void *), "object attributes record");
static_assert(sizeof(FILE_END_OF_FILE_INFORMATION) == 8, "end-of-file record");

static HANDLE const CURRENT_PROCESS = (HANDLE)(LONG_PTR)-1;
static HANDLE const CURRENT_THREAD = (HANDLE)(LONG_PTR)-2;

enum : ULONG { OBJECT_ATTRIBUTE_FLAGS = OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE };
enum : LONGLONG { TICKS_PER_MILLISECOND = 10000 }; // native intervals count 100 ns
#define STATUS_SHORT_TRANSFER STATUS_END_OF_FILE
#define STATUS_NO_RESERVATION STATUS_NOT_IMPLEMENTED

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

uint64_t file_length(HANDLE file)
{
    FILE_STANDARD_INFORMATION info = {};
    IO_STATUS_BLOCK io;
    if (NtQueryInformationFile(file, &io, &info, sizeof info, FileStandardInformation) != 0)
        return 0;
    return (uint64_t)info.EndOfFile.QuadPart;
}

// A transfer that moves fewer bytes than asked counts as failed: callers rely on whole buffers.
NTSTATUS file_read(HANDLE file, void *buffer, ULONG count)
{
    IO_STATUS_BLOCK io = {};
    LARGE_INTEGER offset = {};
    NTSTATUS status = NtReadFile(file, NULL, NULL, NULL, &io, buffer, count, &offset, NULL);
    return status != 0 || io.Information == count ? status : STATUS_SHORT_TRANSFER;
}

NTSTATUS file_write(HANDLE file, const void *buffer, ULONG count)
{
    IO_STATUS_BLOCK io = {};
    LARGE_INTEGER offset = {};
    NTSTATUS status = NtWriteFile(file, NULL, NULL, NULL, &io, buffer, count, &offset, NULL);
    return status != 0 || io.Information == count ? status : STATUS_SHORT_TRANSFER;
}

NTSTATUS file_set_length(HANDLE file, uint64_t length)
{
    FILE_END_OF_FILE_INFORMATION info;
    info.EndOfFile.QuadPart = (LONGLONG)length;
    IO_STATUS_BLOCK io;
    return NtSetInformationFile(file, &io, &info, sizeof info, FileEndOfFileInformation);
}

// Where the file system cannot reserve at all (Wine among them) there is nothing to make sure of,
// and the write itself reports a full disk; any other refusal is the caller's to handle.
NTSTATUS file_reserve(HANDLE file, uint64_t length)
{
    FILE_ALLOCATION_INFORMATION info;
    info.AllocationSize.QuadPart = (LONGLONG)length;
    IO_STATUS_BLOCK io;
    NTSTATUS status = NtSetInformationFile(file, &io, &info, sizeof info, FileAllocationInformation);
    return status == STATUS_NO_RESERVATION ? 0 : status;
}

NTSTATUS file_flush(HANDLE file)
{
    IO_STATUS_BLOCK io;
    return NtFlushBuffersFile(file, &io);
}

// A 4-byte record holding 1: the file system reads only its first byte.
NTSTATUS file_delete_on_close(HANDLE file)
{
    ULONG delete_file = 1;
    IO_STATUS_BLOCK io;
    return NtSetInformationFile(file, &io, &delete_file, sizeof delete_file,
                                FileDispositionInformation);
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

// Threads of RtlCreateUserThread have no exit path to return to on old systems.
void thread_end(void)
{
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

// Byte by byte through a volatile pointer, so that wiping a password is never optimised away.
void zero_bytes(void *buffer, SIZE_T bytes)
{
    volatile BYTE *byte = (volatile BYTE *)buffer;
    for (SIZE_T i = 0; i < bytes; i++)
        byte[i] = 0;
}
