// The media detector (CLSID_MediaDet): what streams a file holds, their
// types, lengths and frame rates, without building a graph.
#pragma once

#include "platform/com/Unknown.h"
#include "platform/media/MediaInterfaces.h"
#include "platform/media/MediaType.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace zuk::media {

// The output streams are the file's audio and video streams, in container
// order; other streams (subtitles, data) are left out. Until a file is set,
// and after a file failed to open, every getter gives E_INVALIDARG. Any
// thread may call it.
class MediaDetector : public ComObject<IMediaDet> {
public:
    HRESULT get_OutputStreams(long* count) override;
    HRESULT get_CurrentStream(long* index) override;
    // E_INVALIDARG outside 0 .. count - 1.
    HRESULT put_CurrentStream(long index) override;
    // MEDIATYPE_Audio or MEDIATYPE_Video.
    HRESULT get_StreamType(GUID* majorType) override;
    // Audio: the stream's frames over its rate; video: the file's duration.
    HRESULT get_StreamLength(double* length) override;
    // A new BSTR the caller frees.
    HRESULT get_Filename(BSTR* fileName) override;
    // Opens the file and makes stream 0 current. E_INVALIDARG for a null or
    // empty name; HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND or
    // ERROR_ACCESS_DENIED); VFW_E_UNKNOWN_FILE_TYPE for content no format
    // fits; VFW_E_UNSUPPORTED_STREAM when no stream can be decoded;
    // VFW_E_INVALID_FILE_FORMAT when reading it fails otherwise. A stream
    // nothing decodes is still described when another one can be.
    HRESULT put_Filename(BSTR fileName) override;
    // Fills `*type` (freed by the caller with FreeMediaType) with the stream
    // as stored: a WAVEFORMATEX or VIDEOINFOHEADER format block.
    HRESULT get_StreamMediaType(AM_MEDIA_TYPE* type) override;
    // The video stream's average rate, 0 when unknown; VFW_E_INVALIDMEDIATYPE
    // for an audio stream.
    HRESULT get_FrameRate(double* framesPerSecond) override;

private:
    struct Stream {
        GUID majorType;
        MediaType type;
        double lengthSeconds;
        std::optional<double> framesPerSecond; // video streams only
    };
    struct OpenFile {
        std::u16string name;
        std::vector<Stream> streams;
        size_t current = 0;
    };

    static std::vector<Stream> outputStreams(const MediaProbe& probe);
    // The current stream of the open file, or null when no file is open.
    const Stream* currentStream() const;

    mutable std::mutex mutex;
    std::optional<OpenFile> file;
};

// The class factory of CLSID_MediaDet.
HRESULT createMediaDetector(REFIID iid, void** object);

} // namespace zuk::media
