#include "mts/MtsLog.h"

#include <atomic>
#include <cstdio>

namespace zuk {

namespace {

std::atomic<MtsLogFunction> hook{nullptr};

void logPiece(const char* piece)
{
    if (const MtsLogFunction function = hook.load(std::memory_order_acquire))
        function(piece);
}

} // namespace

void setMtsLogger(MtsLogFunction function)
{
    hook.store(function, std::memory_order_release);
}

void mtsLog(const char* text)
{
    logPiece("MTSPACKET: ");
    logPiece(text);
    logPiece("\n");
}

void mtsLogNumber(int32_t value)
{
    char text[64];
    std::snprintf(text, sizeof text, "MTSPACKET Number:%d", static_cast<int>(value));
    mtsLog(text);
}

void mtsLogSkipped(uint64_t bytes)
{
    if (bytes == 0)
        return;
    char text[64];
    std::snprintf(
        text, sizeof text, "Skipped %llu bytes to find the next packet", static_cast<unsigned long long>(bytes));
    mtsLog(text);
}

} // namespace zuk
