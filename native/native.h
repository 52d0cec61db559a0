// Thin layer over the native interface: files, pages, threads, the process, and UTF-16 helpers.
// It knows nothing of the program above it.
// Each call fills its native records itself and hands back a status (0 = success) or one value.
#pragma once
#include <windows.h>
#include <winternl.h>

#include <stdint.h>

enum {
    NATIVE_NAME_UNITS = 260,                 // "\??\" + path + terminator
    NATIVE_PATH_MAX_UNITS = NATIVE_NAME_UNITS - 5,
};
// Wine moves at most about 2 GiB in one call; half of that is far from the limit.
static const SIZE_T NATIVE_IO_STEP = (SIZE_T)1 << 30;

// A path longer than NATIVE_PATH_MAX_UNITS is refused with this status, before anything is opened.
#define STATUS_PATH_TOO_LONG ((NTSTATUS)0xC0000106L)   // the system's "name too long"

NTSTATUS file_open(HANDLE *file, const WCHAR *path, ULONG access, ULONG share, ULONG disposition,
                   ULONG options);
// Whole transfers at offset, in calls of at most NATIVE_IO_STEP bytes; one that moves nothing
// counts as failed.
NTSTATUS file_read(HANDLE file, void *buffer, SIZE_T count, uint64_t offset);
NTSTATUS file_write(HANDLE file, const void *buffer, SIZE_T count, uint64_t offset);
NTSTATUS file_set_length(HANDLE file, uint64_t length);
NTSTATUS file_reserve(HANDLE file, uint64_t length);   // allocation size: room on the disk; not every file system can
NTSTATUS file_flush(HANDLE file);
NTSTATUS file_delete_on_close(HANDLE file);
NTSTATUS file_keep_on_close(HANDLE file);   // takes back file_delete_on_close
// Gives the open file the name path, replacing a file of that name (which must not be open) when
// replace is set.
NTSTATUS file_rename(HANDLE file, const WCHAR *path, bool replace);
NTSTATUS file_set_attributes(HANDLE file, ULONG attributes);
// What a file that takes another's place keeps of it: attributes, creation time, access list.
// from needs FILE_READ_ATTRIBUTES and READ_CONTROL, to FILE_WRITE_ATTRIBUTES and WRITE_DAC.
NTSTATUS file_copy_identity(HANDLE from, HANDLE to);
void file_close(HANDLE file);

// What a command needs to know of an open handle before it touches anything.
struct FileFacts {
    uint64_t length;   // the whole end-of-file position
    ULONG links;       // names of the file
    bool directory;
    bool disk;         // a file on a disk volume, not a device
};
NTSTATUS file_facts(HANDLE file, FileFacts *facts);
// Whether the name itself is a symbolic link or a junction (a reparse point that names another
// file), which an open would follow; other reparse points hold their file's own data.
NTSTATUS path_is_link(const WCHAR *path, bool *link);
// Free to the caller on the file's volume, and the unit in which files take room there.
NTSTATUS volume_space(HANDLE file, uint64_t *free_bytes, uint32_t *unit_bytes);

void *pages_allocate(SIZE_T size, ULONG protection);   // zero-filled; NULL on failure
void pages_release(void *buffer);                       // the whole allocation

typedef DWORD(WINAPI *ThreadEntry)(void *parameter);
HANDLE thread_start(ThreadEntry entry, void *parameter);   // NULL on failure
void thread_stop(HANDLE thread);                            // terminate from outside
__declspec(noreturn) void thread_end(void);                 // threads end themselves this way
NTSTATUS thread_wait(HANDLE thread, DWORD milliseconds);   // 0 once it has ended
void thread_sleep(DWORD milliseconds);
void handle_close(HANDLE handle);
__declspec(noreturn) void process_end(void);                // exit status 0

// Copies source with its terminator; false (destination cut and terminated) when it does not fit.
bool wide_copy(WCHAR *destination, SIZE_T capacity_units, const WCHAR *source);
SIZE_T wide_byte_length(const WCHAR *text);
void zero_bytes(void *buffer, SIZE_T bytes);
