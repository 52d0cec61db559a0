// Files made and checked with ordinary Win32 calls, and an independent reading of the container.
#pragma once
#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "driver.h"

typedef std::vector<uint8_t> Bytes;

// The same seed gives the same bytes, and a shorter count their start.
void fill_random(uint8_t *data, size_t count, uint64_t seed);
Bytes random_bytes(size_t count, uint64_t seed);
void write_file(At at, const std::wstring &path, const Bytes &data);
// A file of `size` random bytes from `seed`; returns what was written.
Bytes make_file(At at, const std::wstring &path, size_t size, uint64_t seed);
Bytes read_file(At at, const std::wstring &path);
bool file_exists(const std::wstring &path);
uint64_t file_size(At at, const std::wstring &path);
// True when nobody else holds the file: it opens for reading and writing with no sharing.
bool opens_exclusively(const std::wstring &path);
void make_folder(At at, const std::wstring &path);
void make_hard_link(At at, const std::wstring &link, const std::wstring &existing);
// The names in a folder, sorted.
std::vector<std::wstring> names_in(const std::wstring &folder);
// Fails at the caller when the folder holds other names than `names`.
void expect_names(At at, const std::wstring &folder, std::vector<std::wstring> names);
void remove_tree(const std::wstring &path);
// A file of `length` bytes that occupies no disk space.
void make_sparse(At at, const std::wstring &path, uint64_t length);

uint32_t word_at(const Bytes &data, size_t offset);
void put_word(Bytes &data, size_t offset, uint32_t word);
// The password check value, computed here from its definition, independently of the program.
uint32_t check_value(const std::wstring &password);
// Undoes the chained word cipher of a well-formed container: the first L plaintext bytes.
Bytes decipher(const Bytes &container);
// A container of `plain` made with `password`: length, length field, check word and contents.
void expect_container_of(At at, const Bytes &container, const Bytes &plain, const std::wstring &password);
// Fails at the caller when the file's bytes differ from `expected`, without printing them all.
void expect_file(At at, const std::wstring &path, const Bytes &expected);

// Encrypts `path` into a new "path.QVX" through the window and returns the container.
Bytes encrypt_new(At at, const App &app, const std::wstring &path, const std::wstring &password);
