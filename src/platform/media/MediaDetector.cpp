#include "platform/media/MediaDetector.h"

#include "platform/WideText.h"
#include "platform/com/Com.h"
#include "platform/media/OpenFailure.h"
#include "platform/media/ffmpeg/MediaProbe.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace zuk::media {

namespace {

double seconds(int64_t microseconds)
{
    return static_cast<double>(std::max<int64_t>(microseconds, 0)) / 1e6;
}

double audioLength(const AudioStreamInfo& audio, int64_t containerDurationUs)
{
    // Containers need not count frames; their duration is the next best.
    if (audio.frames > 0 && audio.sampleRate > 0)
        return static_cast<double>(audio.frames) / audio.sampleRate;
    return seconds(containerDurationUs);
}

// Frame rates the container does not give read as 0.
double knownRate(double framesPerSecond)
{
    return std::isfinite(framesPerSecond) && framesPerSecond > 0 ? framesPerSecond : 0;
}

} // namespace

std::vector<MediaDetector::Stream> MediaDetector::outputStreams(const MediaProbe& probe)
{
    std::vector<Stream> streams;
    for (const StreamInfo& stream : probe.streams) {
        if (stream.kind == StreamInfo::Kind::Audio)
            streams.push_back({MEDIATYPE_Audio, audioStreamType(stream.audio),
                audioLength(stream.audio, probe.containerDurationUs), std::nullopt});
        else if (stream.kind == StreamInfo::Kind::Video)
            streams.push_back({MEDIATYPE_Video, videoStreamType(stream.video), seconds(probe.containerDurationUs),
                knownRate(stream.video.framesPerSecond())});
    }
    return streams;
}

const MediaDetector::Stream* MediaDetector::currentStream() const
{
    return file && file->current < file->streams.size() ? &file->streams[file->current] : nullptr;
}

HRESULT MediaDetector::put_Filename(BSTR fileName)
{
    // Read up to the NUL, not by the length prefix: callers pass plain strings too.
    const std::u16string_view name = wideView(fileName);
    if (name.empty())
        return E_INVALIDARG;
    const std::lock_guard lock(mutex);
    file.reset();
    try {
        const std::optional<std::string> path = pathFromWide(fileName);
        if (!path)
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND); // such text names no file
        OpenError why = OpenError::None;
        const std::optional<MediaProbe> probe = probeMedia(*path, why);
        if (!probe)
            return openFailure(why);
        file = OpenFile{std::u16string(name), outputStreams(*probe), 0};
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT MediaDetector::get_Filename(BSTR* fileName)
{
    if (fileName == nullptr)
        return E_POINTER;
    *fileName = nullptr;
    const std::lock_guard lock(mutex);
    if (!file)
        return E_INVALIDARG;
    *fileName = SysAllocStringLen(file->name.data(), static_cast<uint32_t>(file->name.size()));
    return *fileName != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT MediaDetector::get_OutputStreams(long* count)
{
    if (count == nullptr)
        return E_POINTER;
    *count = 0;
    const std::lock_guard lock(mutex);
    if (!file)
        return E_INVALIDARG;
    *count = static_cast<long>(file->streams.size());
    return S_OK;
}

HRESULT MediaDetector::get_CurrentStream(long* index)
{
    if (index == nullptr)
        return E_POINTER;
    *index = 0;
    const std::lock_guard lock(mutex);
    if (!file)
        return E_INVALIDARG;
    *index = static_cast<long>(file->current);
    return S_OK;
}

HRESULT MediaDetector::put_CurrentStream(long index)
{
    const std::lock_guard lock(mutex);
    if (!file || index < 0 || static_cast<size_t>(index) >= file->streams.size())
        return E_INVALIDARG;
    file->current = static_cast<size_t>(index);
    return S_OK;
}

HRESULT MediaDetector::get_StreamType(GUID* majorType)
{
    if (majorType == nullptr)
        return E_POINTER;
    *majorType = GUID_NULL;
    const std::lock_guard lock(mutex);
    const Stream* stream = currentStream();
    if (stream == nullptr)
        return E_INVALIDARG;
    *majorType = stream->majorType;
    return S_OK;
}

HRESULT MediaDetector::get_StreamMediaType(AM_MEDIA_TYPE* type)
{
    if (type == nullptr)
        return E_POINTER;
    *type = AM_MEDIA_TYPE{}; // safe to free whatever happens
    const std::lock_guard lock(mutex);
    const Stream* stream = currentStream();
    if (stream == nullptr)
        return E_INVALIDARG;
    try {
        stream->type.copyTo(type);
    } catch (const std::bad_alloc&) {
        *type = AM_MEDIA_TYPE{};
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT MediaDetector::get_StreamLength(double* length)
{
    if (length == nullptr)
        return E_POINTER;
    *length = 0;
    const std::lock_guard lock(mutex);
    const Stream* stream = currentStream();
    if (stream == nullptr)
        return E_INVALIDARG;
    *length = stream->lengthSeconds;
    return S_OK;
}

HRESULT MediaDetector::get_FrameRate(double* framesPerSecond)
{
    if (framesPerSecond == nullptr)
        return E_POINTER;
    *framesPerSecond = 0;
    const std::lock_guard lock(mutex);
    const Stream* stream = currentStream();
    if (stream == nullptr)
        return E_INVALIDARG;
    if (!stream->framesPerSecond)
        return VFW_E_INVALIDMEDIATYPE; // audio has no frame rate
    *framesPerSecond = *stream->framesPerSecond;
    return S_OK;
}

HRESULT createMediaDetector(REFIID iid, void** object)
{
    return createComInstance<MediaDetector>(iid, object);
}

} // namespace zuk::media
