// The commands, one file at a time.
#pragma once
#include <string>

#include "core/password.h"

// Exit statuses; a call over several files ends with the first failure's.
enum ExitStatus {
    EXIT_DONE = 0,
    EXIT_DECLINED = 1,          // shred not confirmed
    EXIT_USAGE = 2,
    EXIT_WRONG_PASSWORD = 3,
    EXIT_DAMAGED = 4,           // not a container this program can open
    EXIT_FILE_FAILURE = 5,      // missing, not a plain file, refused, or a read or write failed
};

struct RunOptions {
    bool in_place;
    bool force;
    bool quiet;
    std::string output;         // decrypt of one file: its output name
    char16_t password[PASSWORD_BUFFER_UNITS];
};

int encrypt_file(const RunOptions *run, const std::string &path);
int decrypt_file(const RunOptions *run, const std::string &path);
int shred_file(const RunOptions *run, const std::string &path);
int info_file(const RunOptions *run, const std::string &path);
// Checks a container's length and password, writing nothing.
int verify_file(const RunOptions *run, const std::string &path);

// "qvx: <path>: <reason>" on the error stream; gives back status.
int report_failure(const std::string &path, const std::string &reason, int status);
