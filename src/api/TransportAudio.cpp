// zuk_ts_audio: the demultiplexing stage of MTSExtract on its own, for hosts
// that want the audio of a transport stream undecoded.
#include "log/Log.h"
#include "mts/MtsLog.h"
#include "mts/TsToMp2.h"
#include "platform/ExportGuard.h"
#include "platform/WideText.h"

#include <zuk/zuk.h>

extern "C" ZUK_API int32_t zuk_ts_audio(const zuk_char* input, const zuk_char* output, int32_t bdav)
{
    return zuk::guardExport("zuk_ts_audio", int32_t{ZUK_E_EXTRACT}, [&]() -> int32_t {
        const auto inputPath = zuk::pathFromWide(input);
        const auto outputPath = zuk::pathFromWide(output);
        if (!inputPath || !outputPath)
            return ZUK_E_OPEN;
        zuk::setMtsLogger(LogString);
        return zuk::EXTRACT_TS_TO_MP2(*inputPath, *outputPath, bdav != 0);
    });
}
