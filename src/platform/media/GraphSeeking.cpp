// Positions and seeks: those of the first connected audio output of the
// splitter, in 100-ns units or in frames of the stream's own rate.
#include "platform/media/FilterGraphImpl.h"
#include "platform/media/MediaType.h"

#include <algorithm>

namespace zuk::media::graph {

namespace {

constexpr LONGLONG kUnitsPerSecond = 10'000'000;

constexpr DWORD kSeekingCapabilities = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards |
    AM_SEEKING_CanSeekBackwards | AM_SEEKING_CanGetCurrentPos | AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;

bool isKnownFormat(const GUID& format)
{
    return IsEqualGUID(format, TIME_FORMAT_MEDIA_TIME) || IsEqualGUID(format, TIME_FORMAT_SAMPLE);
}

} // namespace

HRESULT FilterGraph::GetCapabilities(DWORD* capabilities)
{
    if (capabilities == nullptr)
        return E_POINTER;
    *capabilities = audioPosition() ? kSeekingCapabilities : 0;
    return S_OK;
}

HRESULT FilterGraph::CheckCapabilities(DWORD* capabilities)
{
    if (capabilities == nullptr)
        return E_POINTER;
    const DWORD asked = *capabilities;
    DWORD have = 0;
    GetCapabilities(&have);
    *capabilities = asked & have;
    if (*capabilities == asked)
        return S_OK;
    return *capabilities != 0 ? S_FALSE : E_FAIL;
}

HRESULT FilterGraph::IsFormatSupported(const GUID* format)
{
    if (format == nullptr)
        return E_POINTER;
    return isKnownFormat(*format) ? S_OK : S_FALSE;
}

HRESULT FilterGraph::GetTimeFormat(GUID* format)
{
    if (format == nullptr)
        return E_POINTER;
    *format = timeFormat;
    return S_OK;
}

HRESULT FilterGraph::SetTimeFormat(const GUID* format)
{
    if (format == nullptr)
        return E_POINTER;
    if (!isKnownFormat(*format))
        return E_INVALIDARG;
    if (IsEqualGUID(*format, TIME_FORMAT_SAMPLE) && !audioPosition())
        return VFW_E_NO_TIME_FORMAT;
    timeFormat = *format;
    return S_OK;
}

HRESULT FilterGraph::GetDuration(LONGLONG* duration)
{
    if (duration == nullptr)
        return E_POINTER;
    const auto length = audioLength();
    if (!length)
        return E_NOTIMPL;
    *duration = toTimeFormat(length->frames, length->rate);
    return S_OK;
}

HRESULT FilterGraph::GetStopPosition(LONGLONG* stop)
{
    return GetDuration(stop);
}

HRESULT FilterGraph::GetCurrentPosition(LONGLONG* current)
{
    if (current == nullptr)
        return E_POINTER;
    const auto length = audioLength();
    if (!length)
        return E_NOTIMPL;
    LONGLONG frame = 0;
    waitUntilIdle();
    audioPosition()->GetAudioPosition(&frame);
    *current = toTimeFormat(frame, length->rate);
    return S_OK;
}

HRESULT FilterGraph::GetPositions(LONGLONG* current, LONGLONG* stop)
{
    if (current != nullptr)
        if (const HRESULT hr = GetCurrentPosition(current); FAILED(hr))
            return hr;
    if (stop != nullptr)
        return GetStopPosition(stop);
    return S_OK;
}

HRESULT FilterGraph::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG*, DWORD)
{
    const DWORD positioning = currentFlags & AM_SEEKING_PositioningBitsMask;
    if (positioning == AM_SEEKING_NoPositioning)
        return S_OK;
    if (current == nullptr)
        return E_POINTER;
    const auto length = audioLength();
    if (!length)
        return E_NOTIMPL;
    ComPtr<IAudioPosition> source = audioPosition();
    LONGLONG frame = fromTimeFormat(*current, length->rate);
    if (positioning != AM_SEEKING_AbsolutePositioning) {
        LONGLONG now = 0;
        source->GetAudioPosition(&now);
        frame += now;
    }
    frame = std::clamp<LONGLONG>(frame, 0, length->frames);
    return seekTo(*source, frame);
}

ComPtr<IAudioPosition> FilterGraph::audioPosition() const
{
    for (const GraphEntry& entry : filters) {
        auto position = entry.filter.as<IAudioPosition>();
        LONGLONG frames = 0;
        long rate = 0;
        if (position && SUCCEEDED(position->GetAudioLength(&frames, &rate)) && rate > 0)
            return position;
    }
    return {};
}

std::optional<FilterGraph::AudioLength> FilterGraph::audioLength() const
{
    const auto position = audioPosition();
    if (!position)
        return std::nullopt;
    AudioLength length{};
    position->GetAudioLength(&length.frames, &length.rate);
    return length;
}

LONGLONG FilterGraph::toTimeFormat(LONGLONG frames, long rate) const
{
    if (IsEqualGUID(timeFormat, TIME_FORMAT_SAMPLE))
        return frames;
    return referenceTimeAfter(0, frames, rate);
}

LONGLONG FilterGraph::fromTimeFormat(LONGLONG value, long rate) const
{
    if (IsEqualGUID(timeFormat, TIME_FORMAT_SAMPLE))
        return value;
    return static_cast<LONGLONG>(static_cast<__int128>(value) * rate / kUnitsPerSecond);
}

// The streaming thread waits between buffers while the source moves; the
// filters downstream are flushed by the source itself.
HRESULT FilterGraph::seekTo(IAudioPosition& source, LONGLONG frame)
{
    holdDeliveriesForSeek();
    const HRESULT hr = source.SeekAudio(frame);
    resumeDeliveriesAfterSeek();
    return hr;
}

} // namespace zuk::media::graph
