#include "core/stream.h"

#include <string.h>

#include "core/container.h"
#include "core/passes.h"
#include "core/words.h"

void encrypt_stream_begin(EncryptStream *s, uint8_t header[12], uint32_t plain_len, uint32_t check,
                          uint32_t stamp)
{
    s->seed = stamp ^ plain_len;
    s->held_word = 0;
    s->held = 0;
    s->holding = false;
    store32_le(header + CONTAINER_STAMP_AT, stamp);
    store32_le(header + CONTAINER_SEED_AT, s->seed);
    store32_le(header + CONTAINER_CHECK_AT, check);
}

uint32_t encrypt_stream_chunk(EncryptStream *s, uint8_t *chunk, uint32_t count, uint8_t **out)
{
    *out = chunk;
    if (count == 0)
        return 0;
    uint32_t key[KEY_PERIOD];
    uint32_t done;
    if (s->holding) {
        // The held word goes in front, so the chunk's first word is its neighbour.
        uint8_t *data = chunk - 4;
        store32_le(data, s->held);
        make_keys(key, s->seed, s->held_word);
        forward_words(data, 0, count, key);
        *out = data;
        done = count;
    } else {
        make_keys(key, s->seed, 0);
        forward_words(chunk, 0, count - 1, key);
        done = count - 1;
        s->holding = true;
    }
    s->held_word += done;
    s->held = load32_le(chunk + 4 * (count - 1));
    return done;
}

uint32_t encrypt_stream_end(EncryptStream *s, uint8_t last[4])
{
    if (!s->holding)
        return 0;
    store32_le(last, s->held + ror32(s->seed, s->held_word + 1));
    s->holding = false;
    return 4;
}

bool container_layout(const uint8_t header[12], uint64_t file_len, ContainerLayout *layout)
{
    if (file_len < CONTAINER_HEADER_SIZE || file_len > 0xFFFFFFFFu)
        return false;
    uint32_t body = (uint32_t)file_len - CONTAINER_HEADER_SIZE;
    layout->plain_len = container_plain_length(header);
    layout->stray = body % 4;
    layout->words = body / 4;
    return layout->plain_len <= body;
}

bool container_whole(const ContainerLayout *layout)
{
    return layout->stray == 0 && layout->words == container_word_count(layout->plain_len);
}

void decrypt_stream_begin(DecryptStream *s, const uint8_t header[12], const ContainerLayout *layout)
{
    s->seed = container_seed(header);
    s->below = layout->words;
    s->next = 0;
}

uint32_t decrypt_stream_chunk(DecryptStream *s, uint8_t *chunk, uint32_t count)
{
    if (count > s->below)
        count = s->below;
    uint32_t first = s->below - count;
    uint32_t key[KEY_PERIOD];
    make_keys(key, s->seed, first);
    s->next = backward_words(chunk, 0, count, s->next, key);
    s->below = first;
    return first;
}

static void advance(const StreamIo *io, uint64_t done)
{
    if (io->advance)
        io->advance(io->context, done);
}

StreamResult stream_encrypt(const StreamIo *io, uint8_t *chunk, size_t chunk_bytes, uint32_t plain_len,
                            uint32_t check, uint32_t stamp)
{
    uint8_t header[CONTAINER_HEADER_SIZE];
    EncryptStream s;
    encrypt_stream_begin(&s, header, plain_len, check, stamp);
    if (!io->write(io->context, header, sizeof header, 0))
        return STREAM_WRITE_FAILED;
    uint64_t written = sizeof header;
    for (uint64_t at = 0; at < plain_len;) {
        size_t bytes = plain_len - at < chunk_bytes ? (size_t)(plain_len - at) : chunk_bytes;
        if (!io->read(io->context, chunk, bytes, at))
            return STREAM_READ_FAILED;
        uint32_t words = (uint32_t)((bytes + 3) / 4);
        memset(chunk + bytes, 0, 4 * (size_t)words - bytes);
        uint8_t *done_at;
        uint32_t done = encrypt_stream_chunk(&s, chunk, words, &done_at);
        if (!io->write(io->context, done_at, 4 * (size_t)done, written))
            return STREAM_WRITE_FAILED;
        written += 4 * (uint64_t)done;
        at += bytes;
        advance(io, at);
    }
    uint8_t last[4];
    uint32_t tail = encrypt_stream_end(&s, last);
    return io->write(io->context, last, tail, written) ? STREAM_DONE : STREAM_WRITE_FAILED;
}

StreamResult stream_decrypt(const StreamIo *io, uint8_t *chunk, size_t chunk_bytes,
                            const uint8_t header[12], const ContainerLayout *layout)
{
    uint32_t plain_len = layout->plain_len;
    uint32_t stray = layout->stray < plain_len ? layout->stray : plain_len;
    if (!io->read(io->context, chunk, stray, CONTAINER_HEADER_SIZE))
        return STREAM_READ_FAILED;
    if (!io->write(io->context, chunk, stray, 0))
        return STREAM_WRITE_FAILED;
    DecryptStream s;
    decrypt_stream_begin(&s, header, layout);
    uint32_t chunk_words = (uint32_t)(chunk_bytes / 4);
    uint64_t done = 0;
    while (s.below > 0) {
        uint32_t words = s.below < chunk_words ? s.below : chunk_words;
        uint64_t at = layout->stray + 4 * (uint64_t)(s.below - words);
        if (!io->read(io->context, chunk, 4 * (size_t)words, CONTAINER_HEADER_SIZE + at))
            return STREAM_READ_FAILED;
        decrypt_stream_chunk(&s, chunk, words);
        // Words past the plaintext (pad, or extra words) take part in the chain but are not written.
        uint64_t keep = at >= plain_len ? 0 : plain_len - at < 4 * (uint64_t)words ? plain_len - at : 4 * (uint64_t)words;
        if (!io->write(io->context, chunk, (size_t)keep, at))
            return STREAM_WRITE_FAILED;
        done += 4 * (uint64_t)words;
        advance(io, done);
    }
    return STREAM_DONE;
}
