#include "cli/commands.h"

#include <stdio.h>
#include <string.h>

#include "cli/platform.h"
#include "cli/text.h"
#include "core/container.h"
#include "core/stream.h"

// One chunk in flight: large enough that calls cost little, small enough for a few MiB in all.
// The word in front of it takes the word that encryption holds back between chunks.
static const size_t CHUNK_BYTES = 1 << 20;
enum { PROGRESS_EVERY_MS = 250 };
static uint8_t chunk_space[4 + CHUNK_BYTES];
static uint8_t *const chunk = chunk_space + 4;

static const char CONTAINER_SUFFIX[] = ".QVX";

int report_failure(const std::string &path, const std::string &reason, int status)
{
    print_error(("qvx: " + path + ": " + reason + "\n").c_str());
    return status;
}

static int io_failure(const std::string &path, const char *doing)
{
    return report_failure(path, std::string(doing) + ": " + platform_reason(), EXIT_FILE_FAILURE);
}

// Something after the work that did not go as it should, though the result stands.
static void io_warning(const std::string &path, const char *what)
{
    print_error(("qvx: " + path + ": warning: " + what + ": " + platform_reason() + "\n").c_str());
}

// ---- progress line ----

struct Progress {
    bool shown;
    const char *name;
    uint64_t total, start_ms, last_ms;
};

static void progress_begin(Progress *p, const RunOptions *run, const std::string &name, uint64_t total)
{
    p->shown = !run->quiet && error_is_terminal();
    p->name = name.c_str();
    p->total = total;
    p->start_ms = p->last_ms = clock_ms();
}

// Padded to a fixed width rather than cleared by an escape, which older consoles print as is.
enum { PROGRESS_WIDTH = 79 };

static void progress_step(Progress *p, uint64_t done)
{
    uint64_t now = clock_ms();
    if (!p->shown || now - p->last_ms < PROGRESS_EVERY_MS)
        return;
    p->last_ms = now;
    double seconds = (double)(now - p->start_ms) / 1000.0;
    double rate = seconds > 0 ? (double)done / seconds : 0;
    unsigned left = rate > 0 ? (unsigned)((double)(p->total - done) / rate) : 0;
    char line[PROGRESS_WIDTH + 2];
    snprintf(line, sizeof line, "\r%-*.*s", PROGRESS_WIDTH, PROGRESS_WIDTH, "");
    char text[PROGRESS_WIDTH + 1];
    int length = snprintf(text, sizeof text, "%.1f / %.1f MiB  %.1f MiB/s  %u:%02u left  %s",
                          done / 1048576.0, p->total / 1048576.0, rate / 1048576.0, left / 60, left % 60, p->name);
    memcpy(line + 1, text, length < PROGRESS_WIDTH ? (size_t)length : (size_t)PROGRESS_WIDTH);
    print_error(line);
}

static void progress_end(Progress *p)
{
    if (!p->shown || p->last_ms == p->start_ms)
        return;
    char line[PROGRESS_WIDTH + 3];
    snprintf(line, sizeof line, "\r%-*s\r", PROGRESS_WIDTH, "");
    print_error(line);
}

// ---- files ----

// Why a name is not taken, by its kind.
static const char *const REFUSALS[] = {"no such file", nullptr, "a folder, not a plain file",
                                       "a symbolic link, not a plain file", "a device, not a plain file"};

// Opens path as a plain file, refusing what the plain-file rule refuses and temporary files.
static int open_plain(const std::string &path, OpenMode mode, PlatformFile *file, FileFacts *facts)
{
    if (is_temp_name(path))
        return report_failure(path, "a temporary file of an interrupted run; not taken as input", EXIT_FILE_FAILURE);
    if (!path_facts(path.c_str(), facts))
        return io_failure(path, "cannot look at it");
    if (facts->kind != KIND_PLAIN)
        return report_failure(path, REFUSALS[facts->kind], EXIT_FILE_FAILURE);
    if (!file_open_existing(path.c_str(), mode, file, facts))
        return io_failure(path, "cannot open it");
    return EXIT_DONE;
}

// An output name may be taken when nothing is there, or a plain file and --force was given.
static int check_target(const RunOptions *run, const std::string &target)
{
    if (is_temp_name(target))
        return report_failure(target, "a temporary file's name; not taken as output", EXIT_FILE_FAILURE);
    FileFacts facts;
    if (!path_facts(target.c_str(), &facts))
        return io_failure(target, "cannot look at it");
    if (facts.kind == KIND_MISSING)
        return EXIT_DONE;
    if (facts.kind != KIND_PLAIN)
        return report_failure(target, "exists and is not a plain file", EXIT_FILE_FAILURE);
    if (!run->force)
        return report_failure(target, "exists (--force replaces it)", EXIT_FILE_FAILURE);
    return EXIT_DONE;
}

// Replacing a file by rename leaves its other names with the old data.
static int check_in_place(const std::string &path, const FileFacts *facts)
{
    if (facts->links > 1)
        return report_failure(path, "has other hard links; not replaced in place", EXIT_FILE_FAILURE);
    return EXIT_DONE;
}

