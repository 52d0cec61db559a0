// The two passes over a container that arrives in chunks, for files too large for one buffer.
// Pure: the caller reads and writes; only a few words of state live between chunks.
#pragma once
#include <stddef.h>
#include <stdint.h>

// The largest plaintext whose container length, 12 + 4·n, still fits 32 bits.
#define PLAIN_MAX_LENGTH 0xFFFFFFF0u

// Encryption goes forward. Each word needs its right-hand neighbour's plaintext, so the last word
// of every chunk is held back until the next chunk (or the end) supplies that neighbour.
struct EncryptStream {
    uint32_t seed;
    uint32_t held_word;   // index of the held word
    uint32_t held;        // its plaintext
    bool holding;
};

// Builds the 12-byte header and starts the pass.
void encrypt_stream_begin(EncryptStream *s, uint8_t header[12], uint32_t plain_len, uint32_t check,
                          uint32_t stamp);

// Takes the next count plaintext words at chunk (the last one zero-padded by the caller); the word
// in front of chunk must be writable. Enciphers every word whose neighbour is now known and
// returns how many, starting at *out (chunk or the word in front of it).
uint32_t encrypt_stream_chunk(EncryptStream *s, uint8_t *chunk, uint32_t count, uint8_t **out);

// The held last word, whose neighbour is the zero word past the data: 4 bytes into last, or 0
// when the plaintext was empty.
uint32_t encrypt_stream_end(EncryptStream *s, uint8_t last[4]);

// Where a container's parts lie. Its data words are counted back from the end of the file; the
// 1 to 3 stray bytes between the header and the first word pass through unchanged.
struct ContainerLayout {
    uint32_t plain_len;
    uint32_t stray;       // word w lies at file offset 12 + stray + 4·w, its plaintext at stray + 4·w
    uint32_t words;
};

// False for a damaged container: shorter than its header, longer than 32 bits can count, or
// naming more plaintext than it holds.
bool container_layout(const uint8_t header[12], uint64_t file_len, ContainerLayout *layout);

// True when the file is exactly what encryption makes of its plaintext length.
bool container_whole(const ContainerLayout *layout);

// Decryption goes backward, from the last word down, keeping the plaintext of the word above.
struct DecryptStream {
    uint32_t seed;
    uint32_t below;       // words below this index are still enciphered
    uint32_t next;        // plaintext of word `below` (0 past the data)
};

void decrypt_stream_begin(DecryptStream *s, const uint8_t header[12], const ContainerLayout *layout);

// Restores the count words right below the ones restored so far, in place; returns the index of
// the first of them. count is at most s->below.
uint32_t decrypt_stream_chunk(DecryptStream *s, uint8_t *chunk, uint32_t count);

// Whole passes over a file in chunks, through the caller's reads and writes: the one chunk loop of
// every program. Each call returns false on failure.
struct StreamIo {
    void *context;
    bool (*read)(void *context, void *buffer, size_t bytes, uint64_t offset);     // the input
    bool (*write)(void *context, const void *buffer, size_t bytes, uint64_t offset);   // the output
    void (*advance)(void *context, uint64_t done);   // bytes of the pass done; may be null
};
enum StreamResult { STREAM_DONE, STREAM_READ_FAILED, STREAM_WRITE_FAILED };

// chunk holds chunk_bytes, a positive multiple of 4, with 4 writable bytes in front of it.
StreamResult stream_encrypt(const StreamIo *io, uint8_t *chunk, size_t chunk_bytes, uint32_t plain_len,
                            uint32_t check, uint32_t stamp);
// Writes walk down the output, which should already have its length (plain_len) so that they
// never move its end; done counts the container's data bytes.
StreamResult stream_decrypt(const StreamIo *io, uint8_t *chunk, size_t chunk_bytes,
                            const uint8_t header[12], const ContainerLayout *layout);
