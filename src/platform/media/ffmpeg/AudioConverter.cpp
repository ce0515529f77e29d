#include "platform/media/ffmpeg/AudioConverter.h"

extern "C" {
#include <libavutil/opt.h>
}

#include "platform/media/ffmpeg/LibAv.h"

#include <algorithm>
#include <stdexcept>

namespace zuk::media {

namespace {

// swr_convert counts in int; long inputs go through in pieces of this many frames.
constexpr int kChunkFrames = 1 << 16;

} // namespace

void AudioConverter::SwrFreer::operator()(SwrContext* context) const
{
    swr_free(&context);
}

AudioConverter::AudioConverter(int inRateHz, int inChannelCount, int outRateHz, int outChannelCount)
    : inRate(inRateHz), inChannels(inChannelCount), outRate(outRateHz), outChannels(outChannelCount)
{
    silenceLibAv();
    if (inRate <= 0 || outRate <= 0 || inChannels <= 0 || outChannels <= 0)
        throw std::runtime_error("audio conversion needs positive rates and channel counts");
    const ChannelLayout in = ChannelLayout::defaultFor(inChannels);
    const ChannelLayout out = ChannelLayout::defaultFor(outChannels);
    SwrContext* raw = nullptr;
    const int allocated = swr_alloc_set_opts2(
        &raw, out.forSwr(), AV_SAMPLE_FMT_S16, outRate, in.forSwr(), AV_SAMPLE_FMT_S16, inRate, 0, nullptr);
    swr.reset(raw);
    // Resampling works in planar float, which the library vectorises; its
    // 16-bit path costs about half as much again. 16-bit values are exact in float.
    if (allocated >= 0)
        av_opt_set_sample_fmt(raw, "internal_sample_fmt", AV_SAMPLE_FMT_FLTP, 0);
    if (allocated < 0 || swr_init(swr.get()) < 0)
        throw std::runtime_error("libswresample cannot convert " + std::to_string(inChannels) + " channels at " +
            std::to_string(inRate) + " Hz to " + std::to_string(outChannels) + " at " + std::to_string(outRate) +
            " Hz");
}

AudioConverter::~AudioConverter() = default;

size_t AudioConverter::framesPerPiece() const
{
    return static_cast<size_t>(inputFramesFor(kPieceFrames, inRate, outRate));
}

void AudioConverter::convert(std::span<const int16_t> in, std::vector<int16_t>& out)
{
    if (in.size() % static_cast<size_t>(inChannels) != 0)
        throw std::invalid_argument("audio to convert holds a partial frame");
    const size_t frames = in.size() / static_cast<size_t>(inChannels);
    for (size_t done = 0; done < frames;) {
        const int piece = static_cast<int>(std::min<size_t>(frames - done, kChunkFrames));
        convertChunk(
            in.data() + done * static_cast<size_t>(inChannels), piece, outputRoomFor(piece, inRate, outRate), out);
        done += static_cast<size_t>(piece);
    }
}

bool AudioConverter::flush(std::vector<int16_t>& out)
{
    return convertChunk(nullptr, 0, kPieceFrames, out) > 0;
}

void AudioConverter::reset()
{
    swr_close(swr.get());
    if (swr_init(swr.get()) < 0)
        throw std::runtime_error("libswresample cannot restart");
}

// The frames made, at most `room`; input they leave stays in libswresample.
int AudioConverter::convertChunk(const int16_t* in, int frames, int room, std::vector<int16_t>& out)
{
    const size_t before = out.size();
    out.resize(before + static_cast<size_t>(room) * static_cast<size_t>(outChannels));
    auto* target = reinterpret_cast<uint8_t*>(out.data() + before);
    const auto* source = reinterpret_cast<const uint8_t*>(in);
    const int made = swr_convert(swr.get(), &target, room, in ? &source : nullptr, frames);
    if (made < 0) {
        out.resize(before);
        throw std::runtime_error("libswresample failed to convert");
    }
    out.resize(before + static_cast<size_t>(made) * static_cast<size_t>(outChannels));
    return made;
}

} // namespace zuk::media
