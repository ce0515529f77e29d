// The demultiplexer's log hook: silent while empty, three pieces per line, and
// safe to set while other threads log.
#include "mts/MtsLog.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace zuk;
using zuktest::CapturingSink;

namespace {

std::atomic<int> calls{0};

void countCall(const char*)
{
    calls.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

TEST(MtsLogTest, LinesGoThroughTheHookOnceItIsSet)
{
    CapturingSink log;
    setMtsLogger(nullptr);
    mtsLog("before");
    EXPECT_TRUE(log.pieces().empty());

    setMtsLogger(LogString);
    mtsLog("Number of Programs");
    mtsLogNumber(2);
    mtsLogNumber(-1);
    setMtsLogger(nullptr);
    const std::vector<std::string> expected{"MTSPACKET: ", "Number of Programs", "\n",
        "MTSPACKET: ", "MTSPACKET Number:2", "\n", "MTSPACKET: ", "MTSPACKET Number:-1", "\n"};
    EXPECT_EQ(log.pieces(), expected);
}

TEST(MtsLogTest, TheHookMayBeSetWhileOtherThreadsLog)
{
    calls = 0;
    std::vector<std::thread> loggers;
    for (int t = 0; t < 4; ++t)
        loggers.emplace_back([] {
            for (int i = 0; i < 2000; ++i)
                mtsLogNumber(i);
        });
    setMtsLogger(countCall);
    for (auto& logger : loggers)
        logger.join();
    mtsLog("after");
    setMtsLogger(nullptr);
    EXPECT_GE(calls.load(), 3);
}