struct Output {
    PlatformFile file;
    char temp[4096];
};

static int output_begin(Output *out, const std::string &target)
{
    out->file = NO_FILE;
    if (!file_create_temp(folder_prefix(target).c_str(), out->temp, sizeof out->temp, &out->file))
        return io_failure(target, "cannot create a temporary file beside it");
    return EXIT_DONE;
}

// The whole result reaches the disk under its temporary name, then takes the target's name. Once
// it has, the command is done: what fails after that is only a warning, lest a retry redo it.
static int output_finish(Output *out, const FileFacts *source, const std::string &target, bool replace)
{
    if (!file_inherit(out->file, target.c_str(), source))
        io_warning(target, "its owner, mode or attributes are not all kept");
    bool ok = file_flush(out->file);
    file_close(out->file);
    out->file = NO_FILE;
    if (!ok || !path_rename(out->temp, target.c_str(), replace)) {
        int status = io_failure(target, "cannot write it");
        path_delete(out->temp);
        return status;
    }
    if (!folder_flush(target.c_str()))
        io_warning(target, "written, but its folder could not be flushed to the disk");
    return EXIT_DONE;
}

static int output_abandon(Output *out, int status)
{
    if (out->file != NO_FILE) {
        file_close(out->file);
        path_delete(out->temp);
    }
    return status;
}

static void report_done(const RunOptions *run, const char *what, const std::string &from, const std::string &to)
{
    if (!run->quiet)
        print_out((std::string(what) + ": " + from + " -> " + to + "\n").c_str());
}

// ---- encrypt ----

// The streaming passes read the file and write the temporary output; the progress line follows.
struct Passage {
    PlatformFile in, out;
    Progress *progress;
};

static bool read_input(void *passage, void *buffer, size_t bytes, uint64_t offset)
{
    return file_read_at(((Passage *)passage)->in, buffer, bytes, offset);
}

static bool write_output(void *passage, const void *buffer, size_t bytes, uint64_t offset)
{
    return file_write_at(((Passage *)passage)->out, buffer, bytes, offset);
}

static void advance(void *passage, uint64_t done) { progress_step(((Passage *)passage)->progress, done); }

static int stream_status(StreamResult result, const std::string &path)
{
    return result == STREAM_DONE ? EXIT_DONE : io_failure(path, result == STREAM_READ_FAILED ? "cannot read" : "cannot write");
}

int encrypt_file(const RunOptions *run, const std::string &path)
{
    PlatformFile in;
    FileFacts facts;
    int status = open_plain(path, OPEN_READ, &in, &facts);
    if (status != EXIT_DONE)
        return status;
    std::string target = run->in_place ? path : path + CONTAINER_SUFFIX;
    Output out = {NO_FILE, {0}};
    if (facts.size > PLAIN_MAX_LENGTH)
        status = report_failure(path, "too large: a container holds at most 4294967280 bytes", EXIT_FILE_FAILURE);
    else if (run->in_place)
        status = check_in_place(path, &facts);
    else
        status = check_target(run, target);
    if (status == EXIT_DONE)
        status = output_begin(&out, target);
    if (status == EXIT_DONE) {
        Progress progress;
        progress_begin(&progress, run, path, facts.size);
        Passage passage = {in, out.file, &progress};
        StreamIo io = {&passage, read_input, write_output, advance};
        status = stream_status(stream_encrypt(&io, chunk, CHUNK_BYTES, (uint32_t)facts.size,
                                              derive_check(run->password), read_stamp()), path);
        progress_end(&progress);
    }
    file_close(in);
    if (status != EXIT_DONE)
        return output_abandon(&out, status);
    status = output_finish(&out, &facts, target, run->in_place || run->force);
    if (status == EXIT_DONE)
        report_done(run, "encrypted", path, target);
    return status;
}

// ---- decrypt ----

// Reads and checks the header; the layout of a container that may be opened.
static int open_container(const std::string &path, PlatformFile in, const FileFacts *facts,
                          uint8_t header[CONTAINER_HEADER_SIZE], ContainerLayout *layout)
{
    if (facts->size < CONTAINER_HEADER_SIZE)
        return report_failure(path, "damaged: shorter than a container's header", EXIT_DAMAGED);
    if (!file_read_at(in, header, CONTAINER_HEADER_SIZE, 0))
        return io_failure(path, "cannot read");
    if (facts->size > 0xFFFFFFFFu)
        return report_failure(path, "damaged: longer than any container", EXIT_DAMAGED);
    if (!container_layout(header, facts->size, layout))
        return report_failure(path, "damaged: its header names more data than it holds", EXIT_DAMAGED);
    return EXIT_DONE;
}

static int decrypt_target(const RunOptions *run, const std::string &path, std::string *target)
{
    if (run->in_place)
        *target = path;
    else if (!run->output.empty())
        *target = run->output;
    else if (!strip_container_suffix(path, target))
        return report_failure(path, "no .QVX suffix to take off: give -o OUT or --in-place", EXIT_USAGE);
    return EXIT_DONE;
}

