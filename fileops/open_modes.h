// How the commands open files: the source, and the new file that an output gets.
#pragma once
#include <windows.h>

enum : ULONG {
    SOURCE_ACCESS = SYNCHRONIZE | FILE_READ_ATTRIBUTES | FILE_READ_DATA,
    SOURCE_SHARE = FILE_SHARE_READ,
    SOURCE_DISPOSITION = FILE_OPEN,          // must exist
    OUTPUT_ACCESS = SYNCHRONIZE | DELETE | FILE_WRITE_ATTRIBUTES | FILE_WRITE_DATA,   // removed unless written whole
    OUTPUT_SHARE = 0,
    OUTPUT_DISPOSITION = FILE_CREATE,        // fails if the name exists
    OPEN_OPTIONS = FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE,
};
static_assert(SOURCE_ACCESS == 0x100081 && OUTPUT_ACCESS == 0x110102 && OPEN_OPTIONS == 0x60,
              "the masks the commands use");
