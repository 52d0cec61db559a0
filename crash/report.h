// The crash report's text: a pure function of the fault's facts, so it can be checked exactly.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum { REPORT_STACK_WORDS = 21, HEX8_UNITS = 9 };

struct CrashFacts {
    uint32_t os_major, os_minor;
    const char16_t *product;
    uint32_t tag;                    // four ASCII bytes, lowest first
    uint32_t code;
    uint32_t eip, image_base;
    uint32_t eax, ecx, edx, ebx, esi, edi;
    uint32_t esp, ebp;
};

// Reads the 32-bit word at address into *word; false when that memory cannot be read.
typedef bool (*ReadWord)(uint32_t address, uint32_t *word, void *context);

// Shown for a stack word that cannot be read.
extern const char16_t UNREADABLE_WORD[HEX8_UNITS];

// Eight uppercase hexadecimal digits and a terminator.
void hex8(uint32_t value, char16_t out[HEX8_UNITS]);

// Writes the report, terminated, into out (cut to fit capacity units); returns its length.
size_t build_report(char16_t *out, size_t capacity, const CrashFacts *facts, ReadWord read,
                    void *context);
