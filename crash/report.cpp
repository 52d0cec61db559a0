#include "crash/report.h"

const char16_t UNREADABLE_WORD[HEX8_UNITS] = u"????????";

struct Cursor {
    char16_t *at, *end;   // end is the last unit, kept for the terminator
};

// Copies text with its terminator; the cursor stops on the terminator so the next piece replaces it.
static void put(Cursor *c, const char16_t *text)
{
    while (*text && c->at < c->end)
        *c->at++ = *text++;
    *c->at = 0;
}

static void put_hex(Cursor *c, uint32_t value)
{
    char16_t digits[HEX8_UNITS];
    hex8(value, digits);
    put(c, digits);
}

// A label, the value and a line break.
static void put_line(Cursor *c, const char16_t *label, uint32_t value)
{
    put(c, label);
    put_hex(c, value);
    put(c, u"\r\n");
}

void hex8(uint32_t value, char16_t out[HEX8_UNITS])
{
    static const char16_t DIGITS[] = u"0123456789ABCDEF";
    for (int i = 7; i >= 0; i--, value >>= 4)
        out[i] = DIGITS[value & 15];
    out[8] = 0;
}

static void put_stack(Cursor *c, const CrashFacts *f, ReadWord read, void *context)
{
    // Starts one word below the stack pointer: the word a call would have pushed last.
    for (uint32_t i = 0; i < REPORT_STACK_WORDS; i++) {
        uint32_t address = f->esp - 4 + 4 * i, word;
        put_hex(c, address);
        put(c, u"  ");
        if (read(address, &word, context))
            put_hex(c, word);
        else
            put(c, UNREADABLE_WORD);
        if (i + 1 < REPORT_STACK_WORDS)
            put(c, u"\r\n");
    }
}

size_t build_report(char16_t *out, size_t capacity, const CrashFacts *f, ReadWord read,
                    void *context)
{
    if (capacity == 0)
        return 0;
    Cursor c = {out, out + capacity - 1};
    put(&c, u"WinVer=");
    put_hex(&c, f->os_major);
    put(&c, u".");
    put_hex(&c, f->os_minor);
    put(&c, u"\r\n\r\n");
    put(&c, f->product);
    char16_t tag[] = {u' ', (char16_t)(f->tag & 0xFF), (char16_t)(f->tag >> 8 & 0xFF),
                      (char16_t)(f->tag >> 16 & 0xFF), (char16_t)(f->tag >> 24), 0};
    put(&c, tag);
    put(&c, u"\r\n\r\n=======Exception=======\r\n");
    put_line(&c, u"ExceptionCode=", f->code);
    put_line(&c, u"EIP=", f->eip);
    put_line(&c, u"ImageBase=", f->image_base);
    put(&c, u"\r\n=======Register=======\r\n");
    put_line(&c, u"EAX=", f->eax);
    put_line(&c, u"ECX=", f->ecx);
    put_line(&c, u"EDX=", f->edx);
    put_line(&c, u"EBX=", f->ebx);
    put_line(&c, u"ESI=", f->esi);
    put_line(&c, u"EDI=", f->edi);
    put(&c, u"\r\n=======Stack=======\r\n");
    put_line(&c, u"ESP=", f->esp);
    put_line(&c, u"EBP=", f->ebp);
    put(&c, u"\r\n");
    put_stack(&c, f, read, context);
    return (size_t)(c.at - out);
}
