// One audio stream of a media file, decoded to interleaved signed 16-bit frames.
#pragma once

#include "platform/media/ffmpeg/MediaProbe.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zuk::media {

// Decodes one audio stream at the stream's own rate and channel count. The
// samples equal those of `ffmpeg -i FILE -map 0:a:N -f s16le -` for the same
// stream. One decoder serves one thread at a time; separate decoders share
// nothing and may run on different threads at once. Once read, a decoder
// opened where the extraction may decode on more than one thread
// (decodeThreads()) decodes a little ahead on a thread of its own, which a
// seek stops and the destructor joins.
class AudioDecoder {
public:
    // Null with `why` set when the file cannot be opened, or `streamIndex` is
    // not an audio stream that a decoder opens (NoDecodableStream).
    static std::unique_ptr<AudioDecoder> open(const std::string& path, int streamIndex, OpenError& why);

    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    int sampleRate() const;
    int channels() const;
    // The stream's own length in frames, as AudioStreamInfo::frames; 0 unknown.
    // Lossy streams may decode to a few frames more (codec padding that the
    // container does not mark for removal).
    int64_t lengthInFrames() const;

    enum class Status { Frames, End, Failed };
    // Appends the next decoded frames to `out` (interleaved, channels() values
    // per frame), at most `mostFrames` of them, and sets `firstFrame` to the
    // position of the first of them in frames from the start of the stream
    // (the first frame the stream decodes to is 0). End: nothing more. Failed:
    // a read or decode error that cannot be skipped (corrupt packets are
    // skipped). Infinite and NaN samples of floating-point sound decode as 0.
    Status next(std::vector<int16_t>& out, int64_t& firstFrame, int64_t mostFrames = INT64_MAX);

    // Positions the stream so that the next frames returned start exactly at
    // `frame` (clamped to 0..length): from the key point before it, dropping
    // what lies before. What follows equals a decode from the start, bit for
    // bit for PCM, FLAC, MP3, Vorbis and Opus; AAC and MP2 carry state across
    // the whole stream and differ: MP2 within its rounding, AAC wherever it
    // substitutes noise (drawn from one generator for the whole stream).
    // False when the file cannot be positioned.
    bool seekToFrame(int64_t frame);
    // Whether what follows seekToFrame equals a decode from the start, bit for
    // bit, and the seek goes by the stream's timestamps rather than decoding
    // from the start (as it must where timestamps are coarser than a frame).
    bool seeksExactly() const;

    // For open() only: State is defined where libav* is.
    struct State;
    explicit AudioDecoder(std::unique_ptr<State> state);

private:
    std::unique_ptr<State> state;
};

// AudioDecoder::seeksExactly for the first audio stream of `path` (UTF-8);
// false when it does not open.
bool firstAudioSeeksExactly(const std::string& path);

} // namespace zuk::media
