// Files made by the ffmpeg command line: the unwrapper's WAV holds exactly
// what ffmpeg decodes from them; Extract reaches the unwrapper for an ".mp4"
// that no other back end reads; the command line's mp4 commands.
#include "Mp4Builder.h"
#include "Mp4Test.h"
#include "mp4/AudioTrack.h"
#include "mp4/TopLevel.h"
#include "platform/media/ffmpeg/MediaProbe.h"
#include "support/MediaFixtures.h"

#include <sys/wait.h>

#include <cstdlib>

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

// `original` with the count of every chunk offset table in its movie box set
// far beyond what the table holds: FFmpeg gives up on allocating such a
// table, while the unwrapper reads the rows present.
std::string withOverstatedChunkCounts(std::string original)
{
    for (size_t at = original.find("stco", original.rfind("moov")); at != std::string::npos;
         at = original.find("stco", at + 4))
        original.replace(at + 8, 4, be32(0xFFFFFFFF));
    return original;
}

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome runZuk(const TempDir& dir, const std::string& arguments)
{
    const std::string command = std::string("'") + ZUK_CLI + "' " + arguments + " >'" + dir.file("stdout") +
                                "' 2>'" + dir.file("stderr") + "' </dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, fileBytes(dir.file("stdout")), fileBytes(dir.file("stderr"))};
}

} // namespace

TEST_F(Mp4FilesTest, UncompressedSoundIsCopiedExactlyAsFfmpegDecodesIt)
{
    const struct {
        const char* name;
        int rate;
        int channels;
    } files[] = {
        {"mov-s16be-mono.mov", 48000, 1}, {"mov-s16be-stereo-front.mov", 44100, 2},
        {"mov-s16be-video.mov", 48000, 2}, {"mov-s16le.mov", 32000, 2},
        {"mov-s24be.mov", 32000, 2},       {"mov-s24le.mov", 32000, 2},
        {"mov-s32be.mov", 32000, 2},       {"mov-s32le.mov", 32000, 2},
        {"mov-s8.mov", 32000, 2},          {"mov-u8.mov", 32000, 2},
    };
    for (const auto& file : files) {
        const std::string path = mediaFixture(file.name);
        ASSERT_EQ(unwrapFile(path, wav), 0) << file.name;
        const Sound sound = readShorts(wav);
        EXPECT_EQ(sound.info.samplerate, file.rate) << file.name;
        EXPECT_EQ(sound.info.channels, file.channels) << file.name;
        EXPECT_EQ(sound.samples, ffmpegDecode(path)) << file.name;
    }
    // Interleaved with video, the sound comes in many chunks and runs.
    EXPECT_GT(soundChunks(mediaFixture("mov-s16be-video.mov")), 50u);
}

TEST_F(Mp4FilesTest, ExtractUnwrapsAnMp4ThatNoBackEndReadsAndResamplesIt)
{
    const std::string original = mediaFixture("mov-s16be-video.mov");
    const std::string input = file(withOverstatedChunkCounts(fileBytes(original)), "take.MP4");
    // The media layer, and so every back end that decodes through it, must
    // refuse the file for the chain to reach the unwrapper.
    zuk::media::OpenError why = zuk::media::OpenError::None;
    EXPECT_FALSE(zuk::media::probeMedia(input, why));
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
    const std::string bytes = withOverstatedChunkCounts(fileBytes(mediaFixture("mov-s16be-mono.mov")));
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

TEST_F(Mp4FilesTest, TheCommandLineDumpsTheTreeAndUnwrapsTheSound)
{
    const std::string path = mediaFixture("mov-s16be-stereo-front.mov");
    const Outcome dump = runZuk(dir, "mp4-dump '" + path + "'");
    EXPECT_EQ(dump.status, 0) << dump.err;
    EXPECT_NE(dump.out.find("Code :ftyp\n"), std::string::npos);
    EXPECT_NE(dump.out.find("Boxes contained in moovBox:\n"), std::string::npos);
    EXPECT_NE(dump.out.find("handler_type :soun\n"), std::string::npos);
    EXPECT_EQ(dump.out.find("MP4Box: int getBoxData"), std::string::npos) << "the parse commentary is for --verbose";

    const Outcome unwrapped = runZuk(dir, "mp4-unwrap '" + path + "' '" + wav + "'");
    EXPECT_EQ(unwrapped.status, 0) << unwrapped.err;
    EXPECT_EQ(readShorts(wav).samples, ffmpegDecode(path));

    const std::string noMovie = file(kFtyp, "nothing.mp4");
    EXPECT_EQ(runZuk(dir, "mp4-dump '" + noMovie + "'").status, 1);
    const Outcome failed = runZuk(dir, "mp4-unwrap '" + noMovie + "' '" + dir.file("x.wav") + "' --verbose");
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.err.find("No Movie Found"), std::string::npos) << failed.err;
}

TEST_F(Mp4FilesTest, HostsChooseWhereTheBoxDiagnosticsGo)
{
    const std::string input = file(withOverstatedChunkCounts(fileBytes(mediaFixture("mov-s16be-mono.mov"))), "a.mp4");
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
