// The WAV every writer of the library makes, for hosts that write the
// reader's frames themselves.
#include "platform/ExportGuard.h"
#include "platform/SoundFile.h"

#include <zuk/zuk.h>

extern "C" ZUK_API SNDFILE* zuk_create_wav(const zuk_char* path, int32_t rate, int32_t channels, int64_t frames)
{
    return zuk::guardExport("zuk_create_wav", static_cast<SNDFILE*>(nullptr), [&] {
        SF_INFO info{};
        return zuk::createPcm16Wav(path, rate, channels, frames, info).release();
    });
}

extern "C" ZUK_API int32_t zuk_close_wav(SNDFILE* file)
{
    return zuk::guardExport("zuk_close_wav", int32_t{ZUK_E_WRITE}, [&] {
        zuk::SoundFilePtr owned(file);
        return zuk::closeSoundFile(owned) ? int32_t{ZUK_OK} : int32_t{ZUK_E_WRITE};
    });
}
