// Media types as values: an owner of one AM_MEDIA_TYPE with its format
// block, and the types the layer describes streams and PCM output with.
#pragma once

#include "platform/com/TaskMemory.h" // format blocks come from, and go back to, the task allocator
#include "platform/media/MediaInterfaces.h"
#include "platform/media/ffmpeg/MediaProbe.h"

#include <cstdint>
#include <optional>
#include <span>

namespace zuk::media {

// Owns one AM_MEDIA_TYPE: its format block (from CoTaskMemAlloc) and its
// pUnk reference are freed with it, and copies are deep. Copying throws
// std::bad_alloc when memory runs out.
class MediaType {
public:
    MediaType();                                     // all zero: no major type, no format
    explicit MediaType(const AM_MEDIA_TYPE& source); // a deep copy of `source`
    MediaType(const MediaType& other);
    MediaType(MediaType&& other) noexcept;
    MediaType& operator=(const MediaType& other);
    MediaType& operator=(MediaType&& other) noexcept;
    ~MediaType();

    const AM_MEDIA_TYPE& get() const { return type; }
    // For out parameters: frees what is held and gives the emptied type to fill.
    AM_MEDIA_TYPE* put();

    // Deep-copies this over `*target`, which is not freed first (as
    // CopyMediaType does); the receiver frees it with FreeMediaType.
    void copyTo(AM_MEDIA_TYPE* target) const;
    // A deep copy in a CoTaskMemAlloc'd block, freed with DeleteMediaType.
    AM_MEDIA_TYPE* newCopy() const;

    // The audio format, or null unless the format block is a WAVEFORMATEX.
    const WAVEFORMATEX* waveFormat() const;
    // Whether this is of the kind `wanted` asks for: each of its major type,
    // subtype and format type is equal here or GUID_NULL (anything).
    bool matches(const AM_MEDIA_TYPE& wanted) const;

private:
    AM_MEDIA_TYPE type;
};

// The subtype the platform gives a WAVE format tag or a FOURCC:
// {XXXXXXXX-0000-0010-8000-00AA00389B71}, so tag 1 is MEDIASUBTYPE_PCM.
GUID subtypeForWaveTag(uint16_t tag);
GUID subtypeForFourcc(uint32_t fourcc);

// The time `frames` frames at `rate` (positive) after `origin`, in 100-ns
// units, held within REFERENCE_TIME's range whatever a file claims.
REFERENCE_TIME referenceTimeAfter(REFERENCE_TIME origin, int64_t frames, int64_t rate);

// Interleaved 16-bit PCM at `rate` frames a second (both arguments positive).
MediaType pcmAudioType(int rate, int channels);

// A stream as it is stored in its file, as the media detector describes it,
// with the codec's own data (`codecData`) behind the format structure as files
// carry it (a WAVEFORMATEX's cbSize counts at most 65535 bytes of it).
// Audio without a block size in its container gets 1 (byte-aligned), since
// readers divide by it.
MediaType audioStreamType(const AudioStreamInfo& stream, std::span<const uint8_t> codecData = {});
MediaType videoStreamType(const VideoStreamInfo& stream, std::span<const uint8_t> codecData = {});

// A format block read back: its structure and the codec data behind it.
struct WaveFormatBlock {
    WAVEFORMATEX format;
    std::span<const BYTE> codecData; // the cbSize bytes behind the structure
};
struct VideoInfoBlock {
    VIDEOINFOHEADER format;
    std::span<const BYTE> codecData; // whatever follows the structure
};

// The format of `type`, read from bytes that anyone may have filled: nothing
// unless the format type fits and the block holds the whole structure (and,
// for audio, the cbSize bytes it announces). The spans point into `type`.
std::optional<WaveFormatBlock> readWaveFormat(const AM_MEDIA_TYPE& type);
std::optional<VideoInfoBlock> readVideoInfo(const AM_MEDIA_TYPE& type);

} // namespace zuk::media
