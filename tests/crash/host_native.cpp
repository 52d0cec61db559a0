// The native layer for the fault host, with its page allocator under another name so that the
// host can put its own in front of it.
#define pages_allocate system_pages_allocate
#include "native/native.cpp"
