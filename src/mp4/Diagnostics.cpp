#include "mp4/Diagnostics.h"

#include <atomic>
#include <iostream>

namespace MP4Box {

namespace {

std::atomic<std::ostream*> current{&std::cout};

// A stream without a buffer fails every write, which drops the text.
std::ostream& discarded()
{
    static std::ostream nowhere(nullptr);
    return nowhere;
}

} // namespace

std::ostream& diagnostics()
{
    std::ostream* stream = current.load(std::memory_order_acquire);
    return stream != nullptr ? *stream : discarded();
}

void setDiagnostics(std::ostream* stream)
{
    current.store(stream, std::memory_order_release);
}

} // namespace MP4Box
