#include "ui/cmdline.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Scan {
    bool found;
    std::u16string path;
};

Scan scan(const std::u16string &line, size_t capacity = 260)
{
    std::u16string buffer(capacity + 8, u'#');   // guard units past the capacity
    Scan out;
    out.found = scan_command_line(line.data(), line.size(), &buffer[0], capacity);
    for (size_t i = capacity; i < buffer.size(); i++)
        EXPECT_EQ(buffer[i], u'#') << "written past the buffer at " << i;
    out.path = out.found ? std::u16string(buffer.c_str()) : u"";
    return out;
}

#define EXPECT_SCAN(line, expect_found, expect_path)   \
    do {                                               \
        SCOPED_TRACE(#line);                           \
        Scan s = scan(line);                           \
        EXPECT_EQ(s.found, expect_found);              \
        EXPECT_EQ(s.path, std::u16string(expect_path)); \
    } while (0)

TEST(CommandLineScan, ProgramPathQuotedOrBare)
{
    EXPECT_SCAN(u"\"C:\\p\\app.exe\" \"C:\\a b.txt\"", true, u"C:\\a b.txt");
    EXPECT_SCAN(u"\"C:\\p\\app.exe\" C:\\a.txt", true, u"C:\\a.txt");
    EXPECT_SCAN(u"C:\\p\\app.exe C:\\a.txt", true, u"C:\\a.txt");
    EXPECT_SCAN(u"C:\\p\\app.exe \"C:\\a b.txt\"", true, u"C:\\a b.txt");
    EXPECT_SCAN(u"\"C:\\p\\app.exe\" C:\\a.txt C:\\b.txt", true, u"C:\\a.txt C:\\b.txt");
    EXPECT_SCAN(u"\"C:\\p\\app.exe\" C:\\a.txt ", true, u"C:\\a.txt ");
}

TEST(CommandLineScan, NoArgument)
{
    EXPECT_SCAN(u"", false, u"");
    EXPECT_SCAN(u"\"C:\\p\\app.exe\"", false, u"");
    EXPECT_SCAN(u"\"C:\\p\\app.exe\" ", false, u"");
    EXPECT_SCAN(u"C:\\p\\app.exe", false, u"");
    EXPECT_SCAN(u"\"C:\\p\\app.exe", false, u"");          // the quote never closes
    EXPECT_SCAN(u"C:\\p\\app.exe\tC:\\a.txt", false, u"");  // a tab does not separate
}

TEST(CommandLineScan, OneSeparatorUnitIsSkipped)
{
    EXPECT_SCAN(u"\"C:\\p\\app.exe\" \"C:\\a.txt", true, u"C:\\a.txt");
    EXPECT_SCAN(u"\"C:\\p\\app.exe\"C:\\a.txt", true, u":\\a.txt");
    EXPECT_SCAN(u"\"C:\\p\\app.exe\"  C:\\a.txt", true, u" C:\\a.txt");
    EXPECT_SCAN(u"\"C:\\p\\app.exe\" \"\"", true, u"");
}

TEST(CommandLineScan, OverlongArgumentsAreCutInsideTheBuffer)
{
    std::u16string long_path(1000, u'x');
    Scan bare = scan(u"app.exe " + long_path, 260);
    EXPECT_TRUE(bare.found);
    EXPECT_EQ(bare.path, long_path.substr(0, 259));
    Scan quoted = scan(u"\"app.exe\" \"" + long_path + u"\"", 260);
    EXPECT_EQ(quoted.path, long_path.substr(0, 259));
    Scan tiny = scan(u"app.exe abc", 1);
    EXPECT_TRUE(tiny.found);
    EXPECT_EQ(tiny.path, u"");
}

} // namespace
