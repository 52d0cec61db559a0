// How the commands open files: the source, and the new file that a result gets.
#pragma once
#include <windows.h>

enum : ULONG {
    SOURCE_ACCESS = SYNCHRONIZE | FILE_READ_ATTRIBUTES | FILE_READ_DATA,
    // With the overwrite flag the source's access list is read, for its replacement to keep.
    SOURCE_OVERWRITE_ACCESS = FILE_WRITE_DATA | READ_CONTROL,
    SOURCE_SHARE = FILE_SHARE_READ,
    SOURCE_DISPOSITION = FILE_OPEN,          // must exist
    OUTPUT_ACCESS = SYNCHRONIZE | DELETE | FILE_WRITE_ATTRIBUTES | FILE_WRITE_DATA,   // removed unless written whole
    REPLACEMENT_ACCESS = OUTPUT_ACCESS | WRITE_DAC,   // takes the source's access list
    OUTPUT_SHARE = 0,
    OUTPUT_DISPOSITION = FILE_CREATE,        // fails if the name exists
    OPEN_OPTIONS = FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE,
};
static_assert(SOURCE_ACCESS == 0x100081 && OUTPUT_ACCESS == 0x110102 && OPEN_OPTIONS == 0x60,
              "the masks the commands use");
