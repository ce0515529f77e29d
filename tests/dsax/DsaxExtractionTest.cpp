// Dsax_Extraction and Dsax_ExtractionStereo on real media: every frame of the
// stream, lengths filled to the duration and padded to whole video frames,
// progress, every result code and its log, COM and handles left as they were.
#include "platform/WorkControl.h"
#include "platform/com/Com.h"
#include "support/LogCapture.h"
#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <zuk/zuk.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <optional>
#include <ostream>

using namespace zuktest;

namespace {

struct DsaxExtraction : ::testing::Test {
    TempDir dir;

    int32_t extract(const std::string& input, const std::string& output, uint8_t managed = 0)
    {
        return Dsax_Extraction(wide(input).c_str(), wide(output).c_str(), managed, nullptr);
    }
};

} // namespace

// What the extractions write: every frame the stream delivers (what ffmpeg
// decodes of it), silence up to the stream's duration where it delivers less,
// then silence up to the end of the video frame the sound ends in. A write
// that falls short anywhere on the way, here at a limit on the file's size,
// fails the extraction.
struct Extraction {
    const char* name;
    const char* fixture;
    int channels; // 1: Dsax_Extraction, 2: Dsax_ExtractionStereo
    int32_t result;
    int64_t frames;     // of the output
    uint64_t sizeLimit; // bytes a file may take; 0: no limit
    friend void PrintTo(const Extraction& extraction, std::ostream* out) { *out << extraction.name; }
};

class WholeStream : public DsaxExtraction, public ::testing::WithParamInterface<Extraction> { };

TEST_P(WholeStream, ReachesTheWavThenSilenceToTheDurationAndTheVideoFrameEnd)
{
    const Extraction expected = GetParam();
    const std::string input = mediaFixture(expected.fixture);
    const std::string output = dir.file("out.wav");
    const auto run = expected.channels == 1 ? Dsax_Extraction : Dsax_ExtractionStereo;
    static std::vector<float> progress;
    progress.clear();
    {
        std::optional<FileSizeLimit> limit;
        if (expected.sizeLimit > 0)
            limit.emplace(expected.sizeLimit);
        EXPECT_EQ(run(wide(input).c_str(), wide(output).c_str(), 0,
                      [](float percent) {
                          progress.push_back(percent);
                          return 0;
                      }),
            expected.result);
    }
    if (expected.sizeLimit > 0) {
        EXPECT_LE(std::filesystem::file_size(output), expected.sizeLimit);
        return;
    }

    const Sound written = readShorts(output);
    EXPECT_EQ(written.info.samplerate, 48000);
    EXPECT_EQ(written.info.channels, expected.channels);
    EXPECT_EQ(written.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    ASSERT_EQ(written.frames(), expected.frames);
    const auto reference = ffmpegDecodeAt(input, 48000, expected.channels);
    ASSERT_LE(reference.size(), written.samples.size());
    const std::vector<int16_t> sound(written.samples.begin(), written.samples.begin() + reference.size());
    EXPECT_GT(correlation(sound, reference), 0.99);
    // A tail lost to silence hardly moves the whole's correlation; the last
    // thousand frames' it does.
    const auto tail = static_cast<ptrdiff_t>(std::min<size_t>(reference.size(), 1000 * expected.channels));
    EXPECT_GT(correlation(std::vector<int16_t>(sound.end() - tail, sound.end()),
                  std::vector<int16_t>(reference.end() - tail, reference.end())),
        0.99);
    EXPECT_TRUE(std::all_of(written.samples.begin() + static_cast<ptrdiff_t>(reference.size()), written.samples.end(),
        [](int16_t value) { return value == 0; }));
    // Progress rises block by block, to 100.
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 100.0f);
}

