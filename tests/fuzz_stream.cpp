// Fuzz target: any bytes as a container and as a plaintext, cut into chunks the input also picks;
// the streaming passes must agree with the in-memory ones and stay inside their buffers.
#include <stdlib.h>

#include "tests/stream_drive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    // The first byte seeds the chunk sizes, 1 to 70 words.
    uint32_t state = data[0] * 2654435761u + 1;
    ChunkWords next = [&state] {
        state = state * 1103515245u + 12345u;
        return 1 + (state >> 16) % 70;
    };
    std::vector<uint8_t> bytes(data + 1, data + size);

    std::vector<uint8_t> streamed;
    bool ok = stream_decrypt(bytes, next, &streamed);
    if (ok != container_decipherable(bytes.data(), (uint32_t)bytes.size()))
        abort();
    if (ok && streamed != memory_decrypt(bytes))
        abort();

    std::vector<uint8_t> container = stream_encrypt(bytes, 0x5EED, 0x1234, next);
    std::vector<uint8_t> restored;
    if (!stream_decrypt(container, next, &restored) || restored != bytes)
        abort();
    return 0;
}
