#include "platform/com/TaskMemory.h"

#include <cstdlib>

void* CoTaskMemAlloc(size_t bytes)
{
    return std::malloc(bytes == 0 ? 1 : bytes);
}

void CoTaskMemFree(void* block)
{
    std::free(block);
}
