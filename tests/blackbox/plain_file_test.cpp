// The commands work on plain files only: devices and folders cannot be opened, and a file with
// other names is not shredded.
#include "tests/support/files.h"
#include "res/resource.h"

namespace {

class PlainFiles : public BlackBox {};

const wchar_t PASSWORD[] = L"plain only";

// Names of the folder's entries.
std::set<std::wstring> entries_of(const std::wstring &folder)
{
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
        if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0)
            names.insert(found.cFileName);
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    return names;
}

TEST_F(PlainFiles, DevicesAndFoldersCannotBeOpened)
{
    make_folder(AT, path(L"sub"));
    // Started in the test's folder, where a name made from a device's would appear.
    app_start(AT, app, L"", folder);
    for (const std::wstring &source : {std::wstring(L"NUL"), std::wstring(L"CON"), std::wstring(L"C:"), path(L"sub")}) {
        SCOPED_TRACE(utf8(source));
        for (bool overwrite : {false, true}) {
            choose(AT, app, source, PASSWORD, PASSWORD, overwrite);
            run_command(AT, app, IDC_ENCRYPT, TEXT_CANNOT_OPEN);
            run_command(AT, app, IDC_DECRYPT, TEXT_CANNOT_OPEN);
        }
        run_command(AT, app, IDC_SHRED, TEXT_CANNOT_OPEN);
    }
    EXPECT_EQ(entries_of(folder), std::set<std::wstring>{L"sub"});
    EXPECT_TRUE(entries_of(path(L"sub")).empty());
}

TEST_F(PlainFiles, FileWithOtherNamesIsNotShredded)
{
    std::wstring file = path(L"first name.txt"), other = path(L"second name.txt");
    Bytes content = random_bytes(5000, 51);
    write_file(AT, file, content);
    ASSERT_TRUE(CreateHardLinkW(other.c_str(), file.c_str(), nullptr)) << "error " << GetLastError();
    app_start(AT, app);
    choose(AT, app, file, L"", L"", false);
    run_command(AT, app, IDC_SHRED, TEXT_SHRED_FAILED);
    expect_file(AT, file, content);
    expect_file(AT, other, content);
    EXPECT_TRUE(opens_exclusively(file));
}

}   // namespace
