// Dsax_Extraction and Dsax_ExtractionStereo: the whole audio of a media file as
// a 48000 Hz 16-bit WAV, read through the dsax reader in fixed blocks, exactly
// as long as the stream's duration, then padded with silence to a whole number
// of video frames.
#include "audio/ClipTools.h"
#include "dsax/OpenWithoutCom.h"
#include "log/Log.h"
#include "platform/ExportGuard.h"
#include "platform/SoundFile.h"

#include <zuk/dsax.h>
#include <zuk/zuk.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <vector>

namespace zuk {

namespace {

constexpr int kRate = 48000;
constexpr int64_t kBlockFrames = 102400;
// Padding fills at most one video frame; a frame rate that would ask for more
// than this is not a video's.
constexpr int64_t kMaxPadFrames = int64_t{kRate} * 10;

using ReadFrames = int64_t (*)(uint32_t, int16_t*, int64_t, uint32_t*);

struct ChannelLayout {
    int channels;
    ReadFrames read;
};

constexpr ChannelLayout kMono{1, &dsax::dsax_read_short};
constexpr ChannelLayout kStereo{2, &dsax::dsax_read_short_stereo};

// Frames at 48000 Hz in a duration of 100-ns units, truncated, in exact
// integer arithmetic: in doubles 2.3 s comes out at 110399.99... frames and
// the stream's last real frame would be cut off.
int64_t framesIn(int64_t duration)
{
    if (duration <= 0)
        return 0;
    return static_cast<int64_t>(static_cast<__int128>(duration) * kRate / 10'000'000);
}

// Frames at 48000 Hz up to the end of the video frame in which `seconds` ends.
// A millionth of a frame of tolerance keeps floating-point error from adding
// a video frame (60.0000000001 frames) or losing an audio frame (111359.99...).
int64_t framesToVideoFrameEnd(double seconds, double frameRate)
{
    const double videoFrames = std::ceil(frameRate * seconds - 1e-9);
    const double frames = std::floor(kRate * videoFrames / frameRate + 1e-6);
    if (!(frames > 0))
        return 0;
    return frames >= 9.0e18 ? std::numeric_limits<int64_t>::max() : static_cast<int64_t>(frames);
}

struct Lengths {
    double frameRate;
    double seconds;
    int64_t totalFrames;
    int64_t padFrames;
};

Lengths lengthsOf(const dsax::DSAX_MEDIA_INFO& info)
{
    Lengths lengths{};
    lengths.frameRate = FixFrameRate(info.frame_rate);
    lengths.seconds = static_cast<double>(info.duration) * 1e-7;
    lengths.totalFrames = framesIn(info.duration);
    if (lengths.frameRate > 0) {
        lengths.padFrames = std::clamp<int64_t>(
            framesToVideoFrameEnd(lengths.seconds, lengths.frameRate) - lengths.totalFrames, 0, kMaxPadFrames);
    } else {
        LogString("ZUK_dsax: Could not get Framerate\n");
    }
    return lengths;
}

// Closes the dsax handle on every way out.
struct OpenMedia {
    dsax::DSAX_MEDIA_INFO* info = nullptr;
    OpenMedia() = default;
    OpenMedia(const OpenMedia&) = delete;
    OpenMedia& operator=(const OpenMedia&) = delete;
    ~OpenMedia() { dsax::dsax_close(&info); }
};

dsax::DSAX_MEDIA_INFO* openMedia(const zuk_char* input, bool managed)
{
    if (managed) {
        LogString("ZUK_dsax: .Net version.  Opening media. \n");
        return dsax::dsax_open_no_coinit(input);
    }
    LogString("ZUK_dsax: Not .Net version.  Opening media. \n");
    return dsax::dsax_open(input);
}

// Moves the audio from the reader to the output, block by block.
class BlockCopy {
public:
    BlockCopy(const ChannelLayout& channelLayout, uint32_t reader, SNDFILE* file)
        : layout(channelLayout), handle(reader), output(file),
          block(static_cast<size_t>(kBlockFrames * channelLayout.channels))
    {
    }

