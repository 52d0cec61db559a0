// The one process-wide record the parts of the program share; zero at start.
#pragma once
#include <windows.h>
#include <commdlg.h>

#include <stdint.h>

#include "core/password.h"
#include "fileops/native.h"

enum { PATH_UNITS = 260, OUTPUT_SUFFIX_UNITS = 4 };   // ".QVX"

// In-place writes and closing the window: the write must finish before the process ends.
enum { WRITE_IDLE = 0, WRITE_IN_PLACE = 1, WRITE_THEN_END = 2, WRITE_CLOSING = 3 };

struct AppState {
    HWND main_window;
    HWND about_box;
    HWND progress_bar;

    // The running command, filled by its start phase and owned by its worker.
    HANDLE file;
    HANDLE pump_thread;
    volatile LONG pump_stop;
    uint8_t *buffer;
    uint32_t file_length;
    uint32_t output_length;
    volatile int32_t progress;
    uint32_t check;
    uint32_t companion;
    bool overwrite;
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
    WCHAR hex_scratch[20];
};

extern AppState app;

extern const WCHAR PRODUCT_NAME[];   // "Vantle File Encryptor"

// This build's tag "121B": the bytes 0x31 0x32 0x31 0x42 read as one little-endian word.
enum : uint32_t { VERSION_TAG = 0x42313231 };
