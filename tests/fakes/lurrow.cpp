// Stand-in for liblurrow.so. Its input path is multibyte text, logged as the
// bytes it was given so a test sees exactly what libzuk converted it to.
// ZUK_FAKE_BARE leaves out the entry point.
#include "FakeSibling.h"

ZUK_FAKE_LOAD_LOG("lurrow")

#ifndef ZUK_FAKE_BARE
ZUK_FAKE_EXPORT int32_t resampleR3DAudio(const char* inputMultibyte, const zuk_char* output, ProgressCallback progress)
{
    zuk_fake::logCall({"lurrow", "resampleR3DAudio", zuk_fake::bytes(inputMultibyte), zuk_fake::utf8(output)});
    zuk_fake::copyWav("ZUK_FAKE_LURROW_WAV", output);
    zuk_fake::reportProgress(progress);
    return zuk_fake::result("ZUK_FAKE_LURROW_RESULT");
}
#endif
