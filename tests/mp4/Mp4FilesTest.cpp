// Files made by the ffmpeg command line: the unwrapper's WAV holds what ffmpeg
// decodes from them, rounded to 16 bits; Extract reaches the unwrapper for an
// ".mp4" that no other back end reads.
#include "Mp4Builder.h"
#include "support/MediaFixtures.h"

#include <algorithm>
#include <cmath>

using namespace zuktest;
using namespace zuktest::mp4;

namespace {

using Mp4FilesTest = Mp4Test;

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

// The unspecified and unknown format codes are the format table's; an
// unknown one in real tables is in the Extract test below.
TEST_F(Mp4FilesTest, UncompressedSoundIsCopiedAsFfmpegDecodesIt)
{
    const struct {
        const char* name;
        int rate;
        int channels;
    } files[] = {
        {"mov-s16be-mono.mov", 48000, 1},
        {"mov-s16be-stereo-front.mov", 44100, 2},
        {"mov-s16le.mov", 32000, 2},
        {"mov-s24be.mov", 32000, 2},
        {"mov-s24le.mov", 32000, 2},
        {"mov-s32be.mov", 32000, 2},
        {"mov-s32le.mov", 32000, 2},
        {"mov-s8.mov", 32000, 2},
        {"mov-u8.mov", 32000, 2},
    };
    for (const auto& row : files) {
        const std::string path = mediaFixture(row.name);
        ASSERT_EQ(unwrapFile(path, wav), 0) << row.name;
        const Sound sound = readShorts(wav);
        EXPECT_EQ(sound.info.samplerate, row.rate) << row.name;
        EXPECT_EQ(sound.info.channels, row.channels) << row.name;
        EXPECT_EQ(sound.samples, ffmpegDecodeRounded(path)) << row.name;
    }
}

// Hosts choose where the box diagnostics go, and may switch them off again.
TEST_F(Mp4FilesTest, ExtractUnwrapsAnMp4ThatNoBackEndReadsAndResamplesIt)
{
    const std::string original = mediaFixture("mov-s16be-video.mov");
    const std::string input = file(withSoundCode(fileBytes(original), "twos", kUnknownCode), "take.MP4");
    // FFmpeg has no decoder for the sound, so every back end that decodes
    // through it fails, and the chain reaches the unwrapper.
    EXPECT_THROW(ffmpegDecode(input), std::runtime_error);

    const std::string output = dir.file("take.wav");
    std::unique_ptr<FILE, int (*)(FILE*)> text(std::tmpfile(), std::fclose);
    ASSERT_TRUE(text);
    zuk_set_mp4_diagnostics(text.get());
    ASSERT_EQ(Extract(wide(input).c_str(), wide(output).c_str(), nullptr), 0);
    zuk_set_mp4_diagnostics(nullptr);
    ASSERT_EQ(Extract(wide(input).c_str(), wide(dir.file("again.wav")).c_str(), nullptr), 0);
    std::string written(size_t(std::ftell(text.get())), '\0');
    std::rewind(text.get());
    ASSERT_EQ(std::fread(written.data(), 1, written.size(), text.get()), written.size());
    EXPECT_NE(written.find("Found stco Box, parsing\n"), std::string::npos);
    EXPECT_EQ(written.find("moovBox getBoxData \n"), written.rfind("moovBox getBoxData \n")) << "one run's";

    writeShorts(dir.file("decoded.wav"), 48000, 2, ffmpegDecode(original));
    ASSERT_EQ(resampleAudio(wide(dir.file("decoded.wav")).c_str(), wide(dir.file("expected.wav")).c_str(), nullptr), 0);
    EXPECT_EQ(fileBytes(output), fileBytes(dir.file("expected.wav")));
    EXPECT_EQ(readShorts(output + "2.wav").samples, ffmpegDecode(original)); // the intermediate stays
    const std::string all = log.joined();
    EXPECT_NE(all.find("ZUK: Could not extract audio. \nZUK:  Trying MP4 unwrapper\n"), std::string::npos) << all;
    EXPECT_NE(all.find("Finished\nZUK:Resampling audio file\n"), std::string::npos) << all;
}

// Where the unwrapper cannot read an ".mp4" either, its failure is the result.
TEST_F(Mp4FilesTest, ExtractTriesTheUnwrapperForMp4InputsOnly)
{
    const struct {
        const char* name;
        std::string bytes; // empty: no such file
        int32_t result;
        const char* logged;
    } rows[] = {
        {"take.mov", withSoundCode(fileBytes(mediaFixture("mov-s16be-mono.mov")), "twos", kUnknownCode), -4,
            "ZUK: Could not extract audio. \n"},
        {"empty.mp4", kFtyp + box("mdat", samples16({1, 2, 3})), -1, "No Movie Found \nZUK:Error resampling\n"},
        {"gone.mp4", "", -4, "ZUK:  Trying MP4 unwrapper\nZUK: Could not open MP4 file with ifstream\n"},
    };
    for (const auto& row : rows) {
        log.captured.pieces.clear();
        const std::string input = row.bytes.empty() ? dir.file(row.name) : file(row.bytes, row.name);
        EXPECT_EQ(Extract(wide(input).c_str(), wide(wav).c_str(), nullptr), row.result) << row.name;
        EXPECT_NE(log.joined().find(row.logged), std::string::npos) << row.name;
        EXPECT_EQ(log.joined().find("Trying MP4 unwrapper") != std::string::npos, row.name != std::string("take.mov"));
        EXPECT_FALSE(std::filesystem::exists(wav)) << row.name;
    }
}
