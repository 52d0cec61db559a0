// The word loops shared by the in-memory passes and the streaming engine.
#pragma once
#include <stdint.h>

// The key of word i is ror(seed, i + 1), so it repeats every 32 words; keeping the 32 keys in a
// table lets each pass work on whole 32-word chunks with no rotate in the loop.
enum { KEY_PERIOD = 32 };

// key[j] is the key of word first_word + j (and of every word 32 further on).
void make_keys(uint32_t key[KEY_PERIOD], uint32_t seed, uint32_t first_word);

// d[w] += d[w + 1] + key[w % 32] for words first .. last − 1, all neighbours still plaintext.
void forward_words(uint8_t *data, uint32_t first, uint32_t last, const uint32_t *key);

// d[w] −= d[w + 1] + key[w % 32] for words last − 1 down to first (a multiple of the key period);
// next is the plaintext of word last. Returns the plaintext of word first.
uint32_t backward_words(uint8_t *data, uint32_t first, uint32_t last, uint32_t next,
                        const uint32_t *key);
