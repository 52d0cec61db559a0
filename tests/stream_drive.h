// Drives the core's passes over a whole container in memory: the in-memory passes in buffers of
// exactly the container's size, and the streaming ones cut into chunks of the sizes a callback
// picks. Shared by the property tests and the fuzz target.
#pragma once
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "core/container.h"
#include "core/stream.h"

// The container of plain, as the in-memory forward pass makes it; empty if the pass refuses.
static inline std::vector<uint8_t> memory_encrypt(const std::vector<uint8_t> &plain, uint32_t check,
                                                  uint32_t stamp)
{
    uint32_t len = (uint32_t)plain.size();
    std::vector<uint8_t> buf(CONTAINER_HEADER_SIZE + 4 * (size_t)container_word_count(len));
    std::copy(plain.begin(), plain.end(), buf.begin() + CONTAINER_HEADER_SIZE);
    volatile int32_t progress = 0;
    buf.resize(encrypt_in_place(buf.data(), buf.size(), len, check, stamp, &progress));
    return buf;
}

// The plaintext of container, as the in-memory backward pass restores it; empty when the
// container is damaged.
static inline std::vector<uint8_t> memory_decrypt(std::vector<uint8_t> container)
{
    volatile int32_t progress = 0;
    uint32_t len = decrypt_in_place(container.data(), container.size(), (uint32_t)container.size(), &progress);
    if (len == 0)
        return {};
    return std::vector<uint8_t>(container.begin() + CONTAINER_HEADER_SIZE,
                                container.begin() + CONTAINER_HEADER_SIZE + len);
}

typedef std::function<uint32_t()> ChunkWords;   // words in the next chunk, at least 1

// The container of plain, as the stream makes it.
static inline std::vector<uint8_t> stream_encrypt(const std::vector<uint8_t> &plain, uint32_t check,
                                                  uint32_t stamp, const ChunkWords &next_chunk)
{
    std::vector<uint8_t> out(CONTAINER_HEADER_SIZE);
    EncryptStream s;
    encrypt_stream_begin(&s, out.data(), (uint32_t)plain.size(), check, stamp);
    size_t at = 0;
    while (at < plain.size()) {
        uint32_t words = next_chunk();
        size_t bytes = plain.size() - at < 4 * (size_t)words ? plain.size() - at : 4 * (size_t)words;
        words = (uint32_t)((bytes + 3) / 4);
        // One spare word in front, the last word zero-padded, as the caller must give them.
        std::vector<uint8_t> chunk(4 + 4 * (size_t)words, 0);
        memcpy(chunk.data() + 4, plain.data() + at, bytes);
        uint8_t *done_at;
        uint32_t done = encrypt_stream_chunk(&s, chunk.data() + 4, words, &done_at);
        out.insert(out.end(), done_at, done_at + 4 * (size_t)done);
        at += bytes;
    }
    uint8_t last[4];
    uint32_t tail = encrypt_stream_end(&s, last);
    out.insert(out.end(), last, last + tail);
    return out;
}

// The plaintext of container, as the stream restores it backward; false when it is damaged.
static inline bool stream_decrypt(const std::vector<uint8_t> &container, const ChunkWords &next_chunk,
                                  std::vector<uint8_t> *plain)
{
    uint8_t header[CONTAINER_HEADER_SIZE] = {};
    std::copy_n(container.begin(), container.size() < sizeof header ? container.size() : sizeof header, header);
    ContainerLayout layout;
    if (!container_layout(header, container.size(), &layout))
        return false;
    std::vector<uint8_t> whole(layout.stray + 4 * (size_t)layout.words);
    std::copy(container.begin() + CONTAINER_HEADER_SIZE,
              container.begin() + CONTAINER_HEADER_SIZE + layout.stray, whole.begin());
    DecryptStream s;
    decrypt_stream_begin(&s, header, &layout);
    while (s.below > 0) {
        uint32_t words = next_chunk();
        uint32_t first = s.below > words ? s.below - words : 0;
        size_t from = CONTAINER_HEADER_SIZE + layout.stray + 4 * (size_t)first;
        std::vector<uint8_t> chunk(container.begin() + from,
                                   container.begin() + from + 4 * (size_t)(s.below - first));
        uint32_t got = decrypt_stream_chunk(&s, chunk.data(), s.below - first);
        if (got != first)
            return false;
        std::copy(chunk.begin(), chunk.end(), whole.begin() + layout.stray + 4 * (size_t)first);
    }
    plain->assign(whole.begin(), whole.begin() + layout.plain_len);
    return true;
}
