#include "core/container.h"

// Processors without a time-stamp counter (and the core built without processor-specific code)
// take the low bits of a nanosecond clock, which change as fast.
#if (defined(__i386__) || defined(__x86_64__)) && !defined(QVX_SCALAR_CORE)
#include <x86intrin.h>

uint32_t read_stamp(void) { return (uint32_t)__rdtsc(); }
#else
#include <chrono>

uint32_t read_stamp(void)
{
    uint64_t ticks = (uint64_t)std::chrono::steady_clock::now().time_since_epoch().count();
    return (uint32_t)ticks ^ (uint32_t)(ticks >> 32);
}
#endif
