// Stand-in for libdornalt.so. Built with ZUK_FAKE_BARE it exports nothing,
// for the paths where the library is there but its entry points are not.
#include "FakeSibling.h"

ZUK_FAKE_LOAD_LOG("dornalt")

#ifndef ZUK_FAKE_BARE
ZUK_FAKE_EXPORT int32_t Qtax_Extraction(const zuk_char* input, const zuk_char* output, ProgressCallback progress)
{
    zuk_fake::logCall({"dornalt", "Qtax_Extraction", zuk_fake::utf8(input), zuk_fake::utf8(output)});
    zuk_fake::copyWav("ZUK_FAKE_DORNALT_WAV", output);
    zuk_fake::reportProgress(progress);
    return zuk_fake::result("ZUK_FAKE_DORNALT_RESULT");
}

ZUK_FAKE_EXPORT int32_t ReplaceAudioMov(int32_t a, int32_t b, int32_t c)
{
    zuk_fake::logCall({"dornalt", "ReplaceAudioMov", zuk_fake::number(a), zuk_fake::number(b), zuk_fake::number(c)});
    return zuk_fake::result("ZUK_FAKE_DORNALT_RESULT");
}
#endif
