#include "audio/ClipTools.h"
#include "platform/ExportGuard.h"
#include "platform/IntegerSample.h"

#include <zuk/zuk.h>

#include <array>
#include <cmath>

namespace zuk {

namespace {

bool blockFits(const SF_INFO& info)
{
    return info.channels >= 1 && info.channels <= kClipBlockSamples;
}

// Moves `frames` frames in blocks of the clip buffer: the part that does not
// fill a whole block first, then the whole blocks. `move` transfers up to the
// given number of samples and reports how many it moved, or -1 to stop.
template <class Move>
int64_t inBlocks(int64_t frames, int channels, Move&& move)
{
    const int64_t blockFrames = kClipBlockSamples / channels;
    const int64_t wholeBlocks = frames / blockFrames;
    const int64_t rest = frames % blockFrames;
    int64_t moved = 0;
    for (int64_t i = rest != 0 ? -1 : 0; i < wholeBlocks; ++i) {
        const int64_t samples = (i < 0 ? rest : blockFrames) * channels;
        const int64_t done = move(samples);
        if (done < 0)
            return -1;
        moved += done;
        if (done < samples)
            break;
    }
    return moved / channels;
}

} // namespace

std::optional<int64_t> framesAt(double seconds, int rate, bool rounded)
{
    double frames = seconds * rate;
    if (rounded)
        frames += 0.5;
    frames = std::trunc(frames);
    if (!(frames >= -0x1p63 && frames < 0x1p63))
        return std::nullopt;
    return static_cast<int64_t>(frames);
}

int64_t writeSilence(SNDFILE* output, int64_t frames, SF_INFO info)
{
    if (output == nullptr || !blockFits(info))
        return -1;
    if (frames <= 0)
        return 0;
    const std::array<double, kClipBlockSamples> silence{};
    const int64_t written = inBlocks(frames, info.channels, [&](int64_t samples) -> int64_t {
        const sf_count_t done = sf_write_double(output, silence.data(), samples);
        return done == samples ? done : -1;
    });
    return written == frames ? frames : -1;
}

namespace {

// Bits per sample of an integer PCM file; 0 for any other encoding.
int pcmBits(SNDFILE* file)
{
    SF_INFO info{};
    if (sf_command(file, SFC_GET_CURRENT_SF_INFO, &info, sizeof info) != 0)
        return 0;
    switch (info.format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
        return 8;
    case SF_FORMAT_PCM_16:
        return 16;
    case SF_FORMAT_PCM_24:
        return 24;
    case SF_FORMAT_PCM_32:
        return 32;
    default:
        return 0;
    }
}

// Moves the samples in blocks through `Sample`: libsndfile's normalised doubles
// in general, or its left-aligned ints between integer PCM files, where
// doubles would scale reads by 1/0x8000 but writes by 0x7FFF and lose a step.
template <class Sample, class Read, class Write>
int64_t copyBlocks(SNDFILE* input, SNDFILE* output, int64_t frames, int channels, Read read, Write write)
{
    std::array<Sample, kClipBlockSamples> block{};
    bool shortWrite = false;
    const int64_t copied = inBlocks(frames, channels, [&](int64_t samples) -> int64_t {
        const sf_count_t got = read(input, block.data(), samples);
        if (got <= 0)
            return 0;
        if (write(output, block.data(), got) != got) {
            shortWrite = true;
            return -1;
        }
        return got;
    });
    return shortWrite ? -3 : copied;
}

// Copies between integer PCM files. libsndfile narrows ints by dropping their
// low bits, which biases every sample by half a step down, so samples going
// to fewer bits are rounded to them first; samples that keep their width, or
// gain bits, are copied bit for bit.
int64_t copyIntegers(SNDFILE* input, SNDFILE* output, int64_t frames, int channels, int inBits, int outBits)
{
    if (outBits >= inBits)
        return copyBlocks<int>(input, output, frames, channels, sf_read_int, sf_write_int);
    return copyBlocks<int>(
        input, output, frames, channels, sf_read_int, [outBits](SNDFILE* file, int* samples, sf_count_t count) {
            for (sf_count_t i = 0; i < count; ++i)
                samples[i] = roundedToBits(samples[i], outBits);
            return sf_write_int(file, samples, count);
        });
}

} // namespace

int64_t copyAudio(SNDFILE* input, SNDFILE* output, int64_t first, int64_t end, const SF_INFO& info)
{
    if (input == nullptr || output == nullptr || !blockFits(info) || first < 0)
        return -1;
    if (sf_seek(input, first, SEEK_SET) != first)
        return -1;
    const int64_t frames = end > first ? end - first : 0;
    const int inBits = pcmBits(input);
    const int outBits = pcmBits(output);
    if (inBits != 0 && outBits != 0)
        return copyIntegers(input, output, frames, info.channels, inBits, outBits);
    return copyBlocks<double>(input, output, frames, info.channels, sf_read_double, sf_write_double);
}

} // namespace zuk

extern "C" ZUK_API int64_t Helper_CopyAudio(SNDFILE* input, SNDFILE* output, int64_t first, int64_t end, SF_INFO info)
{
    return zuk::guardExport(
        "Helper_CopyAudio", int64_t{-1}, [&] { return zuk::copyAudio(input, output, first, end, info); });
}

extern "C" ZUK_API int64_t Helper_CopyAudioSec(SNDFILE* input, SNDFILE* output, double start, double end, SF_INFO info)
{
    const auto first = zuk::framesAt(start, info.samplerate, false);
    const auto last = zuk::framesAt(end, info.samplerate, true);
    if (!first || !last)
        return -1;
    return Helper_CopyAudio(input, output, *first, *last, info);
}
