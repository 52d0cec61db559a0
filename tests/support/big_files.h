// Files too large for the test's own memory, made and checked a chunk at a time. Each chunk of
// BIG_CHUNK bytes is random from the file's seed and its place, so it can be made again to
// compare; seed 0 stands for a file of zeros (a sparse one, which takes no disk space).
#pragma once
#include <windows.h>

#include <stdint.h>

#include <string>

#include "tests/support/driver.h"

static const uint64_t BIG_CHUNK = 16u << 20;

void make_big_file(At at, const std::wstring &path, uint64_t length, uint64_t seed);
// Fails at the caller unless the file holds exactly that plaintext.
void expect_big_plain(At at, const std::wstring &path, uint64_t length, uint64_t seed);
// Fails at the caller unless the file is a container of that plaintext with the password: the
// check word, and every byte as the core's own pass makes it with the container's stamp.
void expect_big_container(At at, const std::wstring &path, uint64_t length, uint64_t seed,
                          const std::wstring &password);
