#include "core/password.h"
#include "core/words.h"

uint32_t derive_check(const char16_t *password)
{
    uint32_t h = 0, x = 0;
    for (unsigned i = 0; i < PASSWORD_MAX_UNITS && password[i]; i++) {
        // The high half of the last square stays in x: that makes the value order-dependent.
        x = (x & 0xFFFF0000u) | password[i];
        x = x * x;
        h = ror32(h + x, 1);
    }
    return h;
}

bool confirm_password(const char16_t *password, const char16_t *confirmation)
{
    for (unsigned i = 0; i < PASSWORD_MAX_UNITS; i++) {
        if (password[i] != confirmation[i])
            return false;
        if (password[i] == 0)
            return true;
    }
    return true;
}

uint32_t derive_companion(const char16_t *password)
{
    uint32_t a = 0, b = 0, h = 0;
    for (unsigned i = 0; i < PASSWORD_MAX_UNITS && password[i]; i++) {
        uint32_t c = password[i];
        uint32_t next = i + 1 < PASSWORD_MAX_UNITS ? password[i + 1] : 0;
        a = (a & 0xFFFF0000u) | c;
        b = (b & 0xFFFF0000u) | ((b + next + c) & 0xFFFFu);
        uint64_t product = (uint64_t)a * b;
        a = (uint32_t)product;
        b = (uint32_t)(product >> 32);
        h = rol32(h + a, 1);
    }
    return h;
}
