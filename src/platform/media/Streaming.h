// How buffers move through a graph of this layer. These interfaces are the
// layer's own (the platform moves media samples through allocators instead);
// filters in other modules implement them through this header alone.
//
// Threads: the graph's streaming thread calls IStreamSource::DeliverNext;
// everything a delivery sets off downstream (IBufferInput::Receive,
// IPin::EndOfStream, and callbacks such as ISampleGrabberCB::BufferCB) runs on
// that thread too. Flushes and seeks happen on the caller's thread while the
// streaming thread is idle.
#pragma once

#include "platform/media/MediaInterfaces.h"

// {6C3A7C52-9B1E-4D0F-8E59-2F4B61A8D301}
inline constexpr IID IID_IBufferInput{0x6C3A7C52, 0x9B1E, 0x4D0F, {0x8E, 0x59, 0x2F, 0x4B, 0x61, 0xA8, 0xD3, 0x01}};
// {6C3A7C52-9B1E-4D0F-8E59-2F4B61A8D302}
inline constexpr IID IID_IStreamSource{0x6C3A7C52, 0x9B1E, 0x4D0F, {0x8E, 0x59, 0x2F, 0x4B, 0x61, 0xA8, 0xD3, 0x02}};
// {6C3A7C52-9B1E-4D0F-8E59-2F4B61A8D303}
inline constexpr IID IID_IAudioPosition{0x6C3A7C52, 0x9B1E, 0x4D0F, {0x8E, 0x59, 0x2F, 0x4B, 0x61, 0xA8, 0xD3, 0x03}};

// Flags of a buffer. Decoded audio is made of sync points only; a
// compressed stream passed through marks the buffers a decoder can start at.
enum : DWORD { BUFFER_SYNC_POINT = 0x1 };

// On input pins: one buffer of the connection's media type.
struct IBufferInput : IUnknown {
    static constexpr const IID& iid = IID_IBufferInput;
    // `start`: media time of the first byte from the start of the file (for
    // a byte stream, the byte's offset in it). `flags`: BUFFER_* values.
    virtual HRESULT Receive(const BYTE* data, long length, REFERENCE_TIME start, DWORD flags) = 0;

protected:
    ~IBufferInput() = default;
};

// On filters that start buffers on their way: the graph's streaming thread
// calls DeliverNext until it returns S_FALSE (end of stream, EndOfStream sent
// downstream) or a failure.
struct IStreamSource : IUnknown {
    static constexpr const IID& iid = IID_IStreamSource;
    virtual HRESULT DeliverNext() = 0;
    // Whether anything downstream of this source is connected at all.
    virtual bool IsConnected() = 0;

protected:
    ~IStreamSource() = default;
};

// On sources of a decoded audio stream: its length and position in frames of
// the stream's own rate, for the graph's seeking.
struct IAudioPosition : IUnknown {
    static constexpr const IID& iid = IID_IAudioPosition;
    virtual HRESULT GetAudioLength(LONGLONG* frames, long* rate) = 0;
    // Frame the next delivered buffer starts at.
    virtual HRESULT GetAudioPosition(LONGLONG* frame) = 0;
    // Sample-accurate; flushes downstream. Only while the graph is not streaming.
    virtual HRESULT SeekAudio(LONGLONG frame) = 0;

protected:
    ~IAudioPosition() = default;
};
