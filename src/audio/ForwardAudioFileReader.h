#pragma once

#include "audio/ForwardReader.h"
#include "platform/SoundFile.h"

#include <zuk/zuk.h>

#include <cstdint>
#include <span>
#include <vector>

// Reads a sound file forwards in blocks of 10240 frames, as 16-bit samples,
// so that a resampler walking the file pair by pair reads each block once.
//
// Whole frames and mono values are served apart. readFramePair copies frames
// and remembers the last two it handed out. The mono values of a block are
// folded once, when it is read, into a window that also holds the last value
// of the block before, so that frames pos and pos - 1 are always at hand.
//
// Floating-point files are scaled to full 16-bit range by the peak of their
// finite samples, here rather than by libsndfile, which takes an infinite
// sample as the peak and so silences the whole file. Infinite and NaN samples
// read as 0.
class ForwardAudioFileReader final : private ForwardReader {
public:
    static constexpr int64_t kBlockFrames = 10240;

    ForwardAudioFileReader() = default;
    ~ForwardAudioFileReader();
    ForwardAudioFileReader(const ForwardAudioFileReader&) = delete;
    ForwardAudioFileReader& operator=(const ForwardAudioFileReader&) = delete;

    // 0, or -1 when libsndfile cannot open `path`.
    int openFile(const zuk_char* path);
    int sampleRate() const { return info.samplerate; }
    int64_t frameCount() const { return info.frames; }
    int channels() const { return info.channels; }
    // Float files are scaled by a peak that opening measures over the whole file.
    bool scalesFloat() const { return readsFloat; }

    // Goes to frame `frame`, forwards or back, without reading the frames
    // before it, so that the next reads from there give what reading through
    // would give. False when the file cannot be positioned there.
    bool skipTo(int64_t frame);

    int readMonoPair(int64_t a, int64_t b, int16_t* outA, int16_t* outB) override;

    // readMonoPair(pos, pos - 1) for each of `positions` (whole numbers, not
    // decreasing) in turn, into a[i] and b[i]. Stops at the first pair whose
    // result is not 0, which goes to `result`; returns the pairs delivered.
    size_t readMonoPairs(std::span<const double> positions, int16_t* a, int16_t* b, int& result);

    // Whole frames a and b (b = a - 1) into the two spans of channels() samples.
    // Results as readMonoPair. Frame -1 is silence.
    int readFramePair(int64_t a, int64_t b, std::span<int16_t> frameA, std::span<int16_t> frameB);

    int closeFile();

private:
    int loadBlock(int64_t block);
    sf_count_t readBlock();
    bool measureFloatPeak();
    void foldBlockToMono();
    int locateFrame(int64_t index, size_t& offset);
    int fetchFrame(int64_t index, std::span<int16_t> frame);
    int fetchMono(int64_t index, int16_t& mono);
    int64_t blockStart() const { return blockIndex * kBlockFrames; }

    SF_INFO info{};
    zuk::SoundFilePtr file;
    std::vector<int16_t> blockBuffer;
    int64_t blockIndex = -1;
    int64_t blockFrames = 0; // frames the last read put into blockBuffer
    std::vector<int16_t> newFrame;
    std::vector<int16_t> prevFrame;
    int64_t newFrameIndex = -1;
    int64_t prevFrameIndex = -2;
    bool isOpen = false;
    bool readsFloat = false; // float or double samples, scaled here
    double floatScale = 1.0; // for float files applied in single precision, as libsndfile does
    std::vector<double> floatBlock;
    // [0]: mono of frame blockStart() - 1 (silence before the file);
    // [1 + i]: mono of frame blockStart() + i.
    std::vector<int16_t> monoWindow;
};
