#include "fileops/output.h"

#include <ntstatus.h>

#include "app/app_state.h"
#include "app/feedback.h"
#include "app/lifetime.h"
#include "core/container.h"
#include "fileops/open_modes.h"
#include "native/native.h"

static const WCHAR OUTPUT_SUFFIX[] = L".QVX";
// The command-line program's prefix too: neither program takes such a name as its input.
static const WCHAR TEMP_PREFIX[] = L".qvx-tmp-";
static const char TEMP_LETTERS[] = "abcdefghijklmnopqrstuvwxyz0123456789";
enum { TEMP_PREFIX_UNITS = 9, TEMP_RANDOM_UNITS = 6, TEMP_TRIES = 16 };

// The whole allocation units a length takes on the volume.
static uint64_t units_of(uint64_t length, uint32_t unit) { return (length + unit - 1) / unit; }

// Where the volume will not tell its free space, the write itself tells a full disk.
static bool room_for_copy(void)
{
    uint64_t free_bytes;
    uint32_t unit;
    if (volume_space(app.file, &free_bytes, &unit) != 0)
        return true;
    return units_of(app.output_length, unit) * unit <= free_bytes;
}

// Where a file's own name starts in its path.
static SIZE_T name_at(const WCHAR *path)
{
    SIZE_T at = 0;
    for (SIZE_T i = 0; path[i] != 0; i++)
        if (path[i] == L'\\' || path[i] == L'/')
            at = i + 1;
    return at;
}

// A replacement would give the other names of the file the old data to keep.
int choose_output(ULONG links)
{
    if (!app.overwrite)
        return OUTPUT_NEW_FILE;
    bool name_fits = name_at(app.command_path) + TEMP_PREFIX_UNITS + TEMP_RANDOM_UNITS <= NATIVE_PATH_MAX_UNITS;
    return links <= 1 && name_fits && room_for_copy() ? OUTPUT_REPLACEMENT : OUTPUT_IN_PLACE;
}

static NTSTATUS create_file(const WCHAR *path, ULONG access)
{
    return file_open(&app.output, path, access, OUTPUT_SHARE, OUTPUT_DISPOSITION, OPEN_OPTIONS);
}

// In one buffer the source's bytes are all read already; a streaming pass still reads them.
static bool create_new_file(void)
{
    if (!app.streaming) {
        file_close(app.file);
        app.file = NULL;
    }
    SIZE_T units = wide_byte_length(app.command_path) / 2;
    wide_copy(app.command_path + units, OUTPUT_SUFFIX_UNITS + 1, OUTPUT_SUFFIX);
    return create_file(app.command_path, OUTPUT_ACCESS) == 0;
}

// A name of the prefix and six letters that no file of the folder has yet.
static bool create_replacement(void)
{
    WCHAR path[PATH_UNITS];
    wide_copy(path, PATH_UNITS, app.command_path);
    WCHAR *name = path + name_at(path);
    wide_copy(name, TEMP_PREFIX_UNITS + 1, TEMP_PREFIX);
    uint32_t state = read_stamp();
    for (int attempt = 0; attempt < TEMP_TRIES; attempt++) {
        for (int i = 0; i < TEMP_RANDOM_UNITS; i++) {
            state = state * 1103515245u + 12345u;
            name[TEMP_PREFIX_UNITS + i] = (WCHAR)TEMP_LETTERS[(state >> 16) % (sizeof TEMP_LETTERS - 1)];
        }
        name[TEMP_PREFIX_UNITS + TEMP_RANDOM_UNITS] = 0;
        NTSTATUS status = create_file(path, REPLACEMENT_ACCESS);
        if (status != STATUS_OBJECT_NAME_COLLISION)
            return status == 0;
    }
    return false;
}

bool open_output(void)
{
    if (app.output_way == OUTPUT_IN_PLACE)
        return true;
    bool created = app.output_way == OUTPUT_NEW_FILE ? create_new_file() : create_replacement();
    // Until it is written whole, however the command or the process ends.
    if (!created || file_delete_on_close(app.output) != 0)
        return false;
    return app.output_way == OUTPUT_NEW_FILE || file_set_attributes(app.output, FILE_ATTRIBUTE_HIDDEN) == 0;
}

// Room for a file that grows in place, made sure of before it is touched. Where the file system
// cannot reserve (or will not say why not), the volume's free space decides.
static bool room_to_grow(void)
{
    if (file_reserve(app.file, app.output_length) == 0)
        return true;
    uint64_t free_bytes;
    uint32_t unit;
    if (volume_space(app.file, &free_bytes, &unit) != 0)
        return true;
    return (units_of(app.output_length, unit) - units_of(app.file_length, unit)) * unit <= free_bytes;
}

// A file that shrinks loses the container's extra bytes after the write.
static bool write_in_place(const uint8_t *result)
{
    if (!begin_in_place_write())
        thread_end();
    set_status(STATUS_WRITING);
    bool grows = app.output_length > app.file_length;
    bool written = (!grows || (room_to_grow() && file_set_length(app.file, app.output_length) == 0))
                && file_write(app.file, result, app.output_length, 0) == 0
                && file_set_length(app.file, app.output_length) == 0 && file_flush(app.file) == 0;
    end_in_place_write();
    return written;
}

bool write_output(const uint8_t *result)
{
    if (app.output_way == OUTPUT_IN_PLACE)
        return write_in_place(result);
    set_status(STATUS_WRITING);
    return file_write(app.output, result, app.output_length, 0) == 0;
}

// The source stays as it was until the one rename that puts the whole result in its place; a way
// out of the process waits for that step, so that the result never stays under its hidden name.
static bool replace_source(void)
{
    if (file_copy_identity(app.file, app.output) != 0 || file_flush(app.output) != 0)
        return false;
    if (!begin_in_place_write())
        thread_end();
    file_close(app.file);   // an open file cannot be replaced
    app.file = NULL;
    bool replaced = file_keep_on_close(app.output) == 0 && file_rename(app.output, app.command_path, true) == 0;
    if (!replaced)
        file_delete_on_close(app.output);
    end_in_place_write();
    return replaced;
}

bool finish_output(void)
{
    switch (app.output_way) {
    case OUTPUT_NEW_FILE:
        return file_flush(app.output) == 0 && file_keep_on_close(app.output) == 0;
    case OUTPUT_REPLACEMENT:
        return replace_source();
    default:
        return true;   // written, cut and flushed in place
    }
}
