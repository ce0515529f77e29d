// The log sink keeps pieces whole and in order while it is set.
#include "log/Log.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
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
