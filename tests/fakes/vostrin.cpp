// Stand-in for libvostrin.so. ZUK_FAKE_NO_FRAME_RATE leaves out
// mfax_GetFrameRate (an older library); ZUK_FAKE_BARE leaves out everything.
#include "FakeSibling.h"

ZUK_FAKE_LOAD_LOG("vostrin")

#ifndef ZUK_FAKE_BARE
ZUK_FAKE_EXPORT int32_t mfax_ExtractAudio(const zuk_char* input, const zuk_char* output, ProgressCallback progress)
{
    zuk_fake::logCall({"vostrin", "mfax_ExtractAudio", zuk_fake::utf8(input), zuk_fake::utf8(output)});
    zuk_fake::copyWav("ZUK_FAKE_VOSTRIN_WAV", output);
    zuk_fake::reportProgress(progress);
    return zuk_fake::result("ZUK_FAKE_VOSTRIN_RESULT");
}

#ifndef ZUK_FAKE_NO_FRAME_RATE
ZUK_FAKE_EXPORT int32_t mfax_GetFrameRate(const zuk_char* input, uint32_t* numerator, uint32_t* denominator)
{
    zuk_fake::logCall({"vostrin", "mfax_GetFrameRate", zuk_fake::utf8(input)});
    uint32_t n = 0, d = 0;
    if (zuk_fake::frameRate(n, d)) {
        if (numerator != nullptr)
            *numerator = n;
        if (denominator != nullptr)
            *denominator = d;
    }
    return zuk_fake::result("ZUK_FAKE_VOSTRIN_RESULT");
}
#endif
#endif
