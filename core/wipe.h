// Clearing secrets (passwords and the buffers they passed through) so that the stores stay.
#pragma once
#include <stddef.h>

// Sets bytes to zero; unlike memset before the buffer's end of life, never optimised away.
void wipe_secret(void *buffer, size_t bytes);
