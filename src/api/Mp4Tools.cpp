// zuk_mp4_dump and zuk_mp4_unwrap: the MP4 box tree and PCM unwrapper on
// their own, for hosts and tools that look into MP4 files.
#include "log/Log.h"
#include "mp4/Diagnostics.h"
#include "mp4/FileBuffer.h"
#include "mp4/Mp4Log.h"
#include "mp4/TopLevel.h"
#include "mp4/UnwrapMP4.h"
#include "platform/ExportGuard.h"
#include "platform/FileIdentity.h"
#include "platform/WideText.h"

#include <zuk/zuk.h>

#include <fstream>
#include <ostream>
#include <vector>

namespace {

// Box dumps print to the diagnostics stream; this points it at the dump's
// destination for one box, then back where the host had it.
class DiagnosticsTo {
public:
    explicit DiagnosticsTo(std::ostream& stream) : previous(&MP4Box::diagnostics()) { MP4Box::setDiagnostics(&stream); }
    ~DiagnosticsTo() { MP4Box::setDiagnostics(previous); }
    DiagnosticsTo(const DiagnosticsTo&) = delete;
    DiagnosticsTo& operator=(const DiagnosticsTo&) = delete;

private:
    std::ostream* previous;
};

// `input` opened for binary reading once it passes the library's refusal of
// what is no regular file and of outputs that are the input; closed when not.
std::ifstream openedInput(const zuk_char* input, const zuk_char* output)
{
    std::ifstream stream;
    std::vector<std::u16string_view> written;
    if (output != nullptr)
        written.push_back(zuk::wideView(output));
    if (zuk::refusesFiles(written, {zuk::wideView(input)}, LogString))
        return stream;
    if (const auto path = zuk::pathFromWide(input))
        stream.open(*path, std::ios::binary);
    return stream;
}

int32_t dumpBoxes(const zuk_char* input, FILE* output, uint8_t* hasMovie)
{
    if (hasMovie != nullptr)
        *hasMovie = 0;
    if (output == nullptr)
        return ZUK_E_OPEN;
    std::ifstream stream = openedInput(input, nullptr);
    if (!stream.is_open())
        return ZUK_E_OPEN;
    MP4Box::FileBuffer buffer(output);
    std::ostream out(&buffer);
    const zuk::TopLevel top = zuk::scanTopLevel(stream, [&](const MP4Box::MP4Box& box) {
        const DiagnosticsTo dumping(out);
        box.dump();
        std::fflush(output);
    });
    if (hasMovie != nullptr)
        *hasMovie = top.movie ? 1 : 0;
    return top.result;
}

int32_t unwrap(const zuk_char* input, const zuk_char* output)
{
    if (output == nullptr)
        return ZUK_E_OPEN;
    std::ifstream stream = openedInput(input, output);
    if (!stream.is_open())
        return ZUK_E_OPEN;
    zuk::setMP4LogFunction(LogString);
    return zuk::unwrapMP4(output, stream);
}

} // namespace

extern "C" ZUK_API int32_t zuk_mp4_dump(const zuk_char* input, FILE* output, uint8_t* hasMovie)
{
    return zuk::guardExport("zuk_mp4_dump", int32_t{ZUK_E_OPEN}, [&] { return dumpBoxes(input, output, hasMovie); });
}

extern "C" ZUK_API int32_t zuk_mp4_unwrap(const zuk_char* input, const zuk_char* output)
{
    return zuk::guardExport("zuk_mp4_unwrap", int32_t{ZUK_E_OPEN}, [&] { return unwrap(input, output); });
}
