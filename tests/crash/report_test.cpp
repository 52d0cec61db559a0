// A real fault on the real program's main thread, and the report it brings up, line by line
// against what this test sees of the program from outside.
#include <string>
#include <vector>

#include "tests/support/crash_driver.h"
#include "res/resource.h"

namespace {

const wchar_t PRODUCT_LINE[] = L"Vantle File Encryptor 121B";
const uint32_t ACCESS_VIOLATION = 0xC0000005;
const size_t REPORT_LINES = 42, FIRST_STACK_LINE = 22, STACK_WORDS = 21;

std::wstring hex8(uint32_t value)
{
    wchar_t digits[9];
    swprintf(digits, 9, L"%08X", value);
    return digits;
}

bool is_value_line(const std::wstring &line, const std::wstring &label)
{
    if (line.size() != label.size() + 8 || line.compare(0, label.size(), label) != 0)
        return false;
    for (size_t i = label.size(); i < line.size(); i++)
        if (!iswdigit(line[i]) && !(line[i] >= L'A' && line[i] <= L'F'))
            return false;
    return true;
}

TEST_F(CrashTest, MainThreadFaultShowsItsReport)
{
    app_start(AT, app);
    Image image = image_of(AT, app.process.hProcess);
    uint32_t major, minor;
    system_version(AT, &major, &minor);

    Fault fault = fault_main_thread(AT, app);
    HWND report = wait_report(AT, app);
    EXPECT_TRUE(IsWindowVisible(report));
    EXPECT_EQ(GetWindowThreadProcessId(report, nullptr), fault.thread_id) << "the report runs on another thread";
    EXPECT_EQ(GetWindow(report, GW_OWNER), nullptr) << "the report has an owner";
    // Its message loop goes on serving the main window, which it leaves enabled.
    EXPECT_EQ(utf8(text_of(AT, app.main)), utf8(MAIN_CAPTION));
    EXPECT_TRUE(IsWindowEnabled(app.main));

    HWND box = GetDlgItem(report, IDC_REPORT);
    ASSERT_TRUE(box) << "the report has no text box";
    std::wstring text = whole_text(AT, box);
    SCOPED_TRACE("report:\n" + utf8(text));
    std::vector<std::wstring> lines = lines_of(text);
    ASSERT_EQ(lines.size(), REPORT_LINES);
    for (size_t empty : {2, 4, 9, 17, 21})
        EXPECT_EQ(utf8(lines[empty - 1]), "") << "line " << empty;

    EXPECT_EQ(utf8(lines[0]), utf8(L"WinVer=" + hex8(major) + L"." + hex8(minor)));
    EXPECT_EQ(utf8(lines[2]), utf8(PRODUCT_LINE));
    EXPECT_EQ(utf8(lines[4]), "=======Exception=======");
    EXPECT_EQ(utf8(lines[5]), utf8(L"ExceptionCode=" + hex8(ACCESS_VIOLATION)));
    EXPECT_EQ(utf8(lines[6]), utf8(L"EIP=" + hex8((uint32_t)UNMAPPED_ADDRESS)));
    EXPECT_EQ(utf8(lines[7]), utf8(L"ImageBase=" + hex8((uint32_t)image.base)));

    EXPECT_EQ(utf8(lines[9]), "=======Register=======");
    // The call that the thread was stopped in may change these three; the others it keeps.
    EXPECT_TRUE(is_value_line(lines[10], L"EAX=")) << utf8(lines[10]);
    EXPECT_TRUE(is_value_line(lines[11], L"ECX=")) << utf8(lines[11]);
    EXPECT_TRUE(is_value_line(lines[12], L"EDX=")) << utf8(lines[12]);
    EXPECT_EQ(utf8(lines[13]), utf8(L"EBX=" + hex8(fault.ebx)));
    EXPECT_EQ(utf8(lines[14]), utf8(L"ESI=" + hex8(fault.esi)));
    EXPECT_EQ(utf8(lines[15]), utf8(L"EDI=" + hex8(fault.edi)));

    EXPECT_EQ(utf8(lines[17]), "=======Stack=======");
    EXPECT_EQ(utf8(lines[18]), utf8(L"ESP=" + hex8((uint32_t)fault.stack_pointer)));
    EXPECT_EQ(utf8(lines[19]), utf8(L"EBP=" + hex8(fault.ebp)));

    // The words as the faulting thread left them: it stays inside the report while it is open.
    for (size_t i = 0; i < STACK_WORDS; i++) {
        ULONG_PTR address = fault.stack_pointer - 4 + 4 * i;
        std::wstring expected = hex8((uint32_t)address) + L"  " + hex8(remote_word(AT, app.process.hProcess, address));
        EXPECT_EQ(utf8(lines[FIRST_STACK_LINE - 1 + i]), utf8(expected)) << "stack line " << i + 1;
    }
}

}   // namespace
