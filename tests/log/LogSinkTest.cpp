// The log sink keeps pieces whole and in order, from any thread.
#include "log/Log.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <string>
#include <thread>
#include <vector>

using namespace zuktest;

TEST(LogSink, KeepsPiecesAndNumbersInOrderWhileASinkIsSet)
{
    LogString("lost before\n");
    Captured captured;
    tolvane_set_sink(capture, &captured);
    LogString("RAA: Failed hr= ");
    for (const int32_t value : {static_cast<int32_t>(0x80004005), 0, 42, INT32_MIN, INT32_MAX})
        logNumber(value);
    LogString(nullptr);
    LogString("\n Extracting and Resampling \n");
    tolvane_set_sink(nullptr, &captured);
    LogString("lost after\n");
    EXPECT_EQ(captured.pieces,
        (std::vector<std::string>{"RAA: Failed hr= ", "-2147467259", "0", "42", "-2147483648", "2147483647",
            "\n Extracting and Resampling \n"}));
}

TEST(LogSink, PiecesFromManyThreadsArriveWhole)
{
    CapturingSink sink;
    constexpr int kThreads = 4;
    constexpr int kPieces = 1000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            const std::string piece = "thread " + std::to_string(t) + " says hello\n";
            for (int i = 0; i < kPieces; ++i)
                LogString(piece.c_str());
        });
    for (auto& thread : threads)
        thread.join();
    std::vector<int> perThread(kThreads);
    for (const auto& piece : sink.pieces())
        ++perThread.at(std::stoi(piece.substr(7)));
    EXPECT_EQ(perThread, std::vector<int>(kThreads, kPieces));
}

namespace {

std::atomic<bool> entered{false};
std::atomic<bool> released{false};

void blockInside(void*, const char*)
{
    entered = true;
    while (!released)
        std::this_thread::yield();
}

void logFromInside(void* user, const char* piece)
{
    auto* captured = static_cast<Captured*>(user);
    captured->pieces.emplace_back(piece);
    if (captured->pieces.size() == 1)
        LogString("from inside");
}

} // namespace

TEST(LogSink, ReplacingTheSinkWaitsForTheOneRunningAndASinkMayLog)
{
    tolvane_set_sink(blockInside, nullptr);
    std::thread logger([] { LogString("slow"); });
    while (!entered)
        std::this_thread::yield();
    std::atomic<bool> replaced{false};
    std::thread replacer([&] {
        tolvane_set_sink(nullptr, nullptr);
        replaced = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(replaced) << "the sink was replaced while it was still running";
    released = true;
    logger.join();
    replacer.join();

    Captured captured;
    tolvane_set_sink(logFromInside, &captured);
    LogString("outer");
    tolvane_set_sink(nullptr, nullptr);
    EXPECT_EQ(captured.pieces, (std::vector<std::string>{"outer", "from inside"}));
}
