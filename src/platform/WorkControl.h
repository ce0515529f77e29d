// What the thread running an extraction may use and whether it should stop:
// how many threads one long file may be decoded on, and a stop asked for
// from another thread (a batch being cancelled). Both are per calling thread,
// so concurrent extractions (a batch's workers) each keep their own.
#pragma once

#include <atomic>
#include <cstdint>

namespace zuk {

// Threads one extraction may decode on: the calling thread's own setting
// (a DecodeThreadsScope), else the process-wide one (zuk_set_extract_threads),
// else the number of cores. Always at least 1; 1 means never split.
int decodeThreads();
// The number of cores, at least 1.
int coreCount();
void setProcessDecodeThreads(int32_t threads); // 0: the number of cores

class DecodeThreadsScope {
public:
    explicit DecodeThreadsScope(int threads);
    ~DecodeThreadsScope();
    DecodeThreadsScope(const DecodeThreadsScope&) = delete;
    DecodeThreadsScope& operator=(const DecodeThreadsScope&) = delete;

private:
    int previous;
};

// True once the stop flag watched by this thread is set. Work checks it
// between blocks and gives up early; threads it starts watch the same flag
// (StopScope(watchedStopFlag())).
bool stopRequested();
const std::atomic<bool>* watchedStopFlag();

class StopScope {
public:
    explicit StopScope(const std::atomic<bool>* flag);
    ~StopScope();
    StopScope(const StopScope&) = delete;
    StopScope& operator=(const StopScope&) = delete;

private:
    const std::atomic<bool>* previous;
};

} // namespace zuk
