// Little-endian word access and rotations shared by the cipher and the check value.
#pragma once
#include <stdint.h>
#include <string.h>

// On little-endian targets a plain copy is the same load and lets the compiler vectorise the passes.
static inline uint32_t load32_le(const uint8_t *p)
{
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
#else
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
#endif
}

static inline void store32_le(uint8_t *p, uint32_t v)
{
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    memcpy(p, &v, 4);
#else
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
#endif
}

static inline uint32_t ror32(uint32_t k, unsigned r) { return (k >> (r & 31)) | (k << ((32 - r) & 31)); }
static inline uint32_t rol32(uint32_t k, unsigned r) { return (k << (r & 31)) | (k >> ((32 - r) & 31)); }
