#include "mp4/Mp4Log.h"

#include <atomic>

namespace zuk {

namespace {

std::atomic<Mp4LogFunction> hook{nullptr};

} // namespace

void setMP4LogFunction(Mp4LogFunction function)
{
    hook.store(function, std::memory_order_release);
}

void mp4Log(const char* text)
{
    if (const Mp4LogFunction function = hook.load(std::memory_order_acquire))
        function(text);
}

} // namespace zuk
