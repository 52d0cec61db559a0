#include "core/container.h"

#include <x86intrin.h>

uint32_t read_stamp(void) { return (uint32_t)__rdtsc(); }
