// Steps a Windows test cannot take under Wine, taken by tests/blackbox/outside_wine.sh as a Linux
// program: disks mounted and filled, files cut short, a running program's memory limited.
#pragma once
#include <string>

#include "tests/support/driver.h"

// Runs the script with `arguments` (no spaces within one) and gives its exit status.
int outside_wine(At at, const std::string &arguments);
// The Unix path of a path Wine shows on drive Z:.
std::string unix_path(const std::wstring &windows);
