// The update check's decision on the bytes of its one read, exactly as the reply shapes ask.
#include "about/update_reply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_seed.h"

namespace {

using namespace std::string_literals;

// The received bytes alone, in memory of exactly their size: a read past them is caught under
// AddressSanitizer.
UpdateReply decide(const std::string &bytes, int read_result = 1)
{
    std::vector<uint8_t> exact(bytes.begin(), bytes.end());
    return update_reply_decide(read_result, exact.data(), exact.size());
}

std::string text_of(const std::string &bytes, const UpdateReply &reply)
{
    return reply.text_length ? bytes.substr(reply.text_offset, reply.text_length) : "";
}

const std::string MAGIC = "QVX ";
const std::string SAME = MAGIC + "121B";

TEST(UpdateReply, FailureWhenTheReadDidNotReturnExactlyOne)
{
    for (int result : {0, -1, 2})
        EXPECT_EQ(decide(SAME + "\r\nnews", result).outcome, UPDATE_FAILURE) << result;
}

TEST(UpdateReply, FailureWithoutTheProductMagic)
{
    for (std::string bytes : {std::string(), std::string("QVX"), std::string("qvx 121B\r\nnews"),
                              std::string("QVX!121B"), std::string("<html>"), "\0VX 121B"s})
        EXPECT_EQ(decide(bytes).outcome, UPDATE_FAILURE) << bytes;
}

TEST(UpdateReply, NewVersionWhenTheTagDiffersByteForByte)
{
    // Bytes that were not delivered count as zero, so a short tag never matches.
    for (std::string bytes : {MAGIC, MAGIC + "1", MAGIC + "121", MAGIC + "121b", MAGIC + "121C\r\nnews",
                              MAGIC + "221B"})
        EXPECT_EQ(decide(bytes).outcome, UPDATE_NEW_VERSION) << bytes;
}

TEST(UpdateReply, SameVersionTextStartsAfterTheTwoSkippedBytes)
{
    struct Case {
        std::string bytes, text;
    } cases[] = {
        {SAME, ""},
        {SAME + "\r", ""},
        {SAME + "\r\n", ""},
        {SAME + "\r\nA", "A"},
        {SAME + "\0\0news"s, "news"},   // a zero among the two bytes ends nothing
        {SAME + "\r\nfirst\0second"s, "first"},
        {SAME + "\r\nline one\r\nline two\nthree", "line one\r\nline two\nthree"},
        {SAME + "\r\n\xC4\xE3\xBA\xC3", "\xC4\xE3\xBA\xC3"},
    };
    for (const Case &c : cases) {
        UpdateReply reply = decide(c.bytes);
        EXPECT_EQ(reply.outcome, UPDATE_SAME_VERSION) << c.bytes;
        EXPECT_EQ(reply.text_offset, 10u);
        EXPECT_EQ(text_of(c.bytes, reply), c.text);
    }
}

TEST(UpdateReply, TextWithoutZeroEndsAtTheReadLimit)
{
    std::string full = SAME + "\r\n" + std::string(UPDATE_TEXT_MAX, 'x');
    UpdateReply reply = decide(full);
    EXPECT_EQ(reply.outcome, UPDATE_SAME_VERSION);
    EXPECT_EQ(reply.text_length, 4086u);

    // A count above the read's limit is cut to it: nothing past 4096 bytes is looked at.
    std::vector<uint8_t> exact(full.begin(), full.end());
    reply = update_reply_decide(1, exact.data(), exact.size() + 5000);
    EXPECT_EQ(reply.outcome, UPDATE_SAME_VERSION);
    EXPECT_EQ(reply.text_length, 4086u);
}

TEST(UpdateReply, TextStaysInsideTheReceivedBytesForAnyReply)
{
    std::mt19937 rng = seeded_rng(0x5eed);
    for (int round = 0; round < 2000; round++) {
        std::string bytes = SAME;
        size_t length = rng() % 4200;
        for (size_t i = 0; i < length; i++)
            bytes += (char)(rng() % 8 == 0 ? 0 : 1 + rng() % 255);
        UpdateReply reply = decide(bytes);
        size_t end = reply.text_offset + reply.text_length;
        size_t limit = std::min<size_t>(bytes.size(), UPDATE_READ_BYTES);
        ASSERT_EQ(reply.outcome, UPDATE_SAME_VERSION);
        ASSERT_LE(end, std::max<size_t>(limit, 10));
        ASSERT_EQ(text_of(bytes, reply).find('\0'), std::string::npos);
        ASSERT_TRUE(end >= limit || bytes[end] == '\0') << "text cut short at " << end;
    }
}

}   // namespace
