#include "core/stream.h"

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
