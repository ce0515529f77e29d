// One open media file as a pull source of 48000 Hz 16-bit audio: a filter
// graph (source, decoder, PCM converter, sample grabber, null renderer) that
// runs only while a reader waits for frames, and the frames it has grabbed.
#pragma once

#include "platform/AutoResetEvent.h"
#include "platform/media/MediaInterfaces.h"

#include <zuk/dsax.h>

#include <atomic>
#include <cstdint>
#include <vector>

namespace dsax {

class CDSParser final : public ISampleGrabberCB {
public:
    CDSParser() = default;
    CDSParser(const CDSParser&) = delete;
    CDSParser& operator=(const CDSParser&) = delete;
    ~CDSParser();

    // The parser's life is its owner's, not its references'.
    HRESULT QueryInterface(REFIID requested, void** object) override;
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT SampleCB(double, IMediaSample*) override { return E_NOTIMPL; }
    // Called on the graph's streaming thread with each buffer of converted audio.
    HRESULT BufferCB(double sampleTime, BYTE* buffer, long length) override;

    // Fills `info` and builds the graph. A file without audio opens but stays
    // not ready, and every read and seek then gives E_INVALIDARG.
    HRESULT Open(const zuk_char* path, DSAX_MEDIA_INFO& info);

    int SetNormalise(int normalise);
    HRESULT SeekTime(int64_t offset, int whence, int64_t* position);
    HRESULT SeekSamples(int64_t offset, int whence, int64_t* position);
    HRESULT ReadMono(int16_t* buffer, int64_t count, uint32_t* progress, int64_t* delivered);
    HRESULT ReadStereo(int16_t* buffer, int64_t count, uint32_t* progress, int64_t* delivered);
    HRESULT ReadDouble(double* buffer, int64_t count, uint32_t* progress, int64_t* delivered);

private:
    enum class Layout { Mono, Stereo };

    HRESULT buildGraph(const zuk_char* path);
    HRESULT configureOutputFormat(IBaseFilter* converter) const;
    void releaseGraph();

    HRESULT seekWithin(int64_t offset, int whence, int64_t current, int64_t end, int64_t& reached);
    HRESULT read(Layout layout, int16_t* buffer, int64_t count, uint32_t* progress, int64_t* delivered);
    HRESULT runUntilBuffered(int64_t count);
    HRESULT takeEvents(long timeoutMs, bool& ended);
    int64_t bufferedFrames() const
    {
        if (m_channels < 1)
            return 0;
        return static_cast<int64_t>((m_frames.size() - m_firstValue) / static_cast<size_t>(m_channels));
    }
    void signalBufferReady();
    void takeFrames(Layout layout, int16_t* buffer, int64_t count);
    void clearBuffers();

    ComPtr<IGraphBuilder> m_pGraph;
    ComPtr<IMediaControl> m_pControl;
    ComPtr<IMediaEvent> m_pEvent;
    ComPtr<IMediaEventSink> m_pEventSink;
    ComPtr<IMediaSeeking> m_pSeeking;
    // Grabbed frames as they came, all channels interleaved; reads mix what
    // they take (the mono mix or the first two channels), so every kind of
    // read sees the same frames. Values before m_firstValue are delivered.
    std::vector<int16_t> m_frames;
    size_t m_firstValue = 0;
    bool m_bReady = false;
    zuk::AutoResetEvent m_hBufferReady;
    int64_t m_duration = 1;
    std::atomic<uint32_t> m_progress{0};
    int64_t m_requested = 0;
    int m_normalise = 0;
    int m_channels = 0;
    int m_sourceRate = 0;
    int m_blockAlign = 0;
    int m_bytesPerSecond = 0;
};

} // namespace dsax
