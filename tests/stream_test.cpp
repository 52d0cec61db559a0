// The streaming passes against the in-memory ones, over sizes around every key period and chunk
// boundaries one word either side of the key period's multiples.
#include <gtest/gtest.h>

#include "core/container.h"
#include "core/stream.h"
#include "tests/stream_drive.h"
#include "tests/test_seed.h"

namespace {

// Chunks of one word, around one or two key periods, or anything up to 40 words.
ChunkWords chunk_schedule(std::mt19937 &rng)
{
    return [&rng] {
        static const uint32_t sizes[] = {1, 2, 31, 32, 33, 63, 64, 65};
        uint32_t pick = rng() % 10;
        return pick < 8 ? sizes[pick] : 1 + rng() % 40;
    };
}

// Plaintext lengths 0..70 bytes, then n = 32·k + r words for every r, with a ragged tail.
std::vector<size_t> plain_lengths(std::mt19937 &rng)
{
    std::vector<size_t> lengths;
    for (size_t len = 0; len <= 70; len++)
        lengths.push_back(len);
    for (size_t r = 0; r < 32; r++)
        lengths.push_back(4 * (32 * (1 + rng() % 4) + r) - rng() % 4);
    return lengths;
}

TEST(StreamTest, EncryptMatchesInMemoryPass)
{
    std::mt19937 rng = seeded_rng(1);
    for (size_t len : plain_lengths(rng))
        for (int schedule = 0; schedule < 3; schedule++) {
            std::vector<uint8_t> plain = random_bytes(rng, len);
            uint32_t check = rng(), stamp = rng();
            ASSERT_EQ(stream_encrypt(plain, check, stamp, chunk_schedule(rng)),
                      memory_encrypt(plain, check, stamp))
                << "length " << len;
        }
}

TEST(StreamTest, DecryptMatchesInMemoryPassAndRestoresPlaintext)
{
    std::mt19937 rng = seeded_rng(2);
    for (size_t len : plain_lengths(rng)) {
        std::vector<uint8_t> plain = random_bytes(rng, len);
        std::vector<uint8_t> container = memory_encrypt(plain, rng(), rng());
        std::vector<uint8_t> got;
        ASSERT_TRUE(stream_decrypt(container, chunk_schedule(rng), &got));
        ASSERT_EQ(got, plain) << "length " << len;
    }
}

// Containers not made by encryption: stray bytes after the header and extra words, any data.
TEST(StreamTest, DecryptOfForeignLayoutsMatchesInMemoryPass)
{
    std::mt19937 rng = seeded_rng(3);
    for (int round = 0; round < 400; round++) {
        size_t body = rng() % 300;
        std::vector<uint8_t> container = random_bytes(rng, CONTAINER_HEADER_SIZE + body);
        uint32_t stamp = rng(), plain_len = body ? rng() % (body + 1) : 0;
        for (int i = 0; i < 4; i++) {
            container[i] = (uint8_t)(stamp >> 8 * i);
            container[4 + i] = (uint8_t)((stamp ^ plain_len) >> 8 * i);
        }
        std::vector<uint8_t> got;
        ASSERT_TRUE(stream_decrypt(container, chunk_schedule(rng), &got));
        ASSERT_EQ(got, memory_decrypt(container)) << "body " << body << ", length " << plain_len;
    }
}

TEST(StreamTest, LayoutRefusesDamagedHeadersAndTellsWholeContainers)
{
    struct Case { uint32_t plain_len; uint64_t file_len; bool valid, whole; };
    const Case cases[] = {
        {0, 12, true, true},      {0, 11, false, false},   {5, 20, true, true},
        {5, 16, false, false},    {4, 16, true, true},     {3, 17, true, false},
        {0, 16, true, false},     {1, 0x100000000ull, false, false},
        {PLAIN_MAX_LENGTH, 12ull + PLAIN_MAX_LENGTH, true, true},
    };
    for (const Case &c : cases) {
        uint8_t header[CONTAINER_HEADER_SIZE] = {0x11, 0x22, 0x33, 0x44};
        uint32_t seed = 0x44332211u ^ c.plain_len;
        for (int i = 0; i < 4; i++)
            header[4 + i] = (uint8_t)(seed >> 8 * i);
        ContainerLayout layout;
        bool valid = container_layout(header, c.file_len, &layout);
        EXPECT_EQ(valid, c.valid) << c.plain_len << " in " << c.file_len;
        if (valid) {
            EXPECT_EQ(container_whole(&layout), c.whole) << c.plain_len << " in " << c.file_len;
        }
    }
}

}  // namespace
