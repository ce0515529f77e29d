// Dsax_Extraction and Dsax_ExtractionStereo: the whole audio of a media file as
// a 48000 Hz 16-bit WAV, read through the dsax reader in fixed blocks: every
// frame the stream delivers, filled with silence to the stream's duration when
// it delivers less, then padded with silence to a whole number of video frames.
#include "audio/ClipTools.h"
#include "audio/PieceRunner.h"
#include "dsax/OpenWithoutCom.h"
#include "log/Log.h"
#include "platform/ExportGuard.h"
#include "platform/FileIdentity.h"
#include "platform/SoundFile.h"
#include "platform/WideText.h"
#include "platform/WorkControl.h"
#include "platform/media/ffmpeg/AudioDecoder.h"

#include <zuk/dsax.h>
#include <zuk/zuk.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <optional>
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

// Frames at 48000 Hz in a duration of 100-ns units, to the nearest frame, in
// exact integer arithmetic: the graph truncates the duration to whole units,
// and truncating again would lose the last frame of most 48000 Hz streams.
int64_t framesIn(int64_t duration)
{
    if (duration <= 0)
        return 0;
    return static_cast<int64_t>((static_cast<__int128>(duration) * kRate + 5'000'000) / 10'000'000);
}

// Frames at 48000 Hz up to the end of the video frame in which frame `frames`
// ends. A millionth of a frame of tolerance keeps floating-point error from
// adding a video frame (60.0000000001 frames) or losing an audio frame
// (111359.99...).
int64_t framesToVideoFrameEnd(int64_t frames, double frameRate)
{
    const double videoFrames = std::ceil(frameRate * static_cast<double>(frames) / kRate - 1e-9);
    const double end = std::floor(kRate * videoFrames / frameRate + 1e-6);
    if (!(end > 0))
        return 0;
    return end >= 9.0e18 ? std::numeric_limits<int64_t>::max() : static_cast<int64_t>(end);
}

struct Lengths {
    double frameRate;
    double seconds;
    int64_t totalFrames;
    bool hasSound; // a file without sound opens, but its reads fail
};

Lengths lengthsOf(const dsax::DSAX_MEDIA_INFO& info)
{
    Lengths lengths{};
    lengths.frameRate = FixFrameRate(info.frame_rate);
    lengths.seconds = static_cast<double>(info.duration) * 1e-7;
    lengths.totalFrames = framesIn(info.duration);
    lengths.hasSound = info.audio_format != nullptr;
    if (!(lengths.frameRate > 0))
        LogString("ZUK_dsax: Could not get Framerate\n");
    return lengths;
}

