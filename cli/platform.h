// What the command-line program needs from the system: files, renames, the terminal and a clock.
// One implementation per system, chosen by which file is linked. Paths and texts are UTF-8.
#pragma once
#include <stddef.h>
#include <stdint.h>

typedef intptr_t PlatformFile;
enum { NO_FILE = -1 };

enum FileKind { KIND_MISSING, KIND_PLAIN, KIND_FOLDER, KIND_LINK, KIND_OTHER };

struct FileFacts {
    FileKind kind;
    uint64_t size;
    uint32_t links;     // names the file has
    uint32_t mode;      // permission bits, where the system has them
};

// Each call returns true on success; on failure platform_reason() says why, in a few words.
const char *platform_reason(void);

// Facts of the name itself, a symbolic link not followed.
bool path_facts(const char *path, FileFacts *facts);
// Opens an existing plain file for reading (writing too with write), never through a link; the
// facts are those of the opened file.
bool file_open_existing(const char *path, bool write, PlatformFile *file, FileFacts *facts);
// Creates a new file of a fresh temporary name (TEMP_PREFIX + six characters) in folder; its path
// goes to name (room for name_size bytes).
bool file_create_temp(const char *folder, char *name, size_t name_size, PlatformFile *file);
bool file_read_at(PlatformFile file, void *buffer, size_t count, uint64_t offset);
bool file_write_at(PlatformFile file, const void *buffer, size_t count, uint64_t offset);
bool file_set_size(PlatformFile file, uint64_t size);
bool file_copy_mode(PlatformFile file, const FileFacts *from);
bool file_flush(PlatformFile file);        // to the disk, not only the system's cache
void file_close(PlatformFile file);
// Moves from onto to; an existing to is replaced only with replace. The folder entry is flushed.
bool path_rename(const char *from, const char *to, bool replace);
bool path_delete(const char *path);

// Passwords come as UTF-16 of at most units − 1 units (cut there) and a terminating zero. These
// give 1 for a password, 0 when there is none to be had (no terminal, no such variable) and −1
// for text that cannot be a password.
// The terminal: one line, not echoed.
int terminal_password(const char *prompt, char16_t *password, size_t units);
// Asks a yes/no question; false for anything but yes, or without a terminal.
bool terminal_confirm(const char *question);
bool error_is_terminal(void);
int environment_password(const char *name, char16_t *password, size_t units);

void print_out(const char *text);
void print_error(const char *text);
uint64_t clock_ms(void);                  // monotonic milliseconds

#define TEMP_PREFIX ".qvx-tmp-"
