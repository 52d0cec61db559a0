#include "core/container.h"
#include "tests/stream_drive.h"
#include "tests/test_seed.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

typedef std::vector<uint8_t> Bytes;

Bytes hex(const char *text)
{
    Bytes out;
    for (; text[0] && text[1]; text += 2)
        out.push_back((uint8_t)strtoul(std::string(text, 2).c_str(), nullptr, 16));
    return out;
}

// Printed by make_known_answers.py beside this file, a second implementation that follows the
// container rules word by word (and checked against these lines by the host test run):
//   seed = stamp ^ L; d += [0]; for i in range(n): k = ror(k, 1); out[i] = d[i] + d[i+1] + k
TEST(ContainerVectors, KnownContainers)
{
    const char *hello = "Hello, QVX!";
    EXPECT_EQ(memory_encrypt(Bytes(hello, hello + 11), 0x800027E8u, 0x12345678u),
              hex("7856341273563412e8270080f0bca646619ace1524e36762"));
    EXPECT_EQ(memory_encrypt(Bytes{1, 2, 3, 4, 5, 6, 7, 8}, 0xDEADBEEFu, 0x80000001u),
              hex("0100008009000080efbeadde0a080acc07060768"));
    EXPECT_EQ(memory_decrypt(hex("0100008009000080efbeadde0a080acc07060768")), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(ContainerLayout, HeaderLengthAndPadding)
{
    auto rng = seeded_rng(1);
    for (uint32_t len = 0; len <= 70; len++) {
        SCOPED_TRACE(len);
        Bytes plain = random_bytes(rng, len);
        uint32_t n = (len + 3) / 4;
        // Garbage where the pad bytes go: the forward pass must zero them itself.
        Bytes buf(12 + 4 * n, 0xA5);
        std::copy(plain.begin(), plain.end(), buf.begin() + 12);
        volatile int32_t progress = 12345;
        uint32_t stamp = rng();
        ASSERT_EQ(encrypt_in_place(buf.data(), buf.size(), len, 0xC0FFEEu, stamp, &progress), 12 + 4 * n);
        EXPECT_EQ(progress, (int32_t)(4 * n));
        EXPECT_EQ(container_stamp(buf.data()), stamp);
        EXPECT_EQ(container_seed(buf.data()), stamp ^ len);
        EXPECT_EQ(container_plain_length(buf.data()), len);
        EXPECT_EQ(container_check(buf.data()), 0xC0FFEEu);

        Bytes back = buf;
        progress = 0;
        ASSERT_EQ(decrypt_in_place(back.data(), back.size(), (uint32_t)back.size(), &progress), len);
        EXPECT_EQ(progress, (int32_t)len - (int32_t)(4 * n));
        for (uint32_t i = len; i < 4 * n; i++)
            EXPECT_EQ(back[CONTAINER_HEADER_SIZE + i], 0) << "pad byte " << i;
        EXPECT_EQ(Bytes(back.begin() + 12, back.begin() + 12 + len), plain);
    }
}

TEST(ContainerRoundTrip, WordCountsAroundKeyPeriodAndProgressSteps)
{
    auto rng = seeded_rng(2);
    std::vector<uint32_t> lengths;
    for (uint32_t n = 0; n < 32; n++)        // every phase of the 32-word key period
        lengths.push_back(4 * (33 + n) - rng() % 4);
    for (uint32_t n : {15u, 16u, 31u, 32u, 33u, 63u, 64u, 65u, 2047u, 2048u, 2049u, 4097u, 100003u})
        for (uint32_t short_by : {0u, 3u})
            lengths.push_back(4 * n - short_by);
    for (uint32_t len : lengths) {
        SCOPED_TRACE(len);
        Bytes plain = random_bytes(rng, len);
        Bytes container = memory_encrypt(plain, rng(), rng());
        ASSERT_EQ(container.size(), 12 + 4 * (size_t)container_word_count(len));
        EXPECT_EQ(memory_decrypt(container), plain);
    }
}

// Each container takes a fresh stamp, as the commands read it: the same plaintext encrypted again
// at once gives another container.
TEST(ContainerStamp, ContainersMadeInARowDiffer)
{
    Bytes plain(100, 'x');
    std::set<uint32_t> stamps;
    for (int i = 0; i < 100; i++) {
        Bytes container = memory_encrypt(plain, 77, read_stamp());
        ASSERT_EQ(memory_decrypt(container), plain);
        stamps.insert(container_stamp(container.data()));
    }
    EXPECT_EQ(stamps.size(), 100u) << "the same stamp twice";
}

// A container whose length is not 12 plus whole words: its words are the last ones of the file,
// and the bytes between header and words come out unchanged in front of the plaintext.
TEST(ContainerRoundTrip, MisalignedContainerKeepsStrayBytes)
{
    auto rng = seeded_rng(3);
    for (uint32_t stray = 1; stray <= 3; stray++) {
        for (uint32_t len : {0u, 1u, 5u, 40u, 129u}) {
            SCOPED_TRACE(testing::Message() << "stray " << stray << " len " << len);
            Bytes plain = random_bytes(rng, len);
            Bytes container = memory_encrypt(plain, 9, rng());
            Bytes extra = random_bytes(rng, stray);
            container.insert(container.begin() + 12, extra.begin(), extra.end());
            if (len < stray) {
                // L counts from offset 12, so some stray bytes fall outside the output.
                EXPECT_EQ(memory_decrypt(container), Bytes(extra.begin(), extra.begin() + len));
                continue;
            }
            Bytes expected = extra;
            expected.insert(expected.end(), plain.begin(), plain.end() - stray);
            EXPECT_EQ(memory_decrypt(container), expected);
        }
    }
}

TEST(ContainerValidity, DamagedHeadersAreRefusedWithoutTouchingMemory)
{
    // A buffer of exactly the file's bytes on the heap, so AddressSanitizer sees any stray access.
    auto refused = [](const Bytes &file) {
        uint8_t *buf = new uint8_t[file.size() ? file.size() : 1];
        std::copy(file.begin(), file.end(), buf);
        volatile int32_t progress = 99;
        bool valid = container_decipherable(buf, (uint32_t)file.size());
        uint32_t out = decrypt_in_place(buf, file.size(), (uint32_t)file.size(), &progress);
        bool untouched = std::equal(file.begin(), file.end(), buf) && progress == 99;
        delete[] buf;
        return !valid && out == 0 && untouched;
    };
    for (size_t short_len = 0; short_len < 12; short_len++)
        EXPECT_TRUE(refused(Bytes(short_len, 0))) << short_len;

    Bytes c = memory_encrypt(Bytes(20, 7), 1, 0x1000);
    EXPECT_TRUE(container_decipherable(c.data(), (uint32_t)c.size()));
    c[4] ^= 0x19;                     // L = 20 ^ 0x19 = 13: still fits the 20 bytes after the header
    EXPECT_TRUE(container_decipherable(c.data(), (uint32_t)c.size()));
    c[4] = (uint8_t)(0x00 ^ 21);      // L = 21 > F − 12
    EXPECT_TRUE(refused(c));
    c[7] = 0x80;                      // L far beyond the file
    EXPECT_TRUE(refused(c));

    Bytes header_only = memory_encrypt(Bytes(), 5, 0xABCDEF01u);
    ASSERT_EQ(header_only.size(), 12u);
    EXPECT_TRUE(container_decipherable(header_only.data(), 12));
    EXPECT_EQ(memory_decrypt(header_only), Bytes());
}

TEST(ContainerValidity, BuffersTooSmallAreRefused)
{
    Bytes c = memory_encrypt(Bytes(10, 1), 1, 2);
    Bytes copy = c;
    volatile int32_t progress = 5;
    EXPECT_EQ(decrypt_in_place(copy.data(), copy.size() - 1, (uint32_t)copy.size(), &progress), 0u);
    EXPECT_EQ(copy, c);

    Bytes plain_buf(12 + 8, 3);       // 10 bytes need three words: 24 bytes
    Bytes before = plain_buf;
    EXPECT_EQ(encrypt_in_place(plain_buf.data(), plain_buf.size(), 10, 1, 2, &progress), 0u);
    EXPECT_EQ(plain_buf, before);
    EXPECT_EQ(progress, 5);
}

} // namespace
