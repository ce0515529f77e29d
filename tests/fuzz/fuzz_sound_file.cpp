// Feeds arbitrary bytes, as a sound file, to everything in the library that
// reads sound files: the resampler, the clip tools and the forward reader.
// Results are ignored; what matters is that nothing crashes, leaks, hangs or
// runs into undefined behaviour.
#include "FuzzScratch.h"
#include "audio/ForwardAudioFileReader.h"
#include "platform/WideText.h"

#include <zuk/zuk.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Bounds that keep one run short whatever the header claims.
constexpr int64_t kMaxWalkFrames = 200000;
constexpr int64_t kMaxResampleOutput = 1 << 18; // samples
constexpr int64_t kMaxSliceSamples = 200000;    // per part of a clip, all channels

// Parameters come from a hash of the whole input, so that any mutation can
// change them and a saved input always replays the same way.
class Params {
public:
    Params(const uint8_t* data, size_t size)
    {
        for (size_t i = 0; i < size; ++i)
            state = (state ^ data[i]) * 0x100000001b3ULL;
    }
    // The next `bits` (at most 16) of a stream seeded with the hash.
    unsigned take(int bits)
    {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<unsigned>(state >> 33) & ((1U << bits) - 1);
    }
    // A fraction in [-1/16, 1], so that negative times come up now and then.
    double fraction() { return (static_cast<double>(take(10)) - 64.0) / 960.0; }

private:
    uint64_t state = 0xcbf29ce484222325ULL;
};

int ignoreProgress(float)
{
    return 0;
}

// Walks the file forwards as the resampler does, with strides from the hash,
// and with whole frame pairs in between, no further than the frame count or
// kMaxWalkFrames. Returns a bound on the frames the resampler will read, or
// -1 when the walk reached its cap before the file's end.
int64_t walk(ForwardAudioFileReader& reader, Params& params)
{
    const int64_t frames = reader.frameCount();
    const int64_t limit = std::min(frames, kMaxWalkFrames);
    const int channels = reader.channels();
    if (limit <= 0 || channels <= 0)
        return std::max<int64_t>(frames, 0);

    static constexpr std::array<int64_t, 8> kStrides{1, 1, 2, 3, 7, 4093, 10239, 10241};
    const int64_t stride = kStrides[params.take(3)];
    const bool repeats = params.take(1) != 0; // positions may repeat
    std::vector<double> positions;
    std::vector<int16_t> a(1024);
    std::vector<int16_t> b(1024);
    std::vector<int16_t> frameA(static_cast<size_t>(channels));
    std::vector<int16_t> frameB(static_cast<size_t>(channels));
    reader.readFramePair(0, -1, frameA, frameB); // frame -1 is silence
    int64_t pos = 0;
    while (pos < limit) {
        positions.clear();
        for (size_t i = 0; i < a.size() && pos < limit; ++i) {
            positions.push_back(static_cast<double>(pos));
            if (!(repeats && i % 3 == 0))
                pos += stride;
        }
        int result = 0;
        const size_t got = reader.readMonoPairs(positions, a.data(), b.data(), result);
        if (result != 0)
            return static_cast<int64_t>(positions[got]); // the file ends before this position
        // Whole frames just past the run, then the pair moved on by one frame.
        const auto last = static_cast<int64_t>(positions.back());
        if (last + 2 < limit &&
            (reader.readFramePair(last + 1, last, frameA, frameB) != 0 ||
                reader.readFramePair(last + 2, last + 1, frameA, frameB) != 0))
            return last + 2;
    }
    return frames <= kMaxWalkFrames ? frames : -1;
}

void resample(const FuzzScratch& scratch, const std::u16string& input, int64_t readable, int inRate, Params& params)
{
    static constexpr std::array<int32_t, 4> kRates{8000, 44100, 48000, 96000};
    const int32_t outRate = kRates[params.take(2)];
    const bool withProgress = params.take(1) != 0;
    // The conversion reads no more than the walk found; skip it when that is
    // unknown or its output would be too long for a quick run.
    if (readable < 0 || inRate <= 0 ||
        static_cast<double>(readable) * outRate / inRate > static_cast<double>(kMaxResampleOutput))
        return;
    resampleAudioWithRate(input.c_str(), fuzzWide(scratch.path("resampled.wav")).c_str(),
        withProgress ? ignoreProgress : nullptr, outRate);
}

void slice(
    const FuzzScratch& scratch, const std::u16string& input, int rate, int channels, int64_t frames, Params& params)
{
    if (rate <= 0 || channels <= 0)
        return;
    // The range reaches a little past the input's end; lead and total are up
    // to 2 s. Each part holds at most kMaxSliceSamples samples, so that a
    // header claiming a huge rate or many channels stays quick.
    const auto maxFrames = static_cast<double>(kMaxSliceSamples / channels);
    const double clip = std::min(static_cast<double>(std::max<int64_t>(frames, 0)), maxFrames) * 1.25 / rate;
    const double span = std::min(2.0 * rate, maxFrames) / rate;
    const double lead = params.fraction() * span;
    const double start = params.fraction() * clip;
    const double end = params.fraction() * clip;
    const double total = params.fraction() * span;
    const int32_t force16 = static_cast<int32_t>(params.take(1));
    sliceAudioWithPadding(input.c_str(), lead, fuzzWide(scratch.path("slice")).c_str(), start, end, total, force16);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzScratch scratch{"resampled.wav", "slice"};
    scratch.write(data, size);
    Params params(data, size);
    const std::u16string input = fuzzWide(scratch.inputPath());

    ForwardAudioFileReader reader;
    if (reader.openFile(input.c_str()) != 0)
        return 0; // libsndfile refuses it, for the other entry points too
    const int rate = reader.sampleRate();
    const int channels = reader.channels();
    const int64_t frames = reader.frameCount();
    const int64_t readable = walk(reader, params);
    reader.closeFile();

    resample(scratch, input, readable, rate, params);
    slice(scratch, input, rate, channels, frames, params);
    scratch.removeOutputs();
    return 0;
}
