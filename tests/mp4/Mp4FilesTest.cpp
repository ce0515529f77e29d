// Files made by the ffmpeg command line: the unwrapper's WAV holds what ffmpeg
// decodes from them, rounded to 16 bits; Extract reaches the unwrapper for an
// ".mp4" that no other back end reads.
#include "Mp4Builder.h"
#include "Mp4Test.h"
#include "mp4/AudioTrack.h"
#include "mp4/TopLevel.h"
#include "support/MediaFixtures.h"

#include <algorithm>
#include <cmath>

using namespace zuktest;
using namespace zuktest::mp4;

namespace {

using Mp4FilesTest = Mp4Test;

// Chunks of the sound track of the file at `path`.
size_t soundChunks(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const zuk::TopLevel top = zuk::scanTopLevel(in);
    zuk::AudioTrackBoxes track;
    if (!top.movie || zuk::findAudioTrack(top.movie->children, track) == nullptr || track.stco == nullptr)
        return 0;
    return track.stco->chunk_offset.size();
}

// A format code that FFmpeg has no decoder for.
const std::string kUnknownCode = "qzpc";

// `original` with the format code of its sound sample entry, `from`, set to `to`.
std::string withSoundCode(std::string original, const std::string& from, const std::string& to)
{
    // The entry's code follows the sample description's header and count and
    // the entry's size.
    for (size_t at = original.find("stsd"); at != std::string::npos; at = original.find("stsd", at + 4))
        if (original.compare(at + 16, 4, from) == 0)
            return original.replace(at + 16, 4, to);
    throw std::runtime_error("no sample entry " + from);
}

// The sound of the file as ffmpeg decodes it to 32 bits, rounded to the
// nearest 16-bit value (halves up, clamped). Samples of up to 16 bits come out
// exactly; ffmpeg's own 16-bit output would truncate wider ones.
std::vector<int16_t> ffmpegDecodeRounded(const std::string& path)
{
    const std::string bytes = commandOutput(
        {"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:a:0", "-f", "s32le", "-acodec", "pcm_s32le", "-"});
    std::vector<int16_t> samples(bytes.size() / 4);
    for (size_t i = 0; i < samples.size(); ++i) {
        uint32_t value = 0;
        for (int b = 3; b >= 0; --b)
            value = value << 8 | static_cast<uint8_t>(bytes[4 * i + static_cast<size_t>(b)]);
        const double rounded = std::floor(static_cast<int32_t>(value) / 65536.0 + 0.5);
        samples[i] = static_cast<int16_t>(std::clamp(rounded, -32768.0, 32767.0));
    }
    return samples;
}

} // namespace

TEST_F(Mp4FilesTest, UncompressedSoundIsCopiedAsFfmpegDecodesIt)
{
    const std::string zero(4, '\0');
    const struct {
        const char* name;
        int rate;
        int channels;
        std::string code = {}; // not empty: the file with its sound's format code changed to this
        std::string from = {};
    } files[] = {
        {"mov-s16be-mono.mov", 48000, 1},
        {"mov-s16be-stereo-front.mov", 44100, 2},
        {"mov-s16be-video.mov", 48000, 2},
        {"mov-s16le.mov", 32000, 2},
        {"mov-s24be.mov", 32000, 2},
        {"mov-s24le.mov", 32000, 2},
        {"mov-s32be.mov", 32000, 2},
        {"mov-s32le.mov", 32000, 2},
        {"mov-s8.mov", 32000, 2},
        {"mov-u8.mov", 32000, 2},
        // QuickTime's unspecified formats: 8-bit offset binary, else big-endian.
        {"mov-u8.mov", 32000, 2, "NONE", "raw "},
        {"mov-u8.mov", 32000, 2, zero, "raw "},
        {"mov-s16be-stereo-front.mov", 44100, 2, zero, "twos"},
        // An unknown code, in tables of one uncompressed frame per sample.
        {"mov-s16be-mono.mov", 48000, 1, kUnknownCode, "twos"},
    };
    for (const auto& row : files) {
        const std::string original = mediaFixture(row.name);
        const std::string path =
            row.code.empty() ? original : file(withSoundCode(fileBytes(original), row.from, row.code));
        ASSERT_EQ(unwrapFile(path, wav), 0) << row.name << " " << row.code;
        const Sound sound = readShorts(wav);
        EXPECT_EQ(sound.info.samplerate, row.rate) << row.name;
        EXPECT_EQ(sound.info.channels, row.channels) << row.name;
        EXPECT_EQ(sound.samples, ffmpegDecodeRounded(original)) << row.name << " " << row.code;
    }
    // Interleaved with video, the sound comes in many chunks and runs.
    EXPECT_GT(soundChunks(mediaFixture("mov-s16be-video.mov")), 50u);
}

