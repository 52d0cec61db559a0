#include "about/update_reply.h"

#include "core/container.h"
#include "res/version.h"

static const uint8_t VERSION_TAG[4] = {QVX_VERSION_TAG[0], QVX_VERSION_TAG[1], QVX_VERSION_TAG[2],
                                      QVX_VERSION_TAG[3]};

static uint8_t byte_at(const uint8_t *bytes, size_t received, size_t offset)
{
    return offset < received ? bytes[offset] : 0;
}

// Exact, byte for byte: a tag that differs only in letter case is another version.
static bool matches(const uint8_t *bytes, size_t received, size_t offset, const uint8_t expected[4])
{
    for (size_t i = 0; i < 4; i++)
        if (byte_at(bytes, received, offset + i) != expected[i])
            return false;
    return true;
}

static size_t text_length(const uint8_t *bytes, size_t received)
{
    size_t end = UPDATE_TEXT_OFFSET;
    while (end < received && bytes[end] != 0)
        end++;
    return end > UPDATE_TEXT_OFFSET ? end - UPDATE_TEXT_OFFSET : 0;
}

UpdateReply update_reply_decide(int read_result, const uint8_t *bytes, size_t received)
{
    UpdateReply reply = {UPDATE_FAILURE, UPDATE_TEXT_OFFSET, 0};
    if (received > UPDATE_READ_BYTES)
        received = UPDATE_READ_BYTES;
    if (read_result != 1 || !matches(bytes, received, 0, PRODUCT_MAGIC))
        return reply;
    if (!matches(bytes, received, 4, VERSION_TAG)) {
        reply.outcome = UPDATE_NEW_VERSION;
        return reply;
    }
    reply.outcome = UPDATE_SAME_VERSION;
    reply.text_length = text_length(bytes, received);
    return reply;
}