int decrypt_file(const RunOptions *run, const std::string &path)
{
    std::string target;
    int status = decrypt_target(run, path, &target);
    if (status != EXIT_DONE)
        return status;
    PlatformFile in;
    FileFacts facts;
    status = open_plain(path, OPEN_READ, &in, &facts);
    if (status != EXIT_DONE)
        return status;
    uint8_t header[CONTAINER_HEADER_SIZE];
    ContainerLayout layout;
    Output out = {NO_FILE, {0}};
    status = open_container(path, in, &facts, header, &layout);
    if (status == EXIT_DONE && container_check(header) != derive_check(run->password))
        status = report_failure(path, "wrong password", EXIT_WRONG_PASSWORD);
    if (status == EXIT_DONE)
        status = run->in_place ? check_in_place(path, &facts) : check_target(run, target);
    if (status == EXIT_DONE)
        status = output_begin(&out, target);
    if (status == EXIT_DONE) {
        Progress progress;
        progress_begin(&progress, run, path, facts.size - CONTAINER_HEADER_SIZE);
        Passage passage = {in, out.file, &progress};
        StreamIo io = {&passage, read_input, write_output, advance};
        // Sized first, so that the writes walking down the file never move its end.
        status = file_set_size(out.file, layout.plain_len)
                     ? stream_status(stream_decrypt(&io, chunk, CHUNK_BYTES, header, &layout), path)
                     : io_failure(path, "cannot write");
        progress_end(&progress);
    }
    file_close(in);
    if (status != EXIT_DONE)
        return output_abandon(&out, status);
    status = output_finish(&out, &facts, target, run->in_place || run->force);
    if (status == EXIT_DONE)
        report_done(run, "decrypted", path, target);
    return status;
}

// ---- shred ----

static int overwrite(PlatformFile file, uint64_t size, const std::string &path)
{
    for (size_t i = 0; i < CHUNK_BYTES; i++)
        chunk[i] = PRODUCT_MAGIC[i % sizeof PRODUCT_MAGIC];
    for (uint64_t at = 0; at < size; at += CHUNK_BYTES) {
        size_t bytes = size - at < CHUNK_BYTES ? (size_t)(size - at) : CHUNK_BYTES;
        if (!file_write_at(file, chunk, bytes, at))
            return io_failure(path, "cannot overwrite");
    }
    if (!file_flush(file) || !file_set_size(file, 0) || !file_flush(file))
        return io_failure(path, "cannot overwrite");
    return EXIT_DONE;
}

int shred_file(const RunOptions *run, const std::string &path)
{
    PlatformFile file;
    FileFacts facts;
    int status = open_plain(path, OPEN_SHRED, &file, &facts);
    if (status != EXIT_DONE)
        return status;
    if (facts.links > 1)
        status = report_failure(path, "has other hard links; their data would stay", EXIT_FILE_FAILURE);
    if (status == EXIT_DONE)
        status = overwrite(file, facts.size, path);
    if (status != EXIT_DONE)
        file_close(file);
    else if (!file_delete_open(file, path.c_str()))
        status = io_failure(path, "overwritten but not deleted");
    if (status == EXIT_DONE && !run->quiet)
        print_out(("shredded: " + path + "\n").c_str());
    return status;
}

// ---- info and verify ----

// The header and layout of a container, and nothing more of it.
static int read_header(const std::string &path, uint8_t header[CONTAINER_HEADER_SIZE], ContainerLayout *layout)
{
    PlatformFile in;
    FileFacts facts;
    int status = open_plain(path, OPEN_READ, &in, &facts);
    if (status != EXIT_DONE)
        return status;
    status = open_container(path, in, &facts, header, layout);
    file_close(in);
    return status;
}

int info_file(const RunOptions *, const std::string &path)
{
    uint8_t header[CONTAINER_HEADER_SIZE];
    ContainerLayout layout;
    int status = read_header(path, header, &layout);
    if (status != EXIT_DONE)
        return status;
    char line[160];
    snprintf(line, sizeof line, ": plaintext %lu bytes, stamp %08lX, %s\n", (unsigned long)layout.plain_len,
             (unsigned long)container_stamp(header),
             container_whole(&layout) ? "whole" : "opens, but longer than encryption makes it");
    print_out((path + line).c_str());
    return EXIT_DONE;
}

// The header and the length are all there is to check: the data has no checksum.
int verify_file(const RunOptions *run, const std::string &path)
{
    uint8_t header[CONTAINER_HEADER_SIZE];
    ContainerLayout layout;
    int status = read_header(path, header, &layout);
    if (status != EXIT_DONE)
        return status;
    if (!container_whole(&layout))
        return report_failure(path, "damaged: longer than encryption makes a container of its plaintext", EXIT_DAMAGED);
    if (container_check(header) != derive_check(run->password))
        return report_failure(path, "wrong password", EXIT_WRONG_PASSWORD);
    if (!run->quiet)
        print_out((path + ": whole, and the password is right\n").c_str());
    return EXIT_DONE;
}