// Silence that takes an output of `frames` frames to the end of its last
// video frame; none without video.
int64_t padFramesFor(int64_t frames, double frameRate)
{
    if (!(frameRate > 0))
        return 0;
    return std::clamp<int64_t>(framesToVideoFrameEnd(frames, frameRate) - frames, 0, kMaxPadFrames);
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

// Only where a piece decoded on its own equals that stretch of a decode from
// the start; AAC, for one, draws its substituted noise from one generator
// across the whole stream.
bool splits(const zuk_char* input, const Lengths& lengths)
{
    if (!worthSplitting(lengths.totalFrames, decodeThreads()))
        return false;
    const auto path = pathFromWide(input);
    return path && media::firstAudioSeeksExactly(*path);
}

// A piece read through a handle of its own, opened on the worker's thread
// (with COM set up for it) and closed there. A piece starts a second early:
// the rate converter starts afresh at a seek, and after a second it holds
// what it holds at that point of a run from the start.
class DsaxPieces final : public PieceReader {
public:
    DsaxPieces(const ChannelLayout& channelLayout, const zuk_char* input)
        : layout(channelLayout), block(static_cast<size_t>(kBlockFrames * channelLayout.channels))
    {
        media.info = dsax::dsax_open(input);
    }

    bool read(int64_t first, int64_t count, Piece& piece) override
    {
        if (media.info == nullptr)
            return false;
        const int64_t preRoll = std::min<int64_t>(first, kRate);
        const int64_t from = (first - preRoll) / kRate * 10'000'000; // whole seconds
        if (dsax::dsax_seek_nsec(media.info->handle, from, 0) != from)
            return false;
        int64_t dropped = 0;
        while (dropped < preRoll) {
            const int64_t got = readInto(std::min(kBlockFrames, preRoll - dropped));
            if (got == 0)
                return true; // the sound ends before the piece
            dropped += got;
        }
        for (int64_t taken = 0; taken < count;) {
            if (stopRequested())
                return false;
            const int64_t got = readInto(std::min(kBlockFrames, count - taken));
            piece.frames.insert(piece.frames.end(), block.begin(), block.begin() + got * layout.channels);
            taken += got;
            if (got == 0)
                break;
        }
        return true;
    }

private:
    int64_t readInto(int64_t frames)
    {
        uint32_t progress = 0;
        return std::max<int64_t>(layout.read(media.info->handle, block.data(), frames, &progress), 0);
    }

    const ChannelLayout& layout;
    OpenMedia media;
    std::vector<int16_t> block;
};

// Moves the audio from the reader to the output, block by block: as long as
// the stream's duration, or longer when the stream delivers more.
class BlockCopy {
public:
    BlockCopy(const ChannelLayout& channelLayout, uint32_t reader, SNDFILE* file, const SF_INFO& fileFormat)
        : layout(channelLayout),
          handle(reader),
          output(file),
          format(fileFormat),
          block(static_cast<size_t>(kBlockFrames * channelLayout.channels))
    {
    }

    void run(const Lengths& lengths, ProgressCallback progress)
    {
        const int64_t blockCount = lengths.totalFrames / kBlockFrames;
        for (int64_t index = 0; index < blockCount; ++index) {
            // Every block takes its full length in the output, never more
            // than the duration.
            const int64_t blockEnd = std::min(outputFrames + kBlockFrames, lengths.totalFrames);
            copy(kBlockFrames);
            if (writeFailed || !silenceTo(blockEnd) || stopped())
                break;
            if (progress != nullptr)
                progress(static_cast<float>(percentOf(framesWritten, lengths.seconds)));
            if (lastProgress == 100) {
                LogString("ZUK_dsax: dsax_read_short report 100% done.\n");
                break;
            }
        }
        LogString("ZUK_dsax: Writing remainder\n");
        // The reader may still hold frames of the last buffer, and a stream
        // may deliver more than its duration says: all of it goes out.
        while (lengths.hasSound && !stopped() && copy(kBlockFrames) > 0) { }
        finish(lengths, progress);
    }

    // The same output decoded in pieces on several threads, each with its
    // own handle on `input`, and written here with the progress the one-piece
    // copy reports: once a block, for the whole blocks of the duration. NotExact
    // leaves the output to be made again.
    SplitOutcome runInPieces(const zuk_char* input, const Lengths& lengths, ProgressCallback progress)
    {
        const int64_t blocksEnd = lengths.totalFrames / kBlockFrames * kBlockFrames;
        int64_t reported = 0;
        const auto reportBlocksTo = [&](int64_t end) {
            for (; progress != nullptr && reported + kBlockFrames <= std::min(end, blocksEnd); reported += kBlockFrames)
                progress(
                    static_cast<float>(percentOf(std::min(reported + kBlockFrames, framesWritten), lengths.seconds)));
        };
        const auto open = [&]() -> std::unique_ptr<PieceReader> { return std::make_unique<DsaxPieces>(layout, input); };
        const auto take = [&](std::span<const int16_t> values, std::span<const ProgressMark>) {
            const auto frames = static_cast<int64_t>(values.size()) / layout.channels;
            if (!write(values.data(), frames))
                return false;
            framesWritten += frames;
            reportBlocksTo(framesWritten);
            return true;
        };
        const SplitOutcome outcome = runPieces(layout.channels, lengths.totalFrames, decodeThreads(), open, take);
        if (outcome == SplitOutcome::Done) {
            // Blocks past a stream that delivers less report what it delivered.
            reportBlocksTo(blocksEnd);
            LogString("ZUK_dsax: Writing remainder\n");
            finish(lengths, progress);
        } else if (outcome != SplitOutcome::NotExact) {
            writeFailed = true;
        }
        return outcome;
    }

    // Frames read from the stream and written; silence does not count.
    int64_t written() const { return framesWritten; }
    // Frames in the output so far, silence included.
    int64_t length() const { return outputFrames; }
    bool failed() const { return writeFailed; }

private:
    // A stop asked for ends the copy as a failed write would.
    bool stopped()
    {
        if (stopRequested())
            writeFailed = true;
        return writeFailed;
    }

    void finish(const Lengths& lengths, ProgressCallback progress)
    {
        // A stream that delivers less still fills its duration.
        if (!writeFailed)
            silenceTo(lengths.totalFrames);
        // Blocks report as they go; the whole sound out is 100, also for a
        // sound shorter than one block, which would otherwise report nothing.
        if (!writeFailed && progress != nullptr)
            progress(100.0f);
    }

    // Reads up to `frames` frames and writes what came; returns how many came.
    int64_t copy(int64_t frames)
    {
        const int64_t got = std::max<int64_t>(layout.read(handle, block.data(), frames, &lastProgress), 0);
        if (got > 0 && write(block.data(), got))
            framesWritten += got;
        return got;
    }

    // False (and the copy failed) unless every frame was written.
    bool write(const int16_t* values, int64_t frames)
    {
        const sf_count_t done =
            layout.channels == 1 ? sf_write_short(output, values, frames) : sf_writef_short(output, values, frames);
        if (done != frames)
            writeFailed = true;
        else
            outputFrames += frames;
        return !writeFailed;
    }

    // Silence up to frame `end` of the output.
    bool silenceTo(int64_t end)
    {
        if (end <= outputFrames)
            return true;
        if (writeSilence(output, end - outputFrames, format) < 0)
            writeFailed = true;
        else
            outputFrames = end;
        return !writeFailed;
    }

    static double percentOf(int64_t frames, double seconds)
    {
        if (!(seconds > 0))
            return 100;
        return std::min(100.0, static_cast<double>(frames) / kRate * 100 / seconds);
    }

    const ChannelLayout& layout;
    const uint32_t handle;
    SNDFILE* const output;
    const SF_INFO format;
    std::vector<int16_t> block;
    uint32_t lastProgress = 0;
    int64_t framesWritten = 0;
    int64_t outputFrames = 0;
    bool writeFailed = false;
};

int32_t extract(
    const ChannelLayout& layout, const zuk_char* input, const zuk_char* output, bool managed, ProgressCallback progress)
{
    if (refusesFiles({wideView(output)}, {wideView(input)}, LogString))
        return ZUK_E_OPEN;
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
    SoundFilePtr file = createPcm16Wav(output, kRate, layout.channels, lengths.totalFrames + kMaxPadFrames, format);
    if (!file) {
        LogString("ZUK_dsax: Could not open output audio file\n ");
        return ZUK_E_WRITE;
    }

    LogString("ZUK_dsax: Begin extracting audio.\n");
    std::optional<BlockCopy> copy(std::in_place, layout, media.info->handle, file.get(), format);
    try {
        if (!splits(input, lengths)) {
            copy->run(lengths, progress);
        } else if (copy->runInPieces(input, lengths, progress) == SplitOutcome::NotExact) {
            // Pieces that would not join exactly: the output starts again, in one piece.
            file.reset();
            file = createPcm16Wav(output, kRate, layout.channels, lengths.totalFrames + kMaxPadFrames, format);
            if (!file) {
                LogString("ZUK_dsax: Could not open output audio file\n ");
                return ZUK_E_WRITE;
            }
            copy.emplace(layout, media.info->handle, file.get(), format).run(lengths, progress);
        }
    } catch (const std::exception& error) {
        // The output keeps what was written; the handle closes on the way out.
        LogString("ZUK_dsax: Reading media failed: ");
        LogString(error.what());
        LogString("\n");
        return ZUK_E_UNSUPPORTED;
    }

    LogString("ZUK_dsax: Writing padding\n");
    const bool padded = writeSilence(file.get(), padFramesFor(copy->length(), lengths.frameRate), format) >= 0;

    dsax::dsax_close(&media.info);
    const bool closed = closeSoundFile(file);

    // A failed write or an empty output is a failure with or without video;
    // only a sound output may be a success without padding.
    if (copy->failed() || !padded || !closed)
        return ZUK_E_WRITE;
    if (copy->written() == 0) {
        LogString("ZUK_dsax: No samples written. Implicit fail, possibly due to AC3.\n");
        return ZUK_E_NO_SAMPLES;
    }
    return lengths.frameRate == 0 ? ZUK_OK_UNPADDED : ZUK_OK;
}

} // namespace

} // namespace zuk

extern "C" ZUK_API int32_t Dsax_Extraction(
    const zuk_char* input, const zuk_char* output, uint8_t managed, ProgressCallback progress)
{
    return zuk::guardExport("Dsax_Extraction", int32_t{ZUK_E_UNSUPPORTED},
        [&] { return zuk::extract(zuk::kMono, input, output, managed != 0, progress); });
}

extern "C" ZUK_API int32_t Dsax_ExtractionStereo(
    const zuk_char* input, const zuk_char* output, uint8_t managed, ProgressCallback progress)
{
    return zuk::guardExport("Dsax_ExtractionStereo", int32_t{ZUK_E_UNSUPPORTED},
        [&] { return zuk::extract(zuk::kStereo, input, output, managed != 0, progress); });
}
