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
    AudioConverter(int inRate, int inChannels, int outRate, int outChannels);
    ~AudioConverter();
    AudioConverter(const AudioConverter&) = delete;
    AudioConverter& operator=(const AudioConverter&) = delete;

    // Appends the converted frames of `in` (whole frames of inChannels values)
    // to `out`. Throws std::invalid_argument for a partial frame and
    // std::runtime_error when libswresample fails.
    void convert(std::span<const int16_t> in, std::vector<int16_t>& out);
    // Appends what the filter still holds: the end of the stream.
    void flush(std::vector<int16_t>& out);
    // Forgets the history, as for a new stream (after a seek).
    void reset();

private:
    struct SwrFreer {
        void operator()(SwrContext* context) const;
    };
    void convertChunk(const int16_t* in, int frames, std::vector<int16_t>& out);

    std::unique_ptr<SwrContext, SwrFreer> swr;
    int inChannels;
    int outChannels;
};

} // namespace zuk::media
