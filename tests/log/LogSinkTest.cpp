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

TEST(LogSink, KeepsPiecesInOrderWithNothingBetween)
{
    CapturingSink sink;
    LogString("RAA: Failed hr= ");
    logNumber(static_cast<int32_t>(0x80004005));
    LogString("\n");
    LogString("Successfully acquired handles");
    LogString("\n Extracting and Resampling \n");
    EXPECT_EQ(sink.captured.pieces,
              (std::vector<std::string>{"RAA: Failed hr= ", "-2147467259", "\n", "Successfully acquired handles",
                                        "\n Extracting and Resampling \n"}));
}

TEST(LogSink, NumbersAreSigned32BitDecimals)
{
    CapturingSink sink;
    for (const int32_t value : {0, -1, 42, INT32_MIN, INT32_MAX})
        logNumber(value);
    EXPECT_EQ(sink.captured.pieces,
              (std::vector<std::string>{"0", "-1", "42", "-2147483648", "2147483647"}));
}

TEST(LogSink, DropsPiecesWhileNoSinkIsSet)
{
    LogString("lost before\n");
    Captured captured;
    tolvane_set_sink(capture, &captured);
    LogString(nullptr);
    LogString("kept\n");
    tolvane_set_sink(nullptr, &captured);
    LogString("lost after\n");
    EXPECT_EQ(captured.pieces, (std::vector<std::string>{"kept\n"}));
}

TEST(LogSink, PiecesFromManyThreadsArriveWhole)
{
    CapturingSink sink;
    constexpr int kThreads = 8;
    constexpr int kPieces = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            const std::string piece = "thread " + std::to_string(t) + " says hello\n";
            for (int i = 0; i < kPieces; ++i)
                LogString(piece.c_str());
        });
    for (auto& thread : threads)
        thread.join();
    ASSERT_EQ(sink.captured.pieces.size(), size_t{kThreads * kPieces});
    std::vector<int> perThread(kThreads);
    for (const auto& piece : sink.captured.pieces) {
        ASSERT_EQ(piece.rfind("thread ", 0), 0u) << piece;
        ++perThread.at(std::stoi(piece.substr(7)));
    }
    EXPECT_EQ(perThread, std::vector<int>(kThreads, kPieces));
}

namespace {

struct Blocking {
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
};

void blockInside(void* user, const char*)
{
    auto* blocking = static_cast<Blocking*>(user);
    blocking->entered = true;
    while (!blocking->release)
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

TEST(LogSink, ReplacingTheSinkWaitsForTheOneRunning)
{
    Blocking blocking;
    tolvane_set_sink(blockInside, &blocking);
    std::thread logger([] { LogString("slow"); });
    while (!blocking.entered)
        std::this_thread::yield();
    std::atomic<bool> replaced{false};
    std::thread replacer([&] {
        tolvane_set_sink(nullptr, nullptr);
        replaced = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(replaced) << "the sink was replaced while it was still running";
    blocking.release = true;
    logger.join();
    replacer.join();
    EXPECT_TRUE(replaced);
}

TEST(LogSink, ASinkThatLogsDoesNotDeadlock)
{
    Captured captured;
    tolvane_set_sink(logFromInside, &captured);
    LogString("outer");
    tolvane_set_sink(nullptr, nullptr);
    EXPECT_EQ(captured.pieces, (std::vector<std::string>{"outer", "from inside"}));
}
