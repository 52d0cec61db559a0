// What the command-line program needs from the system: files, renames, the terminal and a clock.
// One implementation per system, chosen by which file is linked. Paths and texts are UTF-8.
#pragma once
#include <stddef.h>
#include <stdint.h>

typedef intptr_t PlatformFile;
enum { NO_FILE = -1 };

// The plain-file rule, alike on both systems: a file is taken when its name leads to stored data
// of its own. Folders, devices (pipes, sockets and terminals too) and symbolic links are refused;
// a plain file that is another kind of reparse point on Windows (deduplicated, cloud or
// hierarchical storage) is a plain file. A name that cannot be looked at fails with its reason.
enum FileKind { KIND_MISSING, KIND_PLAIN, KIND_FOLDER, KIND_LINK, KIND_DEVICE };

struct FileFacts {
    FileKind kind;
    uint64_t size;
    uint32_t links;     // names the file has
    uint32_t mode;      // permission bits, where the system has them
};

enum OpenMode { OPEN_READ, OPEN_WRITE, OPEN_SHRED };

// Each call returns true on success; on failure platform_reason() says why, in a few words.
const char *platform_reason(void);

// Facts of the name itself, a symbolic link not followed; a missing name is KIND_MISSING.
bool path_facts(const char *path, FileFacts *facts);
// Opens an existing plain file, never through a link; the facts are those of the opened file.
// OPEN_SHRED also lets file_delete_open remove it.
bool file_open_existing(const char *path, OpenMode mode, PlatformFile *file, FileFacts *facts);
// Creates a new file of a fresh temporary name (TEMP_PREFIX + six characters) in folder; its path
// goes to name (room for name_size bytes). An interruption removes it until path_rename or
// path_delete takes it.
bool file_create_temp(const char *folder, char *name, size_t name_size, PlatformFile *file);
// Whole transfers or failure: a call that moves nothing fails rather than trying again forever.
bool file_read_at(PlatformFile file, void *buffer, size_t count, uint64_t offset);
bool file_write_at(PlatformFile file, const void *buffer, size_t count, uint64_t offset);
bool file_set_size(PlatformFile file, uint64_t size);
// Gives a new file what the file it is to replace has: on Linux its owner (where allowed), mode,
// ACLs and extended attributes (on Windows the replace itself keeps them); with nothing to
// replace, the source's mode. False when some of it could not be given.
bool file_inherit(PlatformFile file, const char *replaced, const FileFacts *source);
bool file_flush(PlatformFile file);        // to the disk, not only the system's cache
// Removes the open file itself, which its name may no longer lead to, and closes it.
bool file_delete_open(PlatformFile file, const char *path);
void file_close(PlatformFile file);
// Moves from onto to; an existing to is replaced only with replace.
bool path_rename(const char *from, const char *to, bool replace);
// Makes a rename in path's folder last through a crash.
bool folder_flush(const char *path);
bool path_delete(const char *path);

// Passwords come as UTF-16, cut to units − 1 units as the password box cuts them, and a
// terminating zero. These give 1 for a password, 0 when there is none to be had (no terminal, no
// such variable) and −1 for text that cannot be a password.
// The terminal itself (not the standard streams): one line, not echoed.
int terminal_password(const char *prompt, char16_t *password, size_t units);
// Asks a yes/no question on the terminal; false for anything but yes, or without a terminal.
bool terminal_confirm(const char *question);
bool error_is_terminal(void);
int environment_password(const char *name, char16_t *password, size_t units);
// The first line of a password file, a pipe or a device, up to size bytes (without its line end);
// follows links, refuses folders.
bool password_file_line(const char *path, char *line, size_t size, size_t *length);

void print_out(const char *text);
void print_error(const char *text);
uint64_t clock_ms(void);                  // monotonic milliseconds

#define TEMP_PREFIX ".qvx-tmp-"
