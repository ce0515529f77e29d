// The extraction behind Extract and Extract_DotNet, for entry points that run
// it on files of their own choosing (a batch's workers).
#pragma once

#include <zuk/zuk.h>

#include <cstdint>

namespace zuk {

// Extracts `input` to `output` as Extract does (managed 0) or Extract_DotNet
// (managed 1), without their entry lines; a success whose output cannot be
// found is ZUK_E_EXTRACT. May throw, as the back ends may.
int32_t extractAndCheck(const zuk_char* input, const zuk_char* output, ProgressCallback progress, int32_t managed);

} // namespace zuk
