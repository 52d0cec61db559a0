// What the one read of the update information file means: failure, this version with its news
// text, or another version. Pure: no system calls, nothing read beyond the received bytes.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum {
    UPDATE_READ_BYTES = 4096,   // the most the check reads and uses
    UPDATE_TEXT_OFFSET = 10,    // magic, version tag, two bytes nobody reads
    UPDATE_TEXT_MAX = UPDATE_READ_BYTES - UPDATE_TEXT_OFFSET,
};

enum UpdateOutcome { UPDATE_FAILURE = 0, UPDATE_SAME_VERSION = 1, UPDATE_NEW_VERSION = 2 };

struct UpdateReply {
    UpdateOutcome outcome;
    size_t text_offset;   // the news text, for UPDATE_SAME_VERSION: empty, or within the received bytes
    size_t text_length;
};

// read_result is what the read returned (only exactly 1 is success); bytes at or past `received`
// count as zero, as in a zero-filled buffer; a count above UPDATE_READ_BYTES is cut to it.
UpdateReply update_reply_decide(int read_result, const uint8_t *bytes, size_t received);
