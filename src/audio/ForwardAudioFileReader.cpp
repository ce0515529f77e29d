#include "audio/ForwardAudioFileReader.h"

#include <algorithm>
#include <cmath>

namespace {

// The factor that brings `peak` to full scale as libsndfile computes it (a
// step of headroom, the peak held in single precision), except that a peak
// beyond single precision gives a factor too, not 0.
double fullScaleFactor(double peak)
{
    if (peak == 0)
        return 1.0;
    const double withHeadroom = 32768.0 / 32767.0 * peak;
    if (const auto single = static_cast<float>(withHeadroom); std::isfinite(single))
        return 32767.0 / single;
    return 32767.0 / peak * (32767.0 / 32768.0);
}

} // namespace

ForwardAudioFileReader::~ForwardAudioFileReader()
{
    if (isOpen)
        closeFile();
}

int ForwardAudioFileReader::openFile(const zuk_char* path)
{
    if (isOpen)
        closeFile();
    info = SF_INFO{};
    info.format = 0;
    file = zuk::openSoundFile(path, SFM_READ, info);
    if (!file)
        return -1;
    isOpen = true;
    const size_t channelCount = static_cast<size_t>(info.channels);
    blockBuffer.assign(channelCount * kBlockFrames, 0);
    monoWindow.assign(kBlockFrames + 1, 0);
    blockIndex = -1;
    blockFrames = 0;
    newFrame.assign(channelCount, 0);
    prevFrame.assign(channelCount, 0);
    newFrameIndex = -1;
    prevFrameIndex = -2;
    const int subformat = info.format & SF_FORMAT_SUBMASK;
    readsFloat = subformat == SF_FORMAT_FLOAT || subformat == SF_FORMAT_DOUBLE;
    if (readsFloat && !measureFloatPeak()) {
        closeFile();
        return -1;
    }
    return 0;
}

// One pass over the file for the peak of its finite samples, then back to its start.
bool ForwardAudioFileReader::measureFloatPeak()
{
    floatBlock.assign(static_cast<size_t>(info.channels) * kBlockFrames, 0.0);
    double peak = 0;
    sf_count_t got = 0;
    while ((got = sf_readf_double(file.get(), floatBlock.data(), kBlockFrames)) > 0)
        for (const double sample : std::span(floatBlock).first(static_cast<size_t>(got * info.channels)))
            if (std::isfinite(sample))
                peak = std::max(peak, std::fabs(sample));
    floatScale = fullScaleFactor(peak);
    return sf_seek(file.get(), 0, SEEK_SET) == 0;
}

