#include "native/process_block.h"

// The leading fields of the process environment block, laid out as the system lays them out for
// 32- and 64-bit processes alike.
struct PebHead {
    BYTE flags[4];
    HANDLE mutant;
    HINSTANCE image_base;
    void *loader_data;
    RTL_USER_PROCESS_PARAMETERS *parameters;
};

// GCC takes the segment-relative read inside NtCurrentTeb for an access to an empty array.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
static TEB *teb(void) { return NtCurrentTeb(); }
#pragma GCC diagnostic pop

NT_TIB *thread_block(void) { return (NT_TIB *)teb(); }

static const PebHead *peb(void) { return (const PebHead *)teb()->ProcessEnvironmentBlock; }

HINSTANCE process_image_base(void) { return peb()->image_base; }

const UNICODE_STRING *process_command_line(void) { return &peb()->parameters->CommandLine; }

// Where the block keeps the system's version numbers, past the fields declared above.
static const SIZE_T OS_VERSION_AT = sizeof(void *) == 4 ? 0xA4 : 0x118;

void process_os_version(uint32_t *major, uint32_t *minor)
{
    const BYTE *block = (const BYTE *)peb();
    *major = *(const ULONG *)(block + OS_VERSION_AT);
    *minor = *(const ULONG *)(block + OS_VERSION_AT + 4);
}