TEST_F(Mp4FilesTest, ExtractUnwrapsAnMp4ThatNoBackEndReadsAndResamplesIt)
{
    const std::string original = mediaFixture("mov-s16be-video.mov");
    const std::string input = file(withSoundCode(fileBytes(original), "twos", kUnknownCode), "take.MP4");
    // FFmpeg has no decoder for the sound, so every back end that decodes
    // through it fails, and the chain reaches the unwrapper.
    EXPECT_THROW(ffmpegDecode(input), std::runtime_error);

    const std::string output = dir.file("take.wav");
    ASSERT_EQ(Extract(wide(input).c_str(), wide(output).c_str(), nullptr), 0);

    writeShorts(dir.file("decoded.wav"), 48000, 2, ffmpegDecode(original));
    ASSERT_EQ(resampleAudio(wide(dir.file("decoded.wav")).c_str(), wide(dir.file("expected.wav")).c_str(), nullptr), 0);
    EXPECT_EQ(fileBytes(output), fileBytes(dir.file("expected.wav")));
    EXPECT_EQ(readShorts(output + "2.wav").samples, ffmpegDecode(original)); // the intermediate stays
    const std::string all = log.joined();
    EXPECT_NE(all.find("ZUK: Could not extract audio. \nZUK:  Trying MP4 unwrapper\n"), std::string::npos) << all;
    EXPECT_NE(all.find("Finished\nZUK:Resampling audio file\n"), std::string::npos) << all;
}

TEST_F(Mp4FilesTest, ExtractTriesTheUnwrapperForMp4InputsOnly)
{
    const std::string bytes = withSoundCode(fileBytes(mediaFixture("mov-s16be-mono.mov")), "twos", kUnknownCode);
    EXPECT_EQ(Extract(wide(file(bytes, "take.mov")).c_str(), wide(dir.file("a.wav")).c_str(), nullptr), -4);
    EXPECT_EQ(log.joined().find("Trying MP4 unwrapper"), std::string::npos);

    // An ".mp4" the unwrapper cannot read either: its failure is the result.
    const std::string noMovie = file(kFtyp + box("mdat", samples16({1, 2, 3})), "empty.mp4");
    EXPECT_EQ(Extract(wide(noMovie).c_str(), wide(dir.file("b.wav")).c_str(), nullptr), -1);
    EXPECT_NE(log.joined().find("No Movie Found \nZUK:Error resampling\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.wav")));

    // One that is not there at all.
    EXPECT_EQ(Extract(wide(dir.file("gone.mp4")).c_str(), wide(dir.file("c.wav")).c_str(), nullptr), -4);
    EXPECT_EQ(log.pieces().back(), "ZUK: Could not open MP4 file with ifstream\n");
}

TEST_F(Mp4FilesTest, HostsChooseWhereTheBoxDiagnosticsGo)
{
    const std::string input =
        file(withSoundCode(fileBytes(mediaFixture("mov-s16be-mono.mov")), "twos", kUnknownCode), "a.mp4");
    std::unique_ptr<FILE, int (*)(FILE*)> text(std::tmpfile(), std::fclose);
    ASSERT_TRUE(text);
    zuk_set_mp4_diagnostics(text.get());
    ASSERT_EQ(Extract(wide(input).c_str(), wide(dir.file("a.wav")).c_str(), nullptr), 0);
    zuk_set_mp4_diagnostics(nullptr);
    ASSERT_EQ(Extract(wide(input).c_str(), wide(dir.file("b.wav")).c_str(), nullptr), 0);

    std::string written(size_t(std::ftell(text.get())), '\0');
    std::rewind(text.get());
    ASSERT_EQ(std::fread(written.data(), 1, written.size(), text.get()), written.size());
    const size_t movie = written.find("moovBox getBoxData \n");
    ASSERT_NE(movie, std::string::npos);
    EXPECT_EQ(movie, written.rfind("moovBox getBoxData \n")) << "only the first run writes there";
    EXPECT_NE(written.find("Found stco Box, parsing\n"), std::string::npos);
}
