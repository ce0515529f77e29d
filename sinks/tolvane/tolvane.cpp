#include <zuk/tolvane.h>

#include <mutex>

namespace {

struct Sink {
    // Recursive so that a sink which itself logs (or swaps the sink) cannot
    // deadlock its own thread.
    std::recursive_mutex lock;
    tolvane_sink function = nullptr;
    void* user = nullptr;
};

Sink& sink()
{
    static Sink instance;
    return instance;
}

} // namespace

extern "C" TOLVANE_API void LogString(const char* text)
{
    if (text == nullptr)
        return;
    Sink& s = sink();
    std::lock_guard guard(s.lock);
    if (s.function == nullptr)
        return;
    try {
        s.function(s.user, text);
    } catch (...) {
        // A host sink that throws must not unwind through the library.
    }
}

extern "C" TOLVANE_API void tolvane_set_sink(tolvane_sink function, void* user)
{
    Sink& s = sink();
    std::lock_guard guard(s.lock);
    s.function = function;
    s.user = function != nullptr ? user : nullptr;
}
