// The command-line program's system calls on Linux.
#include "cli/platform.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "cli/text.h"
#include "core/wipe.h"

int qvx_main(int argc, char **argv);

// The temporary file being written, so that an interruption from the keyboard or a hang-up
// takes it away (a kill cannot; its name marks it as no result).
static char current_temp[4096];
static volatile sig_atomic_t temp_open;
// The terminal whose echo a password prompt has turned off, to be turned on again however we end.
static struct termios echoing;
static volatile sig_atomic_t echo_off_on = -1;

static void interrupted(int signal_number)
{
    if (temp_open)
        unlink(current_temp);
    if (echo_off_on >= 0)
        tcsetattr(echo_off_on, TCSANOW, &echoing);
    signal(signal_number, SIG_DFL);
    raise(signal_number);
}

int main(int argc, char **argv)
{
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP})
        signal(signal_number, interrupted);
    return qvx_main(argc, argv);
}

static const char *reason = "";
static char reason_text[128];

const char *platform_reason(void) { return reason; }

static bool fail_errno(void)
{
    snprintf(reason_text, sizeof reason_text, "%s", strerror(errno));
    reason = reason_text;
    return false;
}

static bool fail_with(const char *text)
{
    reason = text;
    return false;
}

static void fill_facts(const struct stat *st, FileFacts *facts)
{
    facts->kind = S_ISREG(st->st_mode) ? KIND_PLAIN : S_ISDIR(st->st_mode) ? KIND_FOLDER
                : S_ISLNK(st->st_mode) ? KIND_LINK : KIND_DEVICE;
    facts->size = (uint64_t)st->st_size;
    facts->links = (uint32_t)st->st_nlink;
    facts->mode = (uint32_t)st->st_mode & 0777;
}

bool path_facts(const char *path, FileFacts *facts)
{
    struct stat st;
    if (lstat(path, &st) == 0) {
        fill_facts(&st, facts);
        return true;
    }
    if (errno != ENOENT)
        return fail_errno();
    facts->kind = KIND_MISSING;
    return true;
}