INSTANTIATE_TEST_SUITE_P(Lengths, WholeStream,
    ::testing::Values(
        // Decoded sound (AAC a little longer than the stream's duration)
        // padded to the video frame: 144893 frames at 25 fps make 76 frames.
        Extraction{"mov_aac", "mov-aac.mov", 1, ZUK_OK, 145920, 0},
        // No video: no padding, and a result that says so.
        Extraction{"no_video", "flac.flac", 1, ZUK_OK_UNPADDED, 144000, 0},
        // 10.0625 s at 24 fps: 241.5 frames, so 242 frames, 10.08333 s.
        Extraction{"avi_24fps", "avi-24fps.avi", 1, ZUK_OK, 484000, 0},
        // 2 s at 30000/1001 fps: 59.94 frames, so 60 frames, 2.002 s.
        Extraction{"mov_ntsc", "mov-ntsc-pcm.mov", 1, ZUK_OK, 96096, 0},
        // 2.3 s at 25 fps: 57.5 frames, so 58 frames, 2.32 s. In doubles both
        // 48000 x 2.3 and 48000 x 2.32 fall a hair short of whole frames.
        Extraction{"avi_pcm", "avi-pcm.avi", 1, ZUK_OK, 111360, 0},
        // 205056 frames: the last 256 come after the last whole block, in the
        // buffer whose end is the end of the stream; 107 frames at 25 fps.
        Extraction{"tail", "tail-mp2-25fps.avi", 1, ZUK_OK, 205440, 0},
        Extraction{"tail_stereo", "tail-mp2-25fps.avi", 2, ZUK_OK, 205440, 0},
        // 205300 frames last 42770833.33 units, of which the graph gives
        // 42770833; the stream delivers half of them, silence makes up the rest.
        Extraction{"last_frame", "pcm-205300-cut.mov", 1, ZUK_OK_UNPADDED, 205300, 0},
        // Writes cut short (a WAV's header takes 44 bytes): in the first block,
        // with and without video; the last frames of the stream; the padding.
        Extraction{"short_write_in_a_block", "avi-24fps.avi", 1, ZUK_E_WRITE, 0, 100 * 1024},
        Extraction{"short_write_in_a_block_no_video", "flac.flac", 1, ZUK_E_WRITE, 0, 100 * 1024},
        Extraction{"short_write_at_the_tail", "tail-mp2-25fps.avi", 1, ZUK_E_WRITE, 0, 44 + 2 * 204800 + 100},
        Extraction{
            "short_write_in_the_padding_stereo", "tail-mp2-25fps.avi", 2, ZUK_E_WRITE, 0, 44 + 4 * 205056 + 100}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(DsaxExtraction, ResultCodesForWhatCannotBeDone)
{
    CapturingSink log;
    const int comBefore = comInitializationCount();
    const int descriptorsBefore = openDescriptorCount();

    // A managed caller's COM is its own: this call leaves it alone, as all leave it balanced.
    EXPECT_EQ(extract(mediaFixture("flac.flac"), dir.file("flac.wav"), 1), ZUK_OK_UNPADDED);
    EXPECT_NE(log.joined().find("ZUK_dsax: Could not get Framerate\n"), std::string::npos);
    EXPECT_EQ(extract(mediaFixture("garbage.bin"), dir.file("a.wav")), ZUK_E_UNSUPPORTED);
    EXPECT_EQ(extract(dir.file("missing.mov"), dir.file("b.wav")), ZUK_E_UNSUPPORTED);
    EXPECT_EQ(Dsax_Extraction(nullptr, wide(dir.file("c.wav")).c_str(), 0, nullptr), ZUK_E_UNSUPPORTED);

    log.captured.pieces.clear();
    EXPECT_EQ(extract(mediaFixture("avi-pcm.avi"), dir.file("no/such/folder/out.wav")), ZUK_E_WRITE);
    EXPECT_NE(log.joined().find("ZUK_dsax: Could not open output audio file\n "), std::string::npos);

    // A sound stream without a single packet: nothing to write.
    log.captured.pieces.clear();
    EXPECT_EQ(extract(mediaFixture("mkv-empty-audio.mkv"), dir.file("d.wav")), ZUK_E_NO_SAMPLES);
    EXPECT_NE(
        log.joined().find("ZUK_dsax: No samples written. Implicit fail, possibly due to AC3.\n"), std::string::npos);

    EXPECT_EQ(comInitializationCount(), comBefore);
    EXPECT_EQ(openDescriptorCount(), descriptorsBefore);
}

// A long sound on several threads is the one-piece output byte for byte, and
// reports the same progress: MP3 in pieces (its last shorter than what a piece
// reads past its end), AAC whole (its noise generator runs through the stream,
// so pieces would differ). A stop asked for before the call gives up either way.
TEST_F(DsaxExtraction, PiecesOnThreadsJoinIntoTheOnePieceOutput)
{
    static std::vector<float> progress;
    const auto run = [&](const char* fixture, int threads) {
        const zuk::DecodeThreadsScope scope(threads);
        progress.clear();
        return Dsax_Extraction(wide(mediaFixture(fixture)).c_str(), wide(dir.file("out.wav")).c_str(), 0,
            [](float percent) { return progress.push_back(percent), 0; });
    };
    for (const char* fixture : {"long-mp3.mp3", "long-aac.m4a"}) {
        ASSERT_EQ(run(fixture, 1), ZUK_OK_UNPADDED);
        const std::string whole = fileBytes(dir.file("out.wav"));
        const std::vector<float> wholeProgress = progress;
        ASSERT_EQ(run(fixture, 4), ZUK_OK_UNPADDED);
        EXPECT_TRUE(fileBytes(dir.file("out.wav")) == whole) << fixture;
        EXPECT_EQ(progress, wholeProgress) << fixture;
        const std::atomic<bool> stop{true};
        const zuk::StopScope stopping(&stop);
        EXPECT_TRUE(run(fixture, 1) == ZUK_E_WRITE && run(fixture, 4) == ZUK_E_WRITE) << fixture;
    }
}
