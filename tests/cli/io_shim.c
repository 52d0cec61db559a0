/* Preloaded into qvx by its tests to make the system misbehave as no ordinary file system will:
 *   QVX_SHIM_WRITES_NOTHING   every positioned write reports 0 bytes written;
 *   QVX_SHIM_CHMOD_FAILS      fchmod fails as on a file system that keeps no modes;
 *   QVX_SHIM_SWAP_AFTER_CUT=P once a file is cut to nothing, P.other is moved onto P. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

static ssize_t written_nothing(void) { return 0; }

ssize_t pwrite(int fd, const void *buffer, size_t count, off_t offset)
{
    static ssize_t (*real)(int, const void *, size_t, off_t);
    if (getenv("QVX_SHIM_WRITES_NOTHING"))
        return written_nothing();
    if (!real)
        real = (ssize_t(*)(int, const void *, size_t, off_t))dlsym(RTLD_NEXT, "pwrite");
    return real(fd, buffer, count, offset);
}

ssize_t pwrite64(int fd, const void *buffer, size_t count, off_t offset) { return pwrite(fd, buffer, count, offset); }

int fchmod(int fd, mode_t mode)
{
    static int (*real)(int, mode_t);
    if (getenv("QVX_SHIM_CHMOD_FAILS")) {
        errno = EPERM;
        return -1;
    }
    if (!real)
        real = (int (*)(int, mode_t))dlsym(RTLD_NEXT, "fchmod");
    return real(fd, mode);
}

int ftruncate(int fd, off_t length)
{
    static int (*real)(int, off_t);
    if (!real)
        real = (int (*)(int, off_t))dlsym(RTLD_NEXT, "ftruncate");
    int result = real(fd, length);
    const char *path = getenv("QVX_SHIM_SWAP_AFTER_CUT");
    if (result == 0 && length == 0 && path) {
        char other[4096];
        snprintf(other, sizeof other, "%s.other", path);
        rename(other, path);
    }
    return result;
}

int ftruncate64(int fd, off_t length) { return ftruncate(fd, length); }
