#include "core/container.h"
#include "core/passes.h"
#include "core/words.h"

enum { PROGRESS_STEP_WORDS = 64 * KEY_PERIOD };

uint32_t container_stamp(const uint8_t *buf) { return load32_le(buf + CONTAINER_STAMP_AT); }
uint32_t container_seed(const uint8_t *buf) { return load32_le(buf + CONTAINER_SEED_AT); }
uint32_t container_check(const uint8_t *buf) { return load32_le(buf + CONTAINER_CHECK_AT); }
uint32_t container_plain_length(const uint8_t *buf) { return container_stamp(buf) ^ container_seed(buf); }

uint32_t container_word_count(uint32_t plain_len) { return plain_len / 4 + (plain_len % 4 != 0); }

bool container_decipherable(const uint8_t *buf, uint32_t file_len)
{
    return file_len >= CONTAINER_HEADER_SIZE
        && container_plain_length(buf) <= file_len - CONTAINER_HEADER_SIZE;
}

void make_keys(uint32_t key[KEY_PERIOD], uint32_t seed, uint32_t first_word)
{
    for (unsigned j = 0; j < KEY_PERIOD; j++)
        key[j] = ror32(seed, first_word + j + 1);
}

// Progress is a plain shared word; it is stepped as unsigned so that lengths above 2 GiB wrap
// instead of overflowing a signed value.
static void advance(volatile int32_t *progress, int64_t delta)
{
    *progress = (int32_t)((uint32_t)*progress + (uint32_t)delta);
}

void forward_words(uint8_t *data, uint32_t first, uint32_t last, const uint32_t *key)
{
    uint32_t w = first;
    for (; w + KEY_PERIOD <= last; w += KEY_PERIOD) {
        uint8_t *p = data + 4 * (size_t)w;
        for (unsigned j = 0; j < KEY_PERIOD; j++)
            store32_le(p + 4 * j, load32_le(p + 4 * j) + load32_le(p + 4 * j + 4) + key[j]);
    }
    for (; w < last; w++) {
        uint8_t *p = data + 4 * (size_t)w;
        store32_le(p, load32_le(p) + load32_le(p + 4) + key[w % KEY_PERIOD]);
    }
}

uint32_t encrypt_in_place(uint8_t *buf, size_t buf_size, uint32_t plain_len, uint32_t check,
                          uint32_t stamp, volatile int32_t *progress)
{
    uint32_t n = container_word_count(plain_len);
    size_t out_len = CONTAINER_HEADER_SIZE + 4 * (size_t)n;
    if (buf_size < out_len)
        return 0;

    uint32_t seed = stamp ^ plain_len;
    store32_le(buf + CONTAINER_STAMP_AT, stamp);
    store32_le(buf + CONTAINER_SEED_AT, seed);
    store32_le(buf + CONTAINER_CHECK_AT, check);

    uint8_t *data = buf + CONTAINER_HEADER_SIZE;
    for (size_t i = plain_len; i < 4 * (size_t)n; i++)
        data[i] = 0;

    uint32_t key[KEY_PERIOD];
    make_keys(key, seed, 0);
    *progress = 0;
    if (n == 0)
        return (uint32_t)out_len;

    // Steps start at multiples of the key period so each chunk begins with key[0].
    for (uint32_t w = 0; w < n - 1;) {
        uint32_t end = n - 1 - w > PROGRESS_STEP_WORDS ? w + PROGRESS_STEP_WORDS : n - 1;
        forward_words(data, w, end, key);
        advance(progress, 4 * (int64_t)(end - w));
        w = end;
    }
    // The last word's right-hand neighbour is a zero word past the data.
    uint8_t *last = data + 4 * (size_t)(n - 1);
    store32_le(last, load32_le(last) + key[(n - 1) % KEY_PERIOD]);
    advance(progress, 4);
    return (uint32_t)out_len;
}

// Each plaintext word is t − its right-hand neighbour, t = cipher − key. With r[i] = (−1)^i·p[i]
// and s[i] = (−1)^i·t[i] this becomes r[i] = s[i] + r[i + 1]: a suffix sum, which needs only one
// addition per group of words on the chain from group to group instead of one per word.
#if defined(__SSE2__) && !defined(QVX_SCALAR_CORE)
#include <emmintrin.h>

static inline __m128i alternate(__m128i v, __m128i odd_lanes)
{
    return _mm_sub_epi32(_mm_xor_si128(v, odd_lanes), odd_lanes);
}

static inline __m128i suffix_sums(__m128i s)
{
    s = _mm_add_epi32(s, _mm_srli_si128(s, 4));
    return _mm_add_epi32(s, _mm_srli_si128(s, 8));
}

