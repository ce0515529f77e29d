#include "platform/WorkControl.h"

#include <algorithm>
#include <thread>

namespace zuk {

namespace {

std::atomic<int32_t> processThreads{0};
thread_local int threadThreads = 0;
thread_local const std::atomic<bool>* stopFlag = nullptr;

} // namespace

int coreCount()
{
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

int decodeThreads()
{
    if (threadThreads > 0)
        return threadThreads;
    const int32_t process = processThreads.load(std::memory_order_relaxed);
    return process > 0 ? process : coreCount();
}

void setProcessDecodeThreads(int32_t threads)
{
    processThreads.store(std::max<int32_t>(threads, 0), std::memory_order_relaxed);
}

DecodeThreadsScope::DecodeThreadsScope(int threads) : previous(threadThreads)
{
    threadThreads = std::max(threads, 0);
}

DecodeThreadsScope::~DecodeThreadsScope()
{
    threadThreads = previous;
}

bool stopRequested()
{
    return stopFlag != nullptr && stopFlag->load(std::memory_order_relaxed);
}

const std::atomic<bool>* watchedStopFlag()
{
    return stopFlag;
}

StopScope::StopScope(const std::atomic<bool>* flag) : previous(stopFlag)
{
    stopFlag = flag;
}

StopScope::~StopScope()
{
    stopFlag = previous;
}

} // namespace zuk
