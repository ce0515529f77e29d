// The library's side of the log sink: LogString for text pieces, logNumber for
// numbers and HRESULTs, which travel as pieces of their own.
#pragma once

#include <zuk/tolvane.h>

#include <cstdint>

// Logs `value` as a signed decimal of 32 bits (E_FAIL gives -2147467259).
void logNumber(int32_t value);