static inline __m128i signed_terms(const uint8_t *p, __m128i key, __m128i odd_lanes)
{
    return alternate(_mm_sub_epi32(_mm_loadu_si128((const __m128i *)p), key), odd_lanes);
}

// One key period of words at p; r_above holds r of the word above them in every lane.
static __m128i backward_period(uint8_t *p, const __m128i *key, __m128i r_above, __m128i odd_lanes)
{
    for (int g = KEY_PERIOD / 4 - 2; g >= 0; g -= 2) {
        __m128i lo = suffix_sums(signed_terms(p + 16 * g, key[g], odd_lanes));
        __m128i hi = suffix_sums(signed_terms(p + 16 * (g + 1), key[g + 1], odd_lanes));
        __m128i hi_total = _mm_shuffle_epi32(hi, 0);
        _mm_storeu_si128((__m128i *)(p + 16 * (g + 1)), alternate(_mm_add_epi32(hi, r_above), odd_lanes));
        _mm_storeu_si128((__m128i *)(p + 16 * g),
                         alternate(_mm_add_epi32(lo, _mm_add_epi32(hi_total, r_above)), odd_lanes));
        r_above = _mm_add_epi32(r_above, _mm_add_epi32(hi_total, _mm_shuffle_epi32(lo, 0)));
    }
    return r_above;
}

static uint32_t backward_periods(uint8_t *data, uint32_t first, uint32_t last, uint32_t next,
                                 const uint32_t *key)
{
    __m128i keys[KEY_PERIOD / 4];
    for (unsigned g = 0; g < KEY_PERIOD / 4; g++)
        keys[g] = _mm_loadu_si128((const __m128i *)(key + 4 * g));
    const __m128i odd_lanes = _mm_set_epi32(-1, 0, -1, 0);
    // Periods start at even words, so r = p at their edges.
    __m128i r = _mm_set1_epi32((int)next);
    for (uint32_t w = last; w > first; w -= KEY_PERIOD)
        r = backward_period(data + 4 * (size_t)(w - KEY_PERIOD), keys, r, odd_lanes);
    return (uint32_t)_mm_cvtsi128_si32(r);
}
#else
// Four words at p below the plaintext word next; the same suffix sum in scalar form.
static inline uint32_t backward_group(uint8_t *p, const uint32_t *key, uint32_t next)
{
    uint32_t t0 = load32_le(p) - key[0], t1 = load32_le(p + 4) - key[1];
    uint32_t t2 = load32_le(p + 8) - key[2], t3 = load32_le(p + 12) - key[3];
    uint32_t a = t2 - t3, b = t1 - a, c = t0 - b;
    store32_le(p + 12, t3 - next);
    store32_le(p + 8, a + next);
    store32_le(p + 4, b - next);
    store32_le(p, c + next);
    return c + next;
}

static uint32_t backward_periods(uint8_t *data, uint32_t first, uint32_t last, uint32_t next,
                                 const uint32_t *key)
{
    for (uint32_t w = last; w > first; w -= KEY_PERIOD) {
        uint8_t *p = data + 4 * (size_t)(w - KEY_PERIOD);
        for (unsigned j = KEY_PERIOD; j > 0; j -= 4)
            next = backward_group(p + 4 * (j - 4), key + j - 4, next);
    }
    return next;
}
#endif

uint32_t backward_words(uint8_t *data, uint32_t first, uint32_t last, uint32_t next,
                               const uint32_t *key)
{
    uint32_t w = last;
    while (w % KEY_PERIOD != 0) {
        w--;
        uint8_t *p = data + 4 * (size_t)w;
        next = load32_le(p) - (next + key[w % KEY_PERIOD]);
        store32_le(p, next);
    }
    return w > first ? backward_periods(data, first, w, next, key) : next;
}

uint32_t decrypt_in_place(uint8_t *buf, size_t buf_size, uint32_t file_len,
                          volatile int32_t *progress)
{
    if (file_len > buf_size || !container_decipherable(buf, file_len))
        return 0;

    uint32_t plain_len = container_plain_length(buf);
    uint32_t n = (file_len - CONTAINER_HEADER_SIZE) / 4;
    // Words are counted back from the end of the file; stray bytes after the header pass through.
    uint8_t *data = buf + (file_len - 4 * (size_t)n);

    uint32_t key[KEY_PERIOD];
    make_keys(key, container_seed(buf), 0);
    *progress = (int32_t)plain_len;

    uint32_t next = 0;
    for (uint32_t w = n; w > 0;) {
        uint32_t start = (w - 1) / PROGRESS_STEP_WORDS * PROGRESS_STEP_WORDS;
        next = backward_words(data, start, w, next, key);
        advance(progress, -4 * (int64_t)(w - start));
        w = start;
    }
    return plain_len;
}
