// The log sink keeps pieces whole and in order, from any thread.
#include "log/Log.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
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
    for (const int32_t value : {static_cast<int32_t>(0x80004005), 0, INT32_MIN, INT32_MAX})
        logNumber(value);
    LogString(nullptr);
    LogString("\n Extracting and Resampling \n");
    tolvane_set_sink(nullptr, &captured);
    LogString("lost after\n");
    EXPECT_EQ(captured.pieces,
        (std::vector<std::string>{
            "RAA: Failed hr= ", "-2147467259", "0", "-2147483648", "2147483647", "\n Extracting and Resampling \n"}));
}

// Pieces from many threads arrive whole: the capture has no lock of its own.
TEST(LogSink, ServesManyThreadsOneCallAtATime)
{
    CapturingSink sink;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            const std::string piece = "thread " + std::to_string(t) + " says hello\n";
            for (int i = 0; i < 1000; ++i)
                LogString(piece.c_str());
        });
    for (auto& thread : threads)
        thread.join();
    std::vector<int> perThread(4);
    for (const auto& piece : sink.pieces())
        ++perThread.at(std::stoi(piece.substr(7)));
    EXPECT_EQ(perThread, std::vector<int>(4, 1000));
}
