// Over the file itself: the result takes the file's place only once it is whole, keeps what the
// file was (attributes, access list), and a file with other names is rewritten where it is.
#include <aclapi.h>
#include <sddl.h>

#include "tests/support/files.h"

namespace {

using InPlace = BlackBox;
using KilledInPlace = InMemory;

const wchar_t PASSWORD[] = L"one copy only";

// Killed while the result is written, as a crash or a power cut would end it: the file is the
// old one or the new one, whole, and nothing is left beside it. Large enough for each kill to
// land in the write; the kills come at several points of it, counted from the write's start. A
// start whose command was past it when first held is made again.
TEST_F(KilledInPlace, WhileWritingLeavesTheOldFileOrTheNew)
{
    const size_t LARGE = 96u << 20;
    const DWORD KILL_AFTER_MS[] = {0, 15, 40};
    const int STARTS = 5;
    const std::wstring name = L"only copy.bin", file = path(name);
    Bytes plain = random_bytes(LARGE, 71);
    write_file(AT, file, plain);
    app_start(AT, app);
    run_command(AT, app, {file, PASSWORD, PASSWORD, true}, IDC_ENCRYPT, TEXT_DONE);
    Bytes container = read_file(AT, file);
    app_end(app);
    auto expect_result = [&](int command, const std::wstring &result) {
        if (command == IDC_ENCRYPT)
            expect_container_of(AT, read_file(AT, result), plain, PASSWORD);
        else
            expect_file(AT, result, plain);
    };
    for (int command : {IDC_ENCRYPT, IDC_DECRYPT}) {
        const Bytes &old = command == IDC_ENCRYPT ? plain : container;
        for (DWORD delay : KILL_AFTER_MS) {
            SCOPED_TRACE((command == IDC_ENCRYPT ? "Encrypt" : "Decrypt") + std::string(" killed ") +
                         std::to_string(delay) + " ms into the write");
            for (int start = 1;; start++) {
                write_file(AT, file, old);
                app_start(AT, app);
                choose(AT, app, file, PASSWORD, PASSWORD, true);
                std::set<DWORD> before = threads_of(app.process.dwProcessId);
                click(AT, app, command);
                Held held;
                bool at_write = hold_at_status(AT, app, before, TEXT_WRITING, held);
                let_go(held);
                if (at_write)
                    break;
                app_kill(AT, app);
                ASSERT_LT(start, STARTS) << "never saw the result being written";
            }
            Sleep(delay);
            app_kill(AT, app);
            std::vector<std::wstring> names = names_in(folder);
            bool untouched = read_file(AT, file) == old;
            // Ended between making the hidden result lasting and the rename that puts it in
            // place (no call does both): the source is untouched and the result whole beside it.
            if (names.size() == 2 && untouched) {
                std::wstring hidden = path(names[0] == name ? names[1] : names[0]);
                expect_result(command, hidden);
                DeleteFileW(hidden.c_str());
                continue;
            }
            expect_names(AT, folder, {name});
            if (!untouched)
                expect_result(command, file);
        }
    }
}

// Replacing one name of several would leave the others with the old data.
TEST_F(InPlace, FileWithAnotherNameChangesUnderBothNames)
{
    std::wstring file = path(L"first name.txt"), other = path(L"second name.txt");
    Bytes plain = make_file(AT, file, 5000, 72);
    make_hard_link(AT, other, file);
    app_start(AT, app);
    run_command(AT, app, {file, PASSWORD, PASSWORD, true}, IDC_ENCRYPT, TEXT_DONE);
    Bytes container = read_file(AT, file);
    expect_container_of(AT, container, plain, PASSWORD);
    expect_file(AT, other, container);
    run_command(AT, app, IDC_DECRYPT, TEXT_DONE);
    expect_file(AT, other, plain);
    expect_names(AT, folder, {L"first name.txt", L"second name.txt"});
}

std::string access_list(At at, const std::wstring &file)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    wchar_t *text = nullptr;
    if (GetNamedSecurityInfoW(file.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS ||
        !ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                              &text, nullptr))
        stop_at(at, "cannot read the access list of " + utf8(file));
    std::string list = utf8(text);
    LocalFree(text);
    LocalFree(descriptor);
    return list;
}

// The result is the file as the user knew it, not the hidden file it was written as.
TEST_F(InPlace, ResultKeepsTheFilesAttributesAndAccessList)
{
    std::wstring file = path(L"kept.txt");
    Bytes plain = make_file(AT, file, 300, 73);
    PSECURITY_DESCRIPTOR everyone_writes = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;FA;;;WD)", SDDL_REVISION_1,
                                                                     &everyone_writes, nullptr));
    ASSERT_TRUE(SetFileSecurityW(file.c_str(), DACL_SECURITY_INFORMATION, everyone_writes));
    LocalFree(everyone_writes);
    const DWORD ATTRIBUTES = FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), ATTRIBUTES));
    // Wine keeps them in an extended attribute, which not every file system (older tmpfs) has.
    if (GetFileAttributesW(file.c_str()) != ATTRIBUTES)
        GTEST_SKIP() << "this file system keeps no file attributes";
    std::string list = access_list(AT, file);

    app_start(AT, app);
    run_command(AT, app, {file, PASSWORD, PASSWORD, true}, IDC_ENCRYPT, TEXT_DONE);
    expect_container_of(AT, read_file(AT, file), plain, PASSWORD);
    EXPECT_EQ(GetFileAttributesW(file.c_str()), ATTRIBUTES);
    EXPECT_EQ(access_list(AT, file), list);
    expect_names(AT, folder, {L"kept.txt"});
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}   // namespace
