#include "files.h"

#include <string.h>

#include <algorithm>

#include "res/resource.h"

void fill_random(uint8_t *data, size_t count, uint64_t seed)
{
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        memcpy(&data[i], &x, 8);
    }
    for (; i < count; i++) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        data[i] = (uint8_t)x;
    }
}

Bytes random_bytes(size_t count, uint64_t seed)
{
    Bytes data(count);
    fill_random(data.data(), count, seed);
    return data;
}

static std::string last_error(const char *what, const std::wstring &path)
{
    return std::string(what) + " " + utf8(path) + ": error " + std::to_string(GetLastError());
}

// Whole files in steps far below the 2 GiB that one call moves at most under Wine.
static bool move_whole(HANDLE file, uint8_t *data, size_t size, bool write)
{
    for (size_t done = 0; done < size;) {
        DWORD part = (DWORD)std::min<size_t>(size - done, 1u << 24), moved = 0;
        BOOL ok = write ? WriteFile(file, data + done, part, &moved, nullptr) : ReadFile(file, data + done, part, &moved, nullptr);
        if (!ok || moved != part)
            return false;
        done += part;
    }
    return true;
}

void write_file(At at, const std::wstring &path, const Bytes &data)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        stop_at(at, last_error("cannot create", path));
    if (!move_whole(file, (uint8_t *)data.data(), data.size(), true)) {
        CloseHandle(file);
        stop_at(at, last_error("cannot write", path));
    }
    if (!CloseHandle(file))
        stop_at(at, last_error("cannot close", path));
}

Bytes make_file(At at, const std::wstring &path, size_t size, uint64_t seed)
{
    Bytes data = random_bytes(size, seed);
    write_file(at, path, data);
    return data;
}

Bytes read_file(At at, const std::wstring &path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        stop_at(at, last_error("cannot open", path));
    LARGE_INTEGER size;
    Bytes data;
    bool ok = GetFileSizeEx(file, &size);
    if (ok) {
        data.resize((size_t)size.QuadPart);
        ok = move_whole(file, data.data(), data.size(), false);
    }
    CloseHandle(file);
    if (!ok)
        stop_at(at, last_error("cannot read", path));
    return data;
}

bool file_exists(const std::wstring &path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

uint64_t file_size(At at, const std::wstring &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        stop_at(at, last_error("no such file", path));
    return ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

bool opens_exclusively(const std::wstring &path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

void make_folder(At at, const std::wstring &path)
{
    if (!CreateDirectoryW(path.c_str(), nullptr))
        stop_at(at, last_error("cannot make folder", path));
}

void make_hard_link(At at, const std::wstring &link, const std::wstring &existing)
{
    if (!CreateHardLinkW(link.c_str(), existing.c_str(), nullptr))
        stop_at(at, last_error("cannot link to", existing));
}

std::vector<std::wstring> names_in(const std::wstring &folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

void expect_names(At at, const std::wstring &folder, std::vector<std::wstring> names)
{
    std::sort(names.begin(), names.end());
    std::vector<std::wstring> found = names_in(folder);
    if (found == names)
        return;
    std::string listed;
    for (const std::wstring &name : found)
        listed += " \"" + utf8(name) + "\"";
    fail_at(at, utf8(folder) + " holds" + (listed.empty() ? " nothing" : listed));
}

void remove_tree(const std::wstring &path)
{
    for (const std::wstring &name : names_in(path)) {
        std::wstring full = path + L"\\" + name;
        if (GetFileAttributesW(full.c_str()) & FILE_ATTRIBUTE_DIRECTORY)
            remove_tree(full);
        else
            DeleteFileW(full.c_str());
    }
    RemoveDirectoryW(path.c_str());
}

void make_sparse(At at, const std::wstring &path, uint64_t length)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        stop_at(at, last_error("cannot create", path));
    LARGE_INTEGER end;
    end.QuadPart = (LONGLONG)length;
    bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    if (!ok)
        stop_at(at, last_error("cannot set the length of", path));
}

uint32_t word_at(const Bytes &data, size_t offset)
{
    uint32_t w = 0;
    for (int i = 3; i >= 0; i--)
        w = (w << 8) | (offset + i < data.size() ? data[offset + i] : 0);
    return w;
}

void put_word(Bytes &data, size_t offset, uint32_t word)
{
    for (int i = 0; i < 4; i++)
        data[offset + i] = (uint8_t)(word >> (8 * i));
}

static uint32_t ror(uint32_t k, unsigned r)
{
    r &= 31;
    return r ? (k >> r) | (k << (32 - r)) : k;
}

static uint32_t rol(uint32_t k, unsigned r) { return ror(k, 32 - (r & 31)); }

uint32_t check_value(const std::wstring &password)
{
    uint32_t h = 0, x = 0;
    for (size_t i = 0; i < password.size() && i < 129; i++) {
        x = (x & 0xFFFF0000u) | (uint16_t)password[i];
        x = x * x;
        h = ror(h + x, 1);
    }
    return h;
}

Bytes decipher(const Bytes &container)
{
    uint32_t length = word_at(container, 0) ^ word_at(container, 4);
    size_t n = (container.size() - 12) / 4;
    std::vector<uint32_t> d(n + 1, 0);
    memcpy(d.data(), container.data() + 12, 4 * n);
    uint32_t k = ror(word_at(container, 4), (unsigned)(n % 32));
    for (size_t i = n; i-- > 0;) {
        d[i] -= d[i + 1] + k;
        k = rol(k, 1);
    }
    Bytes plain(std::min<size_t>(length, 4 * n));
    memcpy(plain.data(), d.data(), plain.size());
    return plain;
}

void expect_container_of(At at, const Bytes &container, const Bytes &plain, const std::wstring &password)
{
    size_t words = (plain.size() + 3) / 4;
    if (container.size() != 12 + 4 * words)
        return fail_at(at, "container of " + std::to_string(plain.size()) + " bytes is " +
                               std::to_string(container.size()) + " bytes long");
    if ((word_at(container, 0) ^ word_at(container, 4)) != plain.size())
        fail_at(at, "stamp XOR seed is " + std::to_string(word_at(container, 0) ^ word_at(container, 4)) +
                        ", not the length " + std::to_string(plain.size()));
    if (word_at(container, 8) != check_value(password))
        fail_at(at, "check word " + std::to_string(word_at(container, 8)) + " is not the password's " +
                        std::to_string(check_value(password)));
    if (decipher(container) != plain)
        fail_at(at, "the container does not decipher to the plaintext");
}

void expect_file(At at, const std::wstring &path, const Bytes &expected)
{
    if (!file_exists(path))
        return fail_at(at, "missing: " + utf8(path));
    Bytes actual = read_file(at, path);
    if (actual.size() != expected.size())
        return fail_at(at, utf8(path) + " is " + std::to_string(actual.size()) + " bytes, expected " +
                               std::to_string(expected.size()));
    auto diff = std::mismatch(actual.begin(), actual.end(), expected.begin());
    if (diff.first != actual.end())
        fail_at(at, utf8(path) + " differs at byte " + std::to_string(diff.first - actual.begin()));
}

Bytes encrypt_new(At at, const App &app, const std::wstring &path, const std::wstring &password)
{
    run_command(at, app, {path, password, password, false}, IDC_ENCRYPT, TEXT_DONE);
    return read_file(at, path + L".QVX");
}
