// Rate and channel conversion of interleaved signed 16-bit audio.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

struct SwrContext;

namespace zuk::media {

// Converts interleaved s16 audio between rates and channel counts with
// libswresample, mixing channels by their default layouts (1 mono, 2 stereo,
// 6 5.1, ...). Holds filter history between calls, so a stream is converted
// in pieces exactly as in one call.
class AudioConverter {
public:
    // Throws std::runtime_error when libswresample cannot convert between these.
    AudioConverter(int inRate, int inChannelCount, int outRate, int outChannelCount);
    ~AudioConverter();
    AudioConverter(const AudioConverter&) = delete;
    AudioConverter& operator=(const AudioConverter&) = delete;

    // Input frames whose conversion makes at most about kPieceFrames frames: a
    // caller that converts and passes on pieces of this many holds a bounded
    // amount of sound however far apart the rates are (1 Hz to 48 kHz makes
    // 48000 frames of each input frame).
    size_t framesPerPiece() const;

    // Appends the converted frames of `in` (whole frames of inChannels values)
    // to `out`. Throws std::invalid_argument for a partial frame and
    // std::runtime_error when libswresample fails.
    void convert(std::span<const int16_t> in, std::vector<int16_t>& out);
    // Appends a piece of what the filter still holds, at the end of the
    // stream; false once it holds nothing more.
    bool flush(std::vector<int16_t>& out);
    // Forgets the history, as for a new stream (after a seek).
    void reset();

private:
    struct SwrFreer {
        void operator()(SwrContext* context) const;
    };
    int convertChunk(const int16_t* in, int frames, int room, std::vector<int16_t>& out);

    static constexpr int kPieceFrames = 1 << 15;

    std::unique_ptr<SwrContext, SwrFreer> swr;
    int inRate;
    int inChannels;
    int outRate;
    int outChannels;
};

} // namespace zuk::media
