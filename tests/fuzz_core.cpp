// Arbitrary bytes as a container (and as a password): the validity test and the backward pass
// must stay inside the buffer, and whatever is accepted must encrypt back to the same words.
#include "core/container.h"
#include "core/password.h"

#include <stdlib.h>
#include <string.h>

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    // Exactly the container's bytes, so any read past them is caught.
    std::vector<uint8_t> buf(data, data + size);
    volatile int32_t progress = 0;
    uint32_t file_len = (uint32_t)size;
    bool valid = container_decipherable(size ? buf.data() : nullptr, file_len);
    uint32_t plain_len = decrypt_in_place(buf.data(), buf.size(), file_len, &progress);
    if (!valid && (plain_len != 0 || (size && memcmp(buf.data(), data, size) != 0)))
        abort();

    // A container of whole words with its plaintext length inside the last word enciphers back.
    if (valid && (size - CONTAINER_HEADER_SIZE) % 4 == 0 &&
        container_word_count(plain_len) == (size - CONTAINER_HEADER_SIZE) / 4) {
        std::vector<uint8_t> again(buf);
        for (size_t i = CONTAINER_HEADER_SIZE + plain_len; i < size; i++)
            if (again[i] != 0)
                return 0;   // pad bytes that were not zero cannot come back
        uint32_t out = encrypt_in_place(again.data(), again.size(), plain_len,
                                        container_check(data), container_stamp(data), &progress);
        if (out != size || memcmp(again.data(), data, size) != 0)
            abort();
    }

    std::vector<char16_t> password(size / 2 + 1, 0);
    memcpy(password.data(), data, size / 2 * 2);
    derive_check(password.data());
    derive_companion(password.data());
    if (!confirm_password(password.data(), password.data()))
        abort();
    return 0;
}
