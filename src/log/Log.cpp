#include "log/Log.h"

#include <cstdio>

void logNumber(int32_t value)
{
    char text[1024];
    std::snprintf(text, sizeof text, "%li", static_cast<long>(value));
    LogString(text);
}
