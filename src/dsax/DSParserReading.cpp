// The parser as a pull source. The graph runs only while a reader waits for
// more frames than are buffered; the grabber callback pauses it once enough
// have arrived and stops it at the end of the stream. The buffers need no
// lock: the reader touches them only while the graph is not running, and the
// graph's state change orders the callback's writes before the reader's reads.
#include "dsax/DSParser.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

namespace dsax {

namespace {

constexpr int kOutputRate = 48000;
constexpr double kUnitsPerSecond = 1e7;
// A buffer that ends this close (100-ns units) to the duration ends the stream.
constexpr int64_t kEndTolerance = 10;
// The callback's signal also queues this event on the graph, so a reader
// waits for the graph's events alone and wakes at once for either: the
// callback's signal, or the end of a stream whose last buffer falls short of
// the duration, which only an event tells.
constexpr long kBufferReadyEvent = EC_USER;
// The longest one wait for events lasts before the signal is looked at again.
constexpr long kEventWaitMs = 200;
constexpr long kStatePollMs = 50;
// ReadDouble converts through a bounded scratch buffer of this many frames.
constexpr int64_t kDoubleChunk = 65536;

int64_t saturatingAdd(int64_t a, int64_t b)
{
    int64_t sum = 0;
    if (!__builtin_add_overflow(a, b, &sum))
        return sum;
    return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
}

// Truncates toward zero, saturating at int64's ends (NaN gives 0).
int64_t truncateToInt64(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 9.2233720368547748e18)
        return std::numeric_limits<int64_t>::max();
    if (value <= -9.2233720368547758e18)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(value);
}

int64_t targetFor(int whence, int64_t offset, int64_t current, int64_t end)
{
    switch (whence) {
    case 0:
        return offset;
    case 1:
        return saturatingAdd(current, offset);
    case 2:
        return saturatingAdd(end, offset);
    default:
        return current;
    }
}

} // namespace

HRESULT CDSParser::BufferCB(double sampleTime, BYTE* buffer, long length)
{
    if (buffer == nullptr || length <= 0 || m_channels < 1)
        return S_OK;
    const int64_t endTime =
        truncateToInt64((static_cast<double>(length) / m_bytesPerSecond + sampleTime) * kUnitsPerSecond);
    const bool ended = m_duration - endTime <= kEndTolerance;
    if (ended)
        m_progress = 100;
    else
        m_progress = endTime <= 0 ? 0 : static_cast<uint32_t>(static_cast<__int128>(endTime) * 100 / m_duration);

    // Whole frames only: a trailing part frame would read past the buffer.
    const size_t values =
        static_cast<size_t>(length) / 2 / static_cast<size_t>(m_channels) * static_cast<size_t>(m_channels);
    const auto* samples = reinterpret_cast<const int16_t*>(buffer);
    m_frames.insert(m_frames.end(), samples, samples + values);

    if (ended) {
        m_pControl->StopWhenReady();
        signalBufferReady();
    } else if (bufferedFrames() >= m_requested) {
        m_pControl->Pause();
        signalBufferReady();
    }
    return S_OK;
}

void CDSParser::signalBufferReady()
{
    m_hBufferReady.set();
    m_pEventSink->Notify(kBufferReadyEvent, 0, 0);
}

HRESULT CDSParser::ReadMono(int16_t* buffer, int64_t count, uint32_t* progress, int64_t* delivered)
{
    return read(Layout::Mono, buffer, count, progress, delivered);
}

HRESULT CDSParser::ReadStereo(int16_t* buffer, int64_t count, uint32_t* progress, int64_t* delivered)
{
    return read(Layout::Stereo, buffer, count, progress, delivered);
}

HRESULT CDSParser::read(Layout layout, int16_t* buffer, int64_t count, uint32_t* progress, int64_t* delivered)
{
    if (!m_bReady || buffer == nullptr || count < 1 || delivered == nullptr)
        return E_INVALIDARG;
    // The graph stops where the stated duration ends, but a stream may deliver
    // more (a decoder's last block): a read is short only when running on
    // brings nothing.
    while (count > bufferedFrames()) {
        const int64_t before = bufferedFrames();
        if (const HRESULT hr = runUntilBuffered(count); FAILED(hr))
            return hr;
        if (bufferedFrames() == before)
            break;
    }
    const int64_t taken = std::min(count, bufferedFrames());
    takeFrames(layout, buffer, taken);
    *delivered = taken;
    if (progress != nullptr)
        *progress = m_progress;
    return S_OK;
}

