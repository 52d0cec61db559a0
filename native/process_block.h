// What the program reads from its own process environment block.
#pragma once
#include <windows.h>
#include <winternl.h>

#include <stdint.h>

HINSTANCE process_image_base(void);                  // also the module instance
const UNICODE_STRING *process_command_line(void);    // as the system received it
void process_os_version(uint32_t *major, uint32_t *minor);
NT_TIB *thread_block(void);                          // the calling thread's information block