// The next block of frames into blockBuffer as 16-bit samples; the frames read.
sf_count_t ForwardAudioFileReader::readBlock()
{
    if (!readsFloat)
        return sf_readf_short(file.get(), blockBuffer.data(), kBlockFrames);
    const sf_count_t got = sf_readf_double(file.get(), floatBlock.data(), kBlockFrames);
    const bool single = (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT;
    const auto singleScale = static_cast<float>(floatScale);
    const auto values = static_cast<size_t>(std::max<sf_count_t>(got, 0) * info.channels);
    const auto samples = std::span(floatBlock).first(values);
    // In single or double precision as libsndfile converts each subformat.
    std::transform(samples.begin(), samples.end(), blockBuffer.begin(), [&](double sample) {
        if (!std::isfinite(sample))
            return int16_t{0};
        const long rounded =
            single ? std::lrint(singleScale * static_cast<float>(sample)) : std::lrint(floatScale * sample);
        return static_cast<int16_t>(rounded);
    });
    return got;
}

int ForwardAudioFileReader::closeFile()
{
    blockBuffer = {};
    floatBlock = {};
    monoWindow = {};
    blockFrames = 0;
    zuk::closeSoundFile(file);
    isOpen = false;
    return 0;
}

// Brings block `block` into blockBuffer. The reader never goes back (-2); a
// read that yields nothing means the file ended early (1) and leaves
// blockIndex where it was, so a later request tries that read again.
int ForwardAudioFileReader::loadBlock(int64_t block)
{
    if (block < blockIndex)
        return -2;
    while (blockIndex < block) {
        const sf_count_t got = readBlock();
        if (got <= 0)
            return 1;
        // The frame before the new block ends the old one, if it was whole.
        monoWindow[0] = blockFrames == kBlockFrames ? monoWindow[kBlockFrames] : int16_t{0};
        blockFrames = got;
        ++blockIndex;
        foldBlockToMono();
    }
    return 0;
}

// The block before the frame's is read too: the frame before a block's first
// is part of its window.
bool ForwardAudioFileReader::skipTo(int64_t frame)
{
    const int64_t block = frame / kBlockFrames;
    if (!isOpen || frame < 0)
        return false;
    if (block == blockIndex || block == blockIndex + 1)
        return true;
    const int64_t from = std::max<int64_t>(block - 1, 0);
    if (sf_seek(file.get(), from * kBlockFrames, SEEK_SET) < 0)
        return false;
    blockIndex = from - 1;
    blockFrames = 0;
    return true;
}

// The mean of each frame's channels, truncated toward zero. The channel sum is
// a whole number, so integer division gives exactly what summing in double
// precision, dividing and truncating gives.
void ForwardAudioFileReader::foldBlockToMono()
{
    const int channelCount = info.channels;
    const int16_t* samples = blockBuffer.data();
    int16_t* mono = monoWindow.data() + 1;
    if (channelCount == 1) {
        std::copy(samples, samples + blockFrames, mono);
    } else if (channelCount == 2) {
        for (int64_t f = 0; f < blockFrames; ++f)
            mono[f] = static_cast<int16_t>((samples[2 * f] + samples[2 * f + 1]) / 2);
    } else {
        for (int64_t f = 0; f < blockFrames; ++f) {
            int32_t sum = 0;
            for (int c = 0; c < channelCount; ++c)
                sum += samples[f * channelCount + c];
            mono[f] = static_cast<int16_t>(sum / channelCount);
        }
    }
}

// Brings in the block of frame `index` and gives the frame's place in it: 0,
// or a load failure. Frames past the data of a short block belong to a file
// that ended before its header's count: they are the end (1), never what an
// earlier block left behind.
int ForwardAudioFileReader::locateFrame(int64_t index, size_t& offset)
{
    const int loaded = loadBlock(index / kBlockFrames);
    if (loaded != 0)
        return loaded;
    const int64_t inBlock = index - blockStart();
    if (inBlock >= blockFrames)
        return 1;
    offset = static_cast<size_t>(inBlock);
    return 0;
}

int ForwardAudioFileReader::fetchFrame(int64_t index, std::span<int16_t> frame)
{
    size_t offset = 0;
    if (const int located = locateFrame(index, offset); located != 0)
        return located;
    const auto source = std::span<const int16_t>(blockBuffer).subspan(offset * frame.size(), frame.size());
    std::copy(source.begin(), source.end(), frame.begin());
    return 0;
}

int ForwardAudioFileReader::fetchMono(int64_t index, int16_t& mono)
{
    mono = 0;
    if (index < 0)
        return 0;
    if (blockIndex >= 0 && index == blockStart() - 1) {
        mono = monoWindow[0];
        return 0;
    }
    size_t offset = 0;
    if (const int located = locateFrame(index, offset); located != 0)
        return located;
    mono = monoWindow[offset + 1];
    return 0;
}

int ForwardAudioFileReader::readFramePair(int64_t a, int64_t b, std::span<int16_t> frameA, std::span<int16_t> frameB)
{
    if (newFrameIndex == a && prevFrameIndex == b) {
        std::copy(newFrame.begin(), newFrame.end(), frameA.begin());
        std::copy(prevFrame.begin(), prevFrame.end(), frameB.begin());
        return 0;
    }
    const auto silence = [](std::span<int16_t> frame) { std::fill(frame.begin(), frame.end(), int16_t{0}); };
    if (!isOpen) {
        silence(frameA);
        silence(frameB);
        return 1;
    }

    if (b == newFrameIndex) {
        // The pair moves on by one frame.
        prevFrameIndex = b;
        std::copy(newFrame.begin(), newFrame.end(), frameB.begin());
        prevFrame = newFrame;
    } else if (b < 0) {
        // Before the start of the file there is only silence.
        prevFrameIndex = b;
        silence(frameB);
        std::fill(prevFrame.begin(), prevFrame.end(), int16_t{0});
    } else {
        const int fetched = fetchFrame(b, frameB);
        if (fetched != 0) {
            silence(frameA);
            silence(frameB);
            return fetched;
        }
        std::copy(frameB.begin(), frameB.end(), prevFrame.begin());
        prevFrameIndex = b;
    }

    if (a < 0) {
        silence(frameA);
        return 0;
    }
    const int fetched = fetchFrame(a, frameA);
    if (fetched != 0) {
        silence(frameA);
        return fetched;
    }
    std::copy(frameA.begin(), frameA.end(), newFrame.begin());
    newFrameIndex = a;
    return 0;
}

int ForwardAudioFileReader::readMonoPair(int64_t a, int64_t b, int16_t* outA, int16_t* outB)
{
    *outA = *outB = 0;
    if (!isOpen)
        return 1;
    if (const int fetched = fetchMono(b, *outB); fetched != 0) {
        *outB = 0;
        return fetched;
    }
    if (const int fetched = fetchMono(a, *outA); fetched != 0) {
        *outA = 0;
        return fetched;
    }
    return 0;
}

size_t ForwardAudioFileReader::readMonoPairs(std::span<const double> positions, int16_t* a, int16_t* b, int& result)
{
    result = 0;
    size_t i = 0;
    while (i < positions.size()) {
        // The run of positions whose pair lies in the window needs no block.
        const int64_t start = blockStart();
        const int64_t end = start + blockFrames;
        for (; i < positions.size(); ++i) {
            const auto pos = static_cast<int64_t>(positions[i]);
            if (pos < start || pos >= end)
                break;
            const auto offset = static_cast<size_t>(pos - start);
            a[i] = monoWindow[offset + 1];
            b[i] = monoWindow[offset];
        }
        if (i == positions.size())
            break;
        const auto pos = static_cast<int64_t>(positions[i]);
        result = readMonoPair(pos, pos - 1, &a[i], &b[i]);
        if (result != 0)
            break;
        ++i;
    }
    return i;
}
