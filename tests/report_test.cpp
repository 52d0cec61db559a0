#include "crash/report.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/lines.h"

namespace {

// The example fault: Windows 6.1, an access violation, invented registers and stack.
const uint32_t EXAMPLE_STACK[REPORT_STACK_WORDS] = {
    0x01001C35, 0x00000000, 0x0006FB28, 0x01002210, 0x00000111, 0x00000009, 0x00000000,
    0x0006FB44, 0x01001A6E, 0x00010254, 0x00000111, 0x0006FB60, 0x010015F0, 0x00010254,
    0x00000111, 0x00000009, 0x00000000, 0x00000000, 0x0006FB80, 0x0100189B, 0x00000000};

// In the order of the record: system version, product, tag, code, EIP and image base, the six
// general registers from EAX to EDI, ESP and EBP.
const CrashFacts EXAMPLE = {6, 1, u"Vantle File Encryptor", 0x42313231, 0xC0000005, 0x01001C3A, 0x01000000,
                            0, 0x0006FB10, 1, 0, 0x0006FC2C, 0x0006FC24, 0x0006FB00, 0x0006FB28};

// Memory as a map from address to word; addresses not in it cannot be read.
bool read_map(uint32_t address, uint32_t *word, void *context)
{
    auto &memory = *static_cast<std::map<uint32_t, uint32_t> *>(context);
    auto it = memory.find(address);
    if (it == memory.end())
        return false;
    *word = it->second;
    return true;
}

std::map<uint32_t, uint32_t> example_memory()
{
    std::map<uint32_t, uint32_t> memory;
    for (uint32_t i = 0; i < REPORT_STACK_WORDS; i++)
        memory[0x0006FAFC + 4 * i] = EXAMPLE_STACK[i];
    return memory;
}

std::u16string report(const CrashFacts &f, std::map<uint32_t, uint32_t> memory, size_t capacity = 2048)
{
    std::vector<char16_t> out(capacity + 4, u'#');
    size_t n = build_report(out.data(), capacity, &f, read_map, &memory);
    EXPECT_EQ(out[n], 0);
    for (size_t i = capacity; i < out.size(); i++)
        EXPECT_EQ(out[i], u'#') << "written past the buffer at " << i;
    return std::u16string(out.data(), n);
}

TEST(CrashReport, ExampleTextLineByLine)
{
    const char16_t *expected[] = {
        u"WinVer=00000006.00000001", u"", u"Vantle File Encryptor 121B", u"",
        u"=======Exception=======", u"ExceptionCode=C0000005", u"EIP=01001C3A", u"ImageBase=01000000", u"",
        u"=======Register=======", u"EAX=00000000", u"ECX=0006FB10", u"EDX=00000001", u"EBX=00000000",
        u"ESI=0006FC2C", u"EDI=0006FC24", u"", u"=======Stack=======", u"ESP=0006FB00", u"EBP=0006FB28", u"",
        u"0006FAFC  01001C35", u"0006FB00  00000000", u"0006FB04  0006FB28", u"0006FB08  01002210",
        u"0006FB0C  00000111", u"0006FB10  00000009", u"0006FB14  00000000", u"0006FB18  0006FB44",
        u"0006FB1C  01001A6E", u"0006FB20  00010254", u"0006FB24  00000111", u"0006FB28  0006FB60",
        u"0006FB2C  010015F0", u"0006FB30  00010254", u"0006FB34  00000111", u"0006FB38  00000009",
        u"0006FB3C  00000000", u"0006FB40  00000000", u"0006FB44  0006FB80", u"0006FB48  0100189B",
        u"0006FB4C  00000000"};
    std::u16string text = report(EXAMPLE, example_memory());
    auto lines = lines_of(text);
    ASSERT_EQ(lines.size(), 42u);
    for (size_t i = 0; i < 42; i++)
        EXPECT_EQ(lines[i], std::u16string(expected[i])) << "line " << i + 1;
    EXPECT_EQ(text.size(), 722u);
    EXPECT_NE(text.substr(text.size() - 2), u"\r\n");
}

TEST(CrashReport, ShapeHoldsForAnyFault)
{
    CrashFacts f = EXAMPLE;
    f.product = u"QVX";
    f.esp = 0xFFFFFFF0;   // the stack lines wrap around the address space
    f.code = 0x80000003;
    std::u16string text = report(f, {});
    auto lines = lines_of(text);
    ASSERT_EQ(lines.size(), 42u);
    for (int empty : {2, 4, 9, 17, 21})
        EXPECT_EQ(lines[empty - 1], u"") << "line " << empty;
    EXPECT_EQ(text.size(), 701u + 3);
    EXPECT_EQ(lines[18], u"ESP=FFFFFFF0");
    EXPECT_EQ(lines[21].substr(0, 8), u"FFFFFFEC");
    EXPECT_EQ(lines[41].substr(0, 8), u"0000003C");
}

TEST(CrashReport, UnreadableWordsKeepTheirLines)
{
    auto memory = example_memory();
    memory.erase(0x0006FAFC);
    memory.erase(0x0006FB20);
    auto lines = lines_of(report(EXAMPLE, memory));
    ASSERT_EQ(lines.size(), 42u);
    EXPECT_EQ(lines[21], u"0006FAFC  ????????");
    EXPECT_EQ(lines[30], u"0006FB20  ????????");
    EXPECT_EQ(lines[31], u"0006FB24  00000111");
}

TEST(CrashReport, TagAndHexDigits)
{
    char16_t out[HEX8_UNITS];
    hex8(0, out);
    EXPECT_EQ(std::u16string(out), u"00000000");
    hex8(0xC0000005, out);
    EXPECT_EQ(std::u16string(out), u"C0000005");
    hex8(0xFFFFFFFF, out);
    EXPECT_EQ(std::u16string(out), u"FFFFFFFF");
    hex8(0x0ABCDEF1, out);
    EXPECT_EQ(std::u16string(out), u"0ABCDEF1");
    EXPECT_EQ(lines_of(report(EXAMPLE, example_memory()))[2], u"Vantle File Encryptor 121B");
}

TEST(CrashReport, SmallBufferIsCutAndTerminated)
{
    std::u16string full = report(EXAMPLE, example_memory());
    for (size_t capacity : {1u, 2u, 100u, 722u}) {
        std::u16string cut = report(EXAMPLE, example_memory(), capacity);
        EXPECT_EQ(cut, full.substr(0, capacity - 1)) << capacity;
    }
    EXPECT_EQ(report(EXAMPLE, example_memory(), 723), full);
}

} // namespace