bool file_open_existing(const char *path, OpenMode mode, PlatformFile *file, FileFacts *facts)
{
    // Not blocking, so that a pipe's name cannot hold the program before it is refused.
    int fd = open(path, (mode == OPEN_READ ? O_RDONLY : O_RDWR) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail_errno();
    struct stat st;
    if (fstat(fd, &st) != 0 || fcntl(fd, F_SETFL, 0) != 0) {
        fail_errno();
        close(fd);
        return false;
    }
    fill_facts(&st, facts);
    if (facts->kind != KIND_PLAIN) {
        close(fd);
        return fail_with("not a plain file");
    }
    *file = fd;
    return true;
}

bool file_create_temp(const char *folder, char *name, size_t name_size, PlatformFile *file)
{
    if ((size_t)snprintf(name, name_size, "%s" TEMP_PREFIX "XXXXXX", folder) >= name_size)
        return fail_with("name too long");
    if (strlen(name) >= sizeof current_temp)
        return fail_with("name too long");
    temp_open = 0;
    strcpy(current_temp, name);
    int fd = mkostemp(current_temp, O_CLOEXEC);
    if (fd < 0)
        return fail_errno();
    temp_open = 1;
    strcpy(name, current_temp);
    *file = fd;
    return true;
}

bool file_read_at(PlatformFile file, void *buffer, size_t count, uint64_t offset)
{
    for (size_t done = 0; done < count;) {
        ssize_t got = pread((int)file, (char *)buffer + done, count - done, (off_t)(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return fail_errno();
        if (got == 0)
            return fail_with("the file became shorter while it was read");
        done += (size_t)got;
    }
    return true;
}

bool file_write_at(PlatformFile file, const void *buffer, size_t count, uint64_t offset)
{
    for (size_t done = 0; done < count;) {
        ssize_t put = pwrite((int)file, (const char *)buffer + done, count - done, (off_t)(offset + done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            return fail_errno();
        if (put == 0)
            return fail_with("the system wrote nothing");
        done += (size_t)put;
    }
    return true;
}

bool file_set_size(PlatformFile file, uint64_t size)
{
    return ftruncate((int)file, (off_t)size) == 0 || fail_errno();
}

// Both at most what the system allows a file.
static char attribute_names[XATTR_LIST_MAX];
static char attribute_value[XATTR_SIZE_MAX];

// ACLs are extended attributes too (system.posix_acl_access), so this copies them as well.
static bool copy_attributes(const char *from, int to)
{
    ssize_t size = llistxattr(from, attribute_names, sizeof attribute_names);
    if (size < 0)
        return errno == ENOTSUP || fail_errno();
    bool ok = true;
    for (const char *name = attribute_names; name < attribute_names + size; name += strlen(name) + 1) {
        ssize_t length = lgetxattr(from, name, attribute_value, sizeof attribute_value);
        if (length < 0 || fsetxattr(to, name, attribute_value, (size_t)length, 0) != 0)
            ok = fail_errno();
    }
    return ok;
}

// The owner first: giving a file away clears its set-id bits, which the mode then puts back.
bool file_inherit(PlatformFile file, const char *replaced, const FileFacts *source)
{
    int fd = (int)file;
    struct stat st;
    if (lstat(replaced, &st) != 0)
        return errno == ENOENT ? fchmod(fd, (mode_t)source->mode) == 0 || fail_errno() : fail_errno();
    // Kept where allowed: only root gives a file to another user, and a group to one it is not in.
    bool ok = fchown(fd, st.st_uid, st.st_gid) == 0 || fchown(fd, (uid_t)-1, st.st_gid) == 0 || errno == EPERM
           || fail_errno();
    ok = (fchmod(fd, st.st_mode & 07777) == 0 || fail_errno()) && ok;
    return copy_attributes(replaced, fd) && ok;
}

bool file_flush(PlatformFile file) { return fsync((int)file) == 0 || fail_errno(); }

void file_close(PlatformFile file) { close((int)file); }

// Linux deletes by name only: the name must still lead to the file that was overwritten.
bool file_delete_open(PlatformFile file, const char *path)
{
    struct stat opened, named;
    bool ok = fstat((int)file, &opened) == 0 && lstat(path, &named) == 0 ? true : fail_errno();
    if (ok && (opened.st_dev != named.st_dev || opened.st_ino != named.st_ino))
        ok = fail_with("its name now leads to another file, which is left as it is");
    if (ok && unlink(path) != 0)
        ok = fail_errno();
    close((int)file);
    return ok;
}

// The rename itself must reach the disk too, or a crash could bring back the old entry.
bool folder_flush(const char *path)
{
    std::string folder = folder_prefix(path);
    int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return fail_errno();
    bool ok = fsync(fd) == 0 || errno == EINVAL || fail_errno();
    close(fd);
    return ok;
}

bool path_rename(const char *from, const char *to, bool replace)
{
    temp_open = 0;
    if (replace) {
        if (rename(from, to) != 0)
            return fail_errno();
    } else if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) != 0) {
        if (errno != EINVAL && errno != ENOSYS)
            return fail_errno();
        // File systems without the flag: a second name refuses an existing one just the same.
        if (link(from, to) != 0)
            return fail_errno();
        unlink(from);
    }
    return true;
}

bool path_delete(const char *path)
{
    if (strcmp(path, current_temp) == 0)
        temp_open = 0;
    return unlink(path) == 0 || fail_errno();
}

// One line from the terminal, echoed or not; false without a terminal.
static bool terminal_line(const char *prompt, bool echo, char *line, size_t size)
{
    int tty = open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0)
        return fail_with("no terminal to ask");
    struct termios saved, quiet;
    bool hidden = !echo && tcgetattr(tty, &saved) == 0;
    if (hidden) {
        quiet = saved;
        quiet.c_lflag &= ~(tcflag_t)ECHO;
        echoing = saved;
        echo_off_on = tty;
        tcsetattr(tty, TCSANOW, &quiet);
    }
    ssize_t unused = write(tty, prompt, strlen(prompt));
    (void)unused;
    size_t used = 0;
    char c;
    bool ended = false;
    while (!ended) {
        ssize_t got = read(tty, &c, 1);
        if (got < 0 && errno == EINTR)
            continue;
        ended = got <= 0 || c == '\n';
        if (!ended && c != '\r' && used + 1 < size)
            line[used++] = c;
    }
    line[used] = 0;
    if (hidden) {
        tcsetattr(tty, TCSANOW, &saved);
        echo_off_on = -1;
        unused = write(tty, "\n", 1);
    }
    close(tty);
    return true;
}

int terminal_password(const char *prompt, char16_t *password, size_t units)
{
    char line[2048];
    if (!terminal_line(prompt, false, line, sizeof line))
        return 0;
    bool valid = utf8_to_utf16(line, strlen(line), password, units);
    wipe_secret(line, sizeof line);
    return valid ? 1 : -1;
}

bool terminal_confirm(const char *question)
{
    char line[16];
    return terminal_line(question, true, line, sizeof line) && (line[0] == 'y' || line[0] == 'Y');
}

bool error_is_terminal(void) { return isatty(2) == 1; }

int environment_password(const char *name, char16_t *password, size_t units)
{
    const char *text = getenv(name);
    if (!text)
        return 0;
    return utf8_to_utf16(text, strlen(text), password, units) ? 1 : -1;
}

bool password_file_line(const char *path, char *line, size_t size, size_t *length)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail_errno();
    struct stat st;
    bool ok = fstat(fd, &st) == 0 ? !S_ISDIR(st.st_mode) || fail_with("a folder") : fail_errno();
    size_t used = 0;
    for (bool ended = false; ok && !ended && used < size;) {
        ssize_t got = read(fd, line + used, size - used);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            ok = fail_errno();
        const char *end = got > 0 ? (const char *)memchr(line + used, '\n', (size_t)got) : nullptr;
        ended = got <= 0 || end;
        used = end ? (size_t)(end - line) : used + (got > 0 ? (size_t)got : 0);
    }
    close(fd);
    *length = used;
    return ok;
}

void print_out(const char *text)
{
    fputs(text, stdout);
    fflush(stdout);
}

void print_error(const char *text)
{
    fputs(text, stderr);
    fflush(stderr);
}

uint64_t clock_ms(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (uint64_t)now.tv_sec * 1000 + (uint64_t)now.tv_nsec / 1000000;
}
