// The one process-wide record that the parts of the program share, zero at start. Its owners:
// the main window and the About box fill the window handles; a command's start phase fills the
// command fields and its worker owns them until the command ends; the update check owns its byte
// count; the crash guard owns the report fields.
#pragma once
#include <windows.h>
#include <commdlg.h>

#include <stdint.h>

#include "core/password.h"
#include "res/version.h"

enum { PATH_UNITS = 260, OUTPUT_SUFFIX_UNITS = 4 };   // ".QVX"

// In-place writes and closing the window: the write must finish before the process ends.
enum { WRITE_IDLE = 0, WRITE_IN_PLACE = 1, WRITE_THEN_END = 2, WRITE_CLOSING = 3 };

struct AppState {
    HWND main_window;
    HWND about_box;
    HWND progress_bar;

    // The running command, filled by its start phase and owned by its worker. The claim is taken
    // before anything else and given back by the command's end: one command at a time.
    volatile LONG command_running;
    HANDLE file;            // the source
    HANDLE output;          // the result's own file until it is whole and in its place
    HANDLE pump_thread;
    volatile LONG pump_stop;
    uint8_t *buffer;        // the whole file, or one chunk of it when the file streams
    SIZE_T buffer_bytes;
    bool streaming;
    uint32_t file_length;
    uint32_t output_length;
    volatile int32_t progress;
    uint32_t check;
    uint32_t companion;
    bool overwrite;
    int output_way;
    volatile LONG write_state;
    WCHAR command_path[PATH_UNITS + OUTPUT_SUFFIX_UNITS];

    DWORD update_received;

    OPENFILENAMEW open_file;
    WCHAR path[PATH_UNITS];
    WCHAR password[PASSWORD_BUFFER_UNITS];
    WCHAR confirmation[PASSWORD_BUFFER_UNITS];

    uint32_t version_tag;
    const WCHAR *product_name;
    DWORD guarded_thread;
    WCHAR *report;
    SIZE_T report_size;
};

extern AppState app;

extern const WCHAR PRODUCT_NAME[];   // "Vantle File Encryptor"

// The version tag's four bytes read as one little-endian word.
constexpr uint32_t tag_word(const char (&tag)[5])
{
    return (uint32_t)(uint8_t)tag[0] | (uint32_t)(uint8_t)tag[1] << 8 | (uint32_t)(uint8_t)tag[2] << 16
         | (uint32_t)(uint8_t)tag[3] << 24;
}
constexpr uint32_t VERSION_TAG = tag_word(QVX_VERSION_TAG);
static_assert(VERSION_TAG == 0x42313231, "the tag's bytes in file order");
