// Seed for the property tests: fixed so runs repeat, overridable with QVX_TEST_SEED, always printed.
#pragma once
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <random>
#include <vector>

static inline unsigned test_seed()
{
    static unsigned seed = [] {
        const char *text = getenv("QVX_TEST_SEED");
        unsigned s = text ? (unsigned)strtoul(text, nullptr, 0) : 20141208u;
        printf("property test seed: %u (set QVX_TEST_SEED to change)\n", s);
        return s;
    }();
    return seed;
}

static inline std::mt19937 seeded_rng(unsigned salt) { return std::mt19937(test_seed() ^ salt); }

static inline std::vector<uint8_t> random_bytes(std::mt19937 &rng, size_t count)
{
    std::vector<uint8_t> bytes(count);
    for (uint8_t &b : bytes)
        b = (uint8_t)rng();
    return bytes;
}
