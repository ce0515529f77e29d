// What the media layer answers for a file it cannot open, by the reason the
// FFmpeg layer gives.
#pragma once

#include "platform/com/HResult.h"
#include "platform/media/ffmpeg/MediaProbe.h"

namespace zuk::media {

inline HRESULT openFailure(OpenError why)
{
    switch (why) {
    case OpenError::NotFound:
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    case OpenError::AccessDenied:
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    case OpenError::UnknownFormat:
        return VFW_E_UNKNOWN_FILE_TYPE;
    case OpenError::NoDecodableStream:
        return VFW_E_UNSUPPORTED_STREAM;
    case OpenError::None:
    case OpenError::Unreadable:
        break;
    }
    return VFW_E_INVALID_FILE_FORMAT;
}

} // namespace zuk::media
