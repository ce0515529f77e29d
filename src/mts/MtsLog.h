// The demultiplexer's log hook: a process-wide function that receives its log
// pieces. Empty until a caller sets it, and then nothing is logged.
#pragma once

#include <cstdint>

namespace zuk {

using MtsLogFunction = void (*)(const char* text);

// Any thread may set the hook while others log.
void setMtsLogger(MtsLogFunction function);

// One log line: "MTSPACKET: ", `text`, "\n", as three pieces.
void mtsLog(const char* text);

// One log line holding "MTSPACKET Number:" and `value`.
void mtsLogNumber(int32_t value);

// One log line telling how many bytes a walk stepped over to find its
// packets again; nothing when it stepped over none.
void mtsLogSkipped(uint64_t bytes);

} // namespace zuk
