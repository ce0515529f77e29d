// A log sink that keeps every piece the library logs, for tests of its texts.
#pragma once

#include <zuk/tolvane.h>

#include <numeric>
#include <string>
#include <vector>

namespace zuktest {

// Deliberately without a lock of its own: the sink's lock must serialise calls.
struct Captured {
    std::vector<std::string> pieces;
};

inline void capture(void* user, const char* piece)
{
    static_cast<Captured*>(user)->pieces.emplace_back(piece);
}

// Captures the log while alive.
struct CapturingSink {
    Captured captured;
    CapturingSink() { tolvane_set_sink(capture, &captured); }
    ~CapturingSink() { tolvane_set_sink(nullptr, nullptr); }
    CapturingSink(const CapturingSink&) = delete;
    CapturingSink& operator=(const CapturingSink&) = delete;

    const std::vector<std::string>& pieces() const { return captured.pieces; }
    std::string joined() const
    {
        return std::accumulate(captured.pieces.begin(), captured.pieces.end(), std::string());
    }
};

} // namespace zuktest