// Runs the graph until the callback has buffered `count` frames or the stream
// has ended, and returns once the graph has stopped moving. Every wait ends:
// the graph either pauses (enough frames), stops (its end), or reports its end
// or a failure as an event, which is looked for on every turn.
HRESULT CDSParser::runUntilBuffered(int64_t count)
{
    m_requested = count;
    if (const HRESULT hr = m_pControl->Run(); FAILED(hr))
        return hr;
    bool ended = false;
    while (!m_hBufferReady.wait(std::chrono::milliseconds(0))) {
        if (const HRESULT hr = takeEvents(kEventWaitMs, ended); FAILED(hr))
            return hr;
        if (ended)
            break;
    }
    // Signals that ended no wait leave their events queued: they go now.
    if (const HRESULT hr = takeEvents(0, ended); FAILED(hr))
        return hr;
    OAFilterState state = State_Running;
    while (state == State_Running) {
        m_pControl->GetState(kStatePollMs, &state);
        if (state != State_Running)
            break;
        // A signal left from an earlier read may have ended the wait early;
        // the end of the stream may then only show as an event.
        if (const HRESULT hr = takeEvents(0, ended); FAILED(hr))
            return hr;
    }
    return S_OK;
}

// Fetches the graph's events, waiting up to `timeoutMs` for the first. The
// end of the stream stops the graph and sets progress to 100; a failure stops
// it and is returned.
HRESULT CDSParser::takeEvents(long timeoutMs, bool& ended)
{
    long code = 0;
    LONG_PTR first = 0, second = 0;
    for (long wait = timeoutMs; !ended && SUCCEEDED(m_pEvent->GetEvent(&code, &first, &second, wait)); wait = 0) {
        m_pEvent->FreeEventParams(code, first, second);
        if (code == EC_COMPLETE) {
            m_pControl->StopWhenReady();
            m_progress = 100;
            ended = true;
        } else if (code == EC_ERRORABORT || code == EC_USERABORT) {
            m_pControl->Stop();
            const auto failure = static_cast<HRESULT>(first);
            return FAILED(failure) ? failure : E_FAIL;
        }
    }
    return S_OK;
}

namespace {

// The truncated mean of each frame's channels.
void mixToMono(const int16_t* frames, size_t count, int channels, int16_t* mono)
{
    switch (channels) {
    case 1:
        std::copy_n(frames, count, mono);
        return;
    case 2:
        for (size_t frame = 0; frame < count; ++frame)
            mono[frame] = static_cast<int16_t>((int32_t{frames[2 * frame]} + frames[2 * frame + 1]) / 2);
        return;
    default:
        for (size_t frame = 0; frame < count; ++frame) {
            const int16_t* first = frames + frame * static_cast<size_t>(channels);
            int32_t sum = 0;
            for (int channel = 0; channel < channels; ++channel)
                sum += first[channel];
            mono[frame] = static_cast<int16_t>(sum / channels);
        }
    }
}

// The first two channels of each frame, or a single channel twice.
void keepFirstTwo(const int16_t* frames, size_t count, int channels, int16_t* stereo)
{
    if (channels == 2) {
        std::copy_n(frames, 2 * count, stereo);
        return;
    }
    const size_t second = channels > 1 ? 1 : 0;
    for (size_t frame = 0; frame < count; ++frame) {
        const int16_t* first = frames + frame * static_cast<size_t>(channels);
        stereo[2 * frame] = first[0];
        stereo[2 * frame + 1] = first[second];
    }
}

} // namespace

void CDSParser::takeFrames(Layout layout, int16_t* buffer, int64_t count)
{
    const auto frames = static_cast<size_t>(count);
    const int16_t* first = m_frames.data() + m_firstValue;
    if (layout == Layout::Mono)
        mixToMono(first, frames, m_channels, buffer);
    else
        keepFirstTwo(first, frames, m_channels, buffer);
    m_firstValue += frames * static_cast<size_t>(m_channels);
    // Delivered values go once they outweigh what is left, so the buffer
    // neither grows without end nor moves its rest on every small read.
    if (m_firstValue >= m_frames.size() - m_firstValue) {
        m_frames.erase(m_frames.begin(), m_frames.begin() + static_cast<ptrdiff_t>(m_firstValue));
        m_firstValue = 0;
    }
}

void CDSParser::clearBuffers()
{
    m_frames.clear();
    m_firstValue = 0;
}

