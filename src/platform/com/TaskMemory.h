// The task allocator: memory that crosses interfaces, also between modules.
// Every module's copy allocates from the one C heap, so a block may be freed
// by code other than the code that allocated it.
#pragma once

#include <cstddef>

// Whoever receives a block frees it with CoTaskMemFree. A zero-byte request
// still gives a distinct block.
void* CoTaskMemAlloc(size_t bytes);
void CoTaskMemFree(void* block); // null is allowed