    void run(const Lengths& lengths, ProgressCallback progress)
    {
        const int64_t blockCount = lengths.totalFrames / kBlockFrames;
        const int64_t restFrames = lengths.totalFrames % kBlockFrames;
        for (int64_t index = 0; index < blockCount; ++index) {
            const int64_t got = std::max<int64_t>(read(kBlockFrames), 0);
            if (got > 0 && !write(got))
                break;
            if (got != kBlockFrames) {
                // Every block takes its full length in the output.
                std::fill(block.begin(), block.end(), int16_t{0});
                if (!write(kBlockFrames - got))
                    break;
            }
            framesWritten += got;
            if (progress != nullptr)
                progress(static_cast<float>(percentDone(lengths.seconds)));
            if (lastProgress == 100) {
                LogString("ZUK_dsax: dsax_read_short report 100% done.\n");
                break;
            }
        }
        LogString("ZUK_dsax: Writing remainder\n");
        if (restFrames != 0 && lastProgress != 100) {
            // Nothing read is not a failed write: the stream simply held no more.
            const int64_t got = std::max<int64_t>(read(restFrames), 0);
            if (got > 0)
                write(got);
            framesWritten += got;
        }
    }

    int64_t written() const { return framesWritten; }
    bool failed() const { return writeFailed; }

private:
    int64_t read(int64_t frames) { return layout.read(handle, block.data(), frames, &lastProgress); }

    // False (and the copy failed) when nothing could be written.
    bool write(int64_t frames)
    {
        const sf_count_t done = layout.channels == 1 ? sf_write_short(output, block.data(), frames)
                                                     : sf_writef_short(output, block.data(), frames);
        if (done <= 0)
            writeFailed = true;
        return !writeFailed;
    }

    double percentDone(double seconds) const
    {
        if (!(seconds > 0))
            return 100;
        return std::min(100.0, static_cast<double>(framesWritten) / kRate * 100 / seconds);
    }

    const ChannelLayout& layout;
    const uint32_t handle;
    SNDFILE* const output;
    std::vector<int16_t> block;
    uint32_t lastProgress = 0;
    int64_t framesWritten = 0;
    bool writeFailed = false;
};

int32_t extract(const ChannelLayout& layout, const zuk_char* input, const zuk_char* output, bool managed,
                ProgressCallback progress)
{
    dsax::dsax_init();
    LogString("ZUK_dsax: dsax init. \n");

    OpenMedia media;
    try {
        media.info = openMedia(input, managed);
    } catch (const std::exception&) {
        return ZUK_E_UNSUPPORTED;
    }
    if (media.info == nullptr) {
        LogString("ZUK_dsax: Cannot render media. \n");
        return ZUK_E_UNSUPPORTED;
    }
    LogString("ZUK_dsax: Open command successful\n");

    const Lengths lengths = lengthsOf(*media.info);
    SF_INFO format{};
    SoundFilePtr file = createPcm16Wav(output, kRate, layout.channels, format);
    if (!file) {
        LogString("ZUK_dsax: Could not open output audio file\n ");
        return ZUK_E_WRITE;
    }

    LogString("ZUK_dsax: Begin extracting audio.\n");
    BlockCopy copy(layout, media.info->handle, file.get());
    try {
        copy.run(lengths, progress);
    } catch (const std::exception& error) {
        // The output keeps what was written; the handle closes on the way out.
        LogString("ZUK_dsax: Reading media failed: ");
        LogString(error.what());
        LogString("\n");
        return ZUK_E_UNSUPPORTED;
    }

    LogString("ZUK_dsax: Writing padding\n");
    writeSilence(file.get(), lengths.padFrames, format);

    dsax::dsax_close(&media.info);
    const bool closed = closeSoundFile(file);

    // A failed write or an empty output is a failure with or without video;
    // only a sound output may be a success without padding.
    if (copy.failed() || !closed)
        return ZUK_E_WRITE;
    if (copy.written() == 0) {
        LogString("ZUK_dsax: No samples written. Implicit fail, possibly due to AC3.\n");
        return ZUK_E_NO_SAMPLES;
    }
    return lengths.frameRate == 0 ? ZUK_OK_UNPADDED : ZUK_OK;
}

} // namespace

} // namespace zuk

extern "C" ZUK_API int32_t Dsax_Extraction(const zuk_char* input, const zuk_char* output, uint8_t managed,
                                           ProgressCallback progress)
{
    return zuk::guardExport("Dsax_Extraction", int32_t{ZUK_E_UNSUPPORTED},
                            [&] { return zuk::extract(zuk::kMono, input, output, managed != 0, progress); });
}

extern "C" ZUK_API int32_t Dsax_ExtractionStereo(const zuk_char* input, const zuk_char* output, uint8_t managed,
                                                 ProgressCallback progress)
{
    return zuk::guardExport("Dsax_ExtractionStereo", int32_t{ZUK_E_UNSUPPORTED},
                            [&] { return zuk::extract(zuk::kStereo, input, output, managed != 0, progress); });
}