// Reads mono frames as doubles through a bounded scratch buffer rather than
// one of the caller's size. A failure after some chunks were taken ends the
// read short with those frames: failing would lose them. The graph keeps its
// failure, so the next read that runs it reports it.
HRESULT CDSParser::ReadDouble(double* buffer, int64_t count, uint32_t* progress, int64_t* delivered)
{
    if (!m_bReady || buffer == nullptr || count < 1 || delivered == nullptr)
        return E_INVALIDARG;
    // The reader's published limit: counts whose 16-bit size overflows 32 bits.
    if (count > std::numeric_limits<int32_t>::max())
        return E_OUTOFMEMORY;
    std::vector<int16_t> scratch(static_cast<size_t>(std::min(count, kDoubleChunk)));
    const double scale = m_normalise != 0 ? 1.0 / 32768 : 1.0;
    int64_t total = 0;
    while (total < count) {
        const int64_t wanted = std::min<int64_t>(count - total, static_cast<int64_t>(scratch.size()));
        int64_t got = 0;
        if (const HRESULT hr = ReadMono(scratch.data(), wanted, progress, &got); FAILED(hr)) {
            if (total == 0)
                return hr;
            break;
        }
        std::transform(
            scratch.begin(), scratch.begin() + got, buffer + total, [scale](int16_t value) { return value * scale; });
        total += got;
        if (got < wanted)
            break;
    }
    *delivered = total;
    return S_OK;
}

// Moves the graph to `whence` + `offset` in the current time format, kept
// between 0 and `end`; the position the graph then reports goes to `reached`.
// Buffered frames belong to the old position and go.
HRESULT CDSParser::seekWithin(int64_t offset, int whence, int64_t current, int64_t end, int64_t& reached)
{
    LONGLONG target = std::clamp<int64_t>(targetFor(whence, offset, current, end), 0, std::max<int64_t>(end, 0));
    LONGLONG stop = 0;
    HRESULT hr = m_pSeeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    if (SUCCEEDED(hr))
        hr = m_pSeeking->GetPositions(&reached, &stop);
    if (SUCCEEDED(hr))
        clearBuffers();
    return hr;
}

HRESULT CDSParser::SeekTime(int64_t offset, int whence, int64_t* position)
{
    if (!m_bReady || position == nullptr)
        return E_INVALIDARG;
    DWORD capabilities = AM_SEEKING_CanSeekAbsolute;
    LONGLONG current = 0, stop = 0;
    HRESULT hr = m_pSeeking->CheckCapabilities(&capabilities);
    if (SUCCEEDED(hr))
        hr = m_pSeeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME);
    if (SUCCEEDED(hr))
        hr = m_pSeeking->GetPositions(&current, &stop);
    if (SUCCEEDED(hr))
        hr = seekWithin(offset, whence, current, m_duration, *position);
    return hr;
}

HRESULT CDSParser::SeekSamples(int64_t offset, int whence, int64_t* position)
{
    if (!m_bReady || position == nullptr)
        return E_INVALIDARG;
    DWORD capabilities = AM_SEEKING_CanSeekAbsolute;
    if (const HRESULT hr = m_pSeeking->CheckCapabilities(&capabilities); FAILED(hr))
        return hr;
    if (m_pSeeking->SetTimeFormat(&TIME_FORMAT_SAMPLE) != S_OK) {
        int64_t time = 0;
        const int64_t offsetTime = truncateToInt64(static_cast<double>(offset) / kOutputRate * kUnitsPerSecond);
        if (const HRESULT hr = SeekTime(offsetTime, whence, &time); FAILED(hr))
            return hr;
        *position = truncateToInt64(static_cast<double>(time) / kUnitsPerSecond * kOutputRate);
        return S_OK;
    }
    // Positions are frames at the source's rate here.
    const int64_t sourceOffset =
        truncateToInt64(m_sourceRate / static_cast<double>(kOutputRate) * static_cast<double>(offset));
    LONGLONG current = 0, stop = 0, reached = 0;
    HRESULT hr = m_pSeeking->GetPositions(&current, &stop);
    if (SUCCEEDED(hr))
        hr = seekWithin(sourceOffset, whence, current, stop, reached);
    if (SUCCEEDED(hr))
        *position = truncateToInt64(static_cast<double>(kOutputRate) / m_sourceRate * static_cast<double>(reached));
    return hr;
}

} // namespace dsax
