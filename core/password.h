// Password check value and confirmation. A password is UTF-16 units up to a zero unit, cut to
// PASSWORD_MAX_UNITS as the password box's buffer cuts it.
#pragma once
#include <stdint.h>

enum { PASSWORD_MAX_UNITS = 129, PASSWORD_BUFFER_UNITS = PASSWORD_MAX_UNITS + 1 };

uint32_t derive_check(const char16_t *password);

// Same length and same units; texts longer than the limit compare as their cut prefixes.
bool confirm_password(const char16_t *password, const char16_t *confirmation);

// Second word derived alongside the check value for Encrypt; nothing reads it, the container
// does not carry it.
uint32_t derive_companion(const char16_t *password);
