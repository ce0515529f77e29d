// A signal that wakes one wait and then resets itself. Several sets before a
// wait count as one.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace zuk {

class AutoResetEvent {
public:
    void set()
    {
        {
            std::lock_guard guard(lock);
            signalled = true;
        }
        woken.notify_one();
    }

    // True when the event was set (and is now reset); false after `timeout`.
    bool wait(std::chrono::milliseconds timeout)
    {
        std::unique_lock guard(lock);
        if (!woken.wait_for(guard, timeout, [this] { return signalled; }))
            return false;
        signalled = false;
        return true;
    }

private:
    std::mutex lock;
    std::condition_variable woken;
    bool signalled = false;
};

} // namespace zuk
