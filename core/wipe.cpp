#include "core/wipe.h"

#include <string.h>

// The empty statement claims to read the buffer through memory, so the compiler must keep the
// stores before it, even when the buffer is never used again.
void wipe_secret(void *buffer, size_t bytes)
{
    memset(buffer, 0, bytes);
    __asm__ __volatile__("" : : "r"(buffer) : "memory");
}
