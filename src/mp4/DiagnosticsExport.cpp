// zuk_set_mp4_diagnostics: where hosts want the box parser's diagnostics.
#include "mp4/Diagnostics.h"
#include "mp4/FileBuffer.h"

#include <zuk/zuk.h>

#include <ostream>

extern "C" ZUK_API void zuk_set_mp4_diagnostics(FILE* stream)
{
    static MP4Box::FileBuffer buffer;
    static std::ostream out(&buffer);
    if (stream == nullptr) {
        MP4Box::setDiagnostics(nullptr);
        return;
    }
    buffer.point(stream);
    MP4Box::setDiagnostics(&out);
}
