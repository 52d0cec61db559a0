#include "tests/support/big_files.h"

#include <string.h>

#include <vector>

#include "core/container.h"
#include "core/stream.h"
#include "tests/support/files.h"

// Every read of these files starts at a chunk's start.
static void fill_chunk(uint8_t *to, size_t bytes, uint64_t offset, uint64_t seed)
{
    if (seed == 0)
        memset(to, 0, bytes);
    else
        fill_random(to, bytes, seed * 1000003u + offset / BIG_CHUNK);
}

static HANDLE open_big(At at, const std::wstring &path, bool write)
{
    HANDLE file = CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ, nullptr,
                              write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        stop_at(at, "cannot open " + utf8(path) + ": error " + std::to_string(GetLastError()));
    return file;
}

static bool read_at(HANDLE file, void *buffer, size_t bytes, uint64_t offset)
{
    OVERLAPPED where = {};
    where.Offset = (DWORD)offset;
    where.OffsetHigh = (DWORD)(offset >> 32);
    DWORD got = 0;
    return ReadFile(file, buffer, (DWORD)bytes, &got, &where) && got == bytes;
}

void make_big_file(At at, const std::wstring &path, uint64_t length, uint64_t seed)
{
    if (seed == 0)
        return make_sparse(at, path, length);
    HANDLE file = open_big(at, path, true);
    std::vector<uint8_t> chunk(BIG_CHUNK);
    for (uint64_t done = 0; done < length; done += BIG_CHUNK) {
        DWORD bytes = (DWORD)(length - done < BIG_CHUNK ? length - done : BIG_CHUNK), put = 0;
        fill_chunk(chunk.data(), bytes, done, seed);
        if (!WriteFile(file, chunk.data(), bytes, &put, nullptr) || put != bytes) {
            CloseHandle(file);
            stop_at(at, "cannot write " + utf8(path) + ": error " + std::to_string(GetLastError()));
        }
    }
    CloseHandle(file);
}

void expect_big_plain(At at, const std::wstring &path, uint64_t length, uint64_t seed)
{
    uint64_t size = file_size(at, path);
    if (size != length)
        return fail_at(at, utf8(path) + " is " + std::to_string(size) + " bytes, expected " + std::to_string(length));
    HANDLE file = open_big(at, path, false);
    std::vector<uint8_t> got(BIG_CHUNK), expected(BIG_CHUNK);
    for (uint64_t done = 0; done < length; done += BIG_CHUNK) {
        size_t bytes = (size_t)(length - done < BIG_CHUNK ? length - done : BIG_CHUNK);
        fill_chunk(expected.data(), bytes, done, seed);
        if (!read_at(file, got.data(), bytes, done) || memcmp(got.data(), expected.data(), bytes) != 0) {
            fail_at(at, utf8(path) + " differs in its bytes from " + std::to_string(done));
            break;
        }
    }
    CloseHandle(file);
}

// The core's pass reads the plaintext made again and writes what it makes into a comparison
// with the container on the disk.
struct Comparison {
    HANDLE container;
    uint64_t seed;
    std::vector<uint8_t> got;
    uint64_t differs_at;
};

static bool plaintext(void *context, void *buffer, size_t bytes, uint64_t offset)
{
    fill_chunk((uint8_t *)buffer, bytes, offset, ((Comparison *)context)->seed);
    return true;
}

static bool compare(void *context, const void *buffer, size_t bytes, uint64_t offset)
{
    Comparison *c = (Comparison *)context;
    c->got.resize(bytes);
    if (!read_at(c->container, c->got.data(), bytes, offset) || memcmp(c->got.data(), buffer, bytes) != 0) {
        c->differs_at = offset;
        return false;
    }
    return true;
}

void expect_big_container(At at, const std::wstring &path, uint64_t length, uint64_t seed,
                          const std::wstring &password)
{
    uint64_t size = file_size(at, path), expected = CONTAINER_HEADER_SIZE + 4 * ((length + 3) / 4);
    if (size != expected)
        return fail_at(at, utf8(path) + " is " + std::to_string(size) + " bytes, expected " + std::to_string(expected));
    Comparison c = {open_big(at, path, false), seed, {}, 0};
    uint8_t header[CONTAINER_HEADER_SIZE];
    if (!read_at(c.container, header, sizeof header, 0)) {
        CloseHandle(c.container);
        stop_at(at, "cannot read the header of " + utf8(path));
    }
    if (container_check(header) != check_value(password))
        fail_at(at, "the check word is not the password's");
    std::vector<uint8_t> chunk(4 + BIG_CHUNK);
    StreamIo io = {&c, plaintext, compare, nullptr};
    if (stream_encrypt(&io, chunk.data() + 4, BIG_CHUNK, (uint32_t)length, container_check(header),
                       container_stamp(header)) != STREAM_DONE)
        fail_at(at, utf8(path) + " differs from the container the core makes, in its bytes from " +
                        std::to_string(c.differs_at));
    CloseHandle(c.container);
}
