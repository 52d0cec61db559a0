// The container: a 12-byte header (stamp, seed = stamp ^ L, password check) followed by the
// plaintext as n = ceil(L / 4) little-endian words, each enciphered with its right-hand neighbour.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum {
    CONTAINER_HEADER_SIZE = 12,
    CONTAINER_STAMP_AT = 0,
    CONTAINER_SEED_AT = 4,
    CONTAINER_CHECK_AT = 8,
};

// The product's four bytes "QVX ": the shred pattern and the start of the update file.
static const uint8_t PRODUCT_MAGIC[4] = {0x51, 0x56, 0x58, 0x20};

uint32_t container_stamp(const uint8_t *buf);
uint32_t container_seed(const uint8_t *buf);
uint32_t container_check(const uint8_t *buf);
uint32_t container_plain_length(const uint8_t *buf);   // stamp ^ seed

// Data words for a plaintext of plain_len bytes.
uint32_t container_word_count(uint32_t plain_len);

// True when a container of file_len bytes at buf can be deciphered without leaving the bytes it
// occupies: it holds a whole header and its plaintext length fits the bytes after the header.
bool container_decipherable(const uint8_t *buf, uint32_t file_len);

// The low 32 bits of the processor's time-stamp counter.
uint32_t read_stamp(void);

// Forward pass. The plaintext lies at buf + 12; builds the header and enciphers the words.
// Pad bytes of the last word are zeroed here. *progress goes from 0 to 4·n.
// Returns the container length 12 + 4·n, or 0 (nothing touched) when buf_size cannot hold it.
uint32_t encrypt_in_place(uint8_t *buf, size_t buf_size, uint32_t plain_len, uint32_t check,
                          uint32_t stamp, volatile int32_t *progress);

// Backward pass over a container of file_len bytes at buf. *progress goes from L down to L − 4·n.
// Returns L, the plaintext now at buf + 12; a container that is not decipherable or larger than
// buf_size is left untouched and gives 0.
uint32_t decrypt_in_place(uint8_t *buf, size_t buf_size, uint32_t file_len,
                          volatile int32_t *progress);
