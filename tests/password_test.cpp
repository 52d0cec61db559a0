#include "core/password.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Printed by make_known_answers.py beside this file, a second implementation of the rules (and
// checked against these lines by the host test run), over the UTF-16 units of each text:
//   check:     x = (x & 0xFFFF0000) | c; x = x*x mod 2^32; h = ror(h + x, 1)
//   companion: a.lo = c; b.lo = b.lo + c_next + c; a, b = lo and hi of a*b; h = rol(h + a, 1)
TEST(PasswordVectors, CheckAndCompanion)
{
    struct { const char16_t *text; uint32_t check, companion; } v[] = {
        {u"a", 0x80001260u, 0x00004982u},
        {u"ab", 0x40001BF2u, 0x00017294u},
        {u"ba", 0x80001BC1u, 0x0001741Au},
        {u"密码Pass123", 0x2F058E6Du, 0x8C7B8B3Fu},
        {u"\xFFFF\xFFFF", 0x80008000u, 0xFFF6000Du},  // carries the high half of the first square
        {u"", 0u, 0u},
    };
    for (auto &t : v) {
        EXPECT_EQ(derive_check(t.text), t.check) << std::u16string(t.text).size();
        EXPECT_EQ(derive_companion(t.text), t.companion) << std::u16string(t.text).size();
    }
}

// One unit gives its square rotated right by one bit: half the square, with the bit that falls
// off (set for odd squares, that is odd units) on top.
TEST(PasswordCheck, OneUnitIsRotatedSquare)
{
    for (uint32_t c = 1; c <= 0xFFFF; c++) {
        char16_t text[2] = {(char16_t)c, 0};
        ASSERT_EQ(derive_check(text), c * c / 2 + (c % 2) * 0x80000000u) << c;
    }
}

TEST(PasswordCheck, DependsOnOrder)
{
    EXPECT_NE(derive_check(u"abc"), derive_check(u"cba"));
    EXPECT_NE(derive_check(u"abc"), derive_check(u"bac"));
    EXPECT_NE(derive_check(u"\x1234\x5678"), derive_check(u"\x5678\x1234"));
}

TEST(PasswordCheck, LongPasswordsAreCutTo129Units)
{
    std::u16string long_text, other_tail;
    for (int i = 0; i < 200; i++)
        long_text.push_back((char16_t)(0x4E00 + i * 7));
    std::u16string cut = long_text.substr(0, 129);   // what the password box holds
    other_tail = cut + u"different tail";
    EXPECT_EQ(derive_check(long_text.c_str()), derive_check(cut.c_str()));
    EXPECT_EQ(derive_check(other_tail.c_str()), derive_check(cut.c_str()));
    EXPECT_NE(derive_check(long_text.substr(0, 128).c_str()), derive_check(cut.c_str()));
    EXPECT_EQ(derive_companion(long_text.c_str()), derive_companion(cut.c_str()));
    EXPECT_TRUE(confirm_password(long_text.c_str(), other_tail.c_str()));
}

TEST(PasswordConfirm, SameLengthAndUnits)
{
    EXPECT_TRUE(confirm_password(u"", u""));
    EXPECT_TRUE(confirm_password(u"秘密 pass", u"秘密 pass"));
    EXPECT_FALSE(confirm_password(u"secret", u"secret!"));
    EXPECT_FALSE(confirm_password(u"secret!", u"secret"));
    EXPECT_FALSE(confirm_password(u"secret", u"Secret"));
    EXPECT_FALSE(confirm_password(u"", u"x"));
    EXPECT_FALSE(confirm_password(u"x", u""));
}

} // namespace
