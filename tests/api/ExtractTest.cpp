// Extract: routing by extension, the chain of back ends and its order, the log
// of each path, locations given as file URLs, and calls from many threads.
#include "mts/TsBuilder.h"
#include "support/FakeSiblings.h"
#include "support/LogCapture.h"
#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <thread>

using namespace zuktest;

namespace {

using Lines = std::vector<std::string>;

const std::string kEnter = "ZUK: Entered Audio Extract\n";
const std::string kEnterCore = "ZUK: Entered Audio Extract_core command \n";
const std::string kProbe = "attempting to open audio File\n";
const std::string kQtax = "ZUK: Attempting to use qtax. \n";
const std::string kDsax = "ZUK: Attempting to use dsax. \n";
const std::string kMfax = "ZUK: Attempting to use mfax. \n";
const std::string kSuccess = "ZUK: Extraction success. \n";
const std::string kGiveUp = "ZUK: Could not extract audio. \n";

// The log lines that name what the driver did, in order (the back ends' own
// lines, such as QuickTime's check or the decoder's filter lists, left out).
Lines driverLines(const CapturingSink& log)
{
    const auto fromDecoder = [](const std::string& piece) {
        return piece.starts_with("ZUK: Filter") || piece.starts_with("ZUK: Failed to create dsax") ||
               piece.starts_with("ZUK:Skipping");
    };
    Lines lines;
    for (const std::string& piece : log.pieces())
        if ((piece.starts_with("ZUK:") && !fromDecoder(piece)) || piece == kProbe)
            lines.push_back(piece);
    return lines;
}

// "file://" and the path with its spaces escaped, as hosts build file URLs.
std::string fileUrl(const std::string& path)
{
    std::string url = "file://";
    for (const char c : path)
        url += c == ' ' ? std::string("%20") : std::string(1, c);
    return url;
}

struct ExtractTest : ::testing::Test {
    TempDir dir;
    CapturingSink log;

    std::string soundFile(const std::string& name, int64_t frames = 4410, int rate = 44100, int channels = 2)
    {
        const std::string path = dir.file(name);
        writeShorts(path, rate, channels, testSignal(frames, channels, rate));
        return path;
    }

    // What the resampler alone makes of `input`.
    std::string resampled(const std::string& input)
    {
        const std::string output = dir.file("resampled.wav");
        EXPECT_EQ(resampleAudio(wide(input).c_str(), wide(output).c_str(), nullptr), 0);
        return fileBytes(output);
    }

    int32_t extract(const std::string& input, const std::string& output)
    {
        return Extract(wide(input).c_str(), wide(output).c_str(), nullptr);
    }
};

} // namespace

TEST_F(ExtractTest, WavInAnyCaseIsResampledAndNothingElseIsTried)
{
    FakeSiblings fakes{"quicktime", "dornalt", "vostrin"};
    for (const std::string name : {"clip.wav", "clip.WAV", "clip.Wav"}) {
        log.captured.pieces.clear();
        const std::string output = dir.file(name + ".out");
        ASSERT_EQ(extract(soundFile(name), output), 0) << name;
        EXPECT_EQ(fileBytes(output), resampled(dir.file(name)));
        EXPECT_EQ(driverLines(log), (Lines{kEnter, "ZUK:  \n", kEnterCore}));
    }
    EXPECT_TRUE(fakes.calls().empty());
}

TEST_F(ExtractTest, WavRouteHasNoFallback)
{
    FakeSiblings fakes{"quicktime", "dornalt", "vostrin"};
    fakes.set("DORNALT_WAV", soundFile("made.wav"));
    std::ofstream(dir.file("text.wav")) << "not a sound file";
    EXPECT_EQ(extract(dir.file("text.wav"), dir.file("out.wav")), -1);
    EXPECT_TRUE(fakes.calls().empty());
    EXPECT_EQ(extract(soundFile("clip.wav"), dir.file("no-folder/out.wav")), -1);
}

TEST_F(ExtractTest, WaveIsNotWavButASoundFileAllTheSame)
{
    FakeSiblings fakes{"quicktime", "dornalt"};
    const std::string output = dir.file("out.wav");
    ASSERT_EQ(extract(soundFile("clip.wave"), output), 0);
    EXPECT_EQ(driverLines(log), (Lines{kEnter, "ZUK:  \n", kEnterCore, kProbe,
                                       "ZUK: Is sound file.  Beginning Resampling. \n", "ZUK: Resample success. \n"}));
    EXPECT_EQ(readShorts(output).info.samplerate, 48000);
    EXPECT_TRUE(fakes.calls().empty());
}

TEST_F(ExtractTest, ASoundFileThatCannotBeWrittenEndsTheChain)
{
    FakeSiblings fakes{"quicktime", "dornalt"};
    EXPECT_EQ(extract(soundFile("clip.flac.wave"), dir.file("no-folder/out.wav")), -1);
    EXPECT_EQ(driverLines(log).back(), "ZUK: Resample failed. \n");
    EXPECT_TRUE(fakes.calls().empty());
}

TEST_F(ExtractTest, QuickTimeExtensionsGoToQuickTimeOnly)
{
    FakeSiblings fakes{"quicktime", "dornalt", "vostrin"};
    const std::string made = soundFile("made.wav", 480, 48000, 1);
    fakes.set("DORNALT_WAV", made);
    for (const std::string name : {"song.mp3", "song.MP3", "tone.aif", "tone.AIFF", "tone.aiff"}) {
        log.captured.pieces.clear();
        const std::string output = dir.file(name + ".wav");
        fakes.set("DORNALT_RESULT", "0");
        EXPECT_EQ(extract(dir.file(name), output), 0) << name;
        EXPECT_EQ(fileBytes(output), fileBytes(made));
        fakes.set("DORNALT_RESULT", "-5");
        EXPECT_EQ(extract(dir.file(name), output), -5) << name;
        EXPECT_EQ(std::count(log.pieces().begin(), log.pieces().end(), kQtax), 0);
    }
    EXPECT_TRUE(fakes.callsOf("vostrin").empty());
}

TEST_F(ExtractTest, Mp3WithoutQuickTimeFailsAtOnce)
{
    FakeSiblings fakes{"vostrin"};
    EXPECT_EQ(extract(dir.file("song.mp3"), dir.file("out.wav")), -1);
    EXPECT_TRUE(fakes.calls().empty());
    EXPECT_EQ(driverLines(log), (Lines{kEnter, "ZUK:  \n", kEnterCore}));
}

TEST_F(ExtractTest, R3dGetsTheCallersLocationsAndOnlyZeroIsSuccess)
{
    FakeSiblings fakes{"lurrow"};
    const std::string made = soundFile("made.wav", 480, 48000, 1);
    fakes.set("LURROW_WAV", made);
    const std::string input = fileUrl(dir.file("take one.R3D"));
    const std::string output = dir.file("out.wav");
    EXPECT_EQ(extract(input, output), 0);
    EXPECT_EQ(fakes.callsOf("lurrow")[1], "lurrow\tresampleR3DAudio\t" + input + "\t" + output)
        << "the R3D back end takes the locations as the caller gave them";
    fakes.set("LURROW_RESULT", "3");
    EXPECT_EQ(extract(input, output), -4);
    FakeSiblings none{};
    EXPECT_EQ(extract(input, output), -4);
}

TEST_F(ExtractTest, ChainTriesQuickTimeThenTheDecoderThenMediaFoundation)
{
    FakeSiblings fakes{"quicktime", "dornalt", "vostrin"};
    fakes.set("DORNALT_RESULT", "-1");
    fakes.set("VOSTRIN_WAV", soundFile("decoded.wav", 4800, 48000, 1));
    fakes.set("VOSTRIN_RATE", "25/1");
    const std::string input = dir.file("take.mov");
    const std::string output = dir.file("take.wav");
    ASSERT_EQ(extract(input, output), 0);
    EXPECT_EQ(driverLines(log),
              (Lines{kEnter, "ZUK:  \n", kEnterCore, kProbe, kQtax, kDsax, kMfax, kProbe, kSuccess}));
    Lines calls;
    for (const std::string& line : fakes.calls())
        if (!line.ends_with("loaded"))
            calls.push_back(line);
    EXPECT_EQ(calls, (Lines{"dornalt\tQtax_Extraction\t" + input + "\t" + output,
                            "vostrin\tmfax_ExtractAudio\t" + input + "\t" + input + "temp1",
                            "vostrin\tmfax_GetFrameRate\t" + input}));
    EXPECT_EQ(readShorts(output).frames(), 5760) << "0.1 s padded to three frames at 25 per second";
}

TEST_F(ExtractTest, ChainStopsAtTheFirstSuccessAndPassesItsCodeOn)
{
    FakeSiblings fakes{"quicktime", "dornalt", "vostrin"};
    fakes.set("DORNALT_WAV", soundFile("made.wav", 480, 48000, 1));
    fakes.set("DORNALT_RESULT", "2");
    EXPECT_EQ(extract(dir.file("take.mov"), dir.file("out.wav")), 2);
    EXPECT_EQ(driverLines(log).back(), kSuccess);
    EXPECT_TRUE(fakes.callsOf("vostrin").empty());
}

TEST_F(ExtractTest, OutputThatCannotBeWrittenStopsTheChainAfterQuickTime)
{
    FakeSiblings fakes{"quicktime", "dornalt", "vostrin"};
    fakes.set("DORNALT_RESULT", "-7");
    EXPECT_EQ(extract(dir.file("take.mov"), dir.file("out.wav")), -7);
    EXPECT_EQ(driverLines(log).back(), kQtax);
    EXPECT_TRUE(fakes.callsOf("vostrin").empty());
}

TEST_F(ExtractTest, MediaFoundationFailuresAllLeadToTheEnd)
{
    FakeSiblings fakes{"quicktime", "dornalt", "vostrin"};
    fakes.set("DORNALT_RESULT", "-3");
    for (const std::string result : {"-7", "-1"}) {
        log.captured.pieces.clear();
        fakes.set("VOSTRIN_RESULT", result);
        EXPECT_EQ(extract(dir.file("take.mov"), dir.file("out.wav")), -4) << result;
        EXPECT_EQ(driverLines(log).back(), kGiveUp);
    }
}

TEST_F(ExtractTest, WithoutBackEndsEveryMediaFileEndsAtTheChainsEnd)
{
    FakeSiblings fakes{};
    std::filesystem::create_directories(dir.path() / "a.b");
    for (const std::string name : {"take.mov", "noextension", "a.b/clip"}) {
        log.captured.pieces.clear();
        EXPECT_EQ(extract(dir.file(name), dir.file("out.wav")), -4) << name;
        EXPECT_EQ(driverLines(log),
                  (Lines{kEnter, "ZUK:  \n", kEnterCore, kProbe, kQtax, kDsax, kMfax, kProbe, kGiveUp}));
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.wav")));
}

TEST_F(ExtractTest, ASoundFileInAFolderWithADotIsStillFound)
{
    std::filesystem::create_directories(dir.path() / "a.b");
    const std::string input = soundFile("a.b/clip");
    ASSERT_EQ(extract(input, dir.file("out.wav")), 0);
    EXPECT_EQ(readShorts(dir.file("out.wav")).info.samplerate, 48000);
}

TEST_F(ExtractTest, SuccessWithoutAnOutputFileIsAFailure)
{
    FakeSiblings fakes{"quicktime", "dornalt"};
    EXPECT_EQ(extract(dir.file("song.mp3"), dir.file("out.wav")), -4);
    EXPECT_EQ(log.pieces().back(), "ZUK: Error. Extraction reported success but no file found\n");
    EXPECT_EQ(extract(dir.file("take.mov"), dir.file("out.wav")), -4);
}

// A sound an earlier run left where this call writes, before a call whose
// step fails or writes nothing: it must neither pass for this input's sound
// nor stay to pass for a later call's.
TEST_F(ExtractTest, NothingAnEarlierRunLeftIsTakenForThisCallsSound)
{
    struct Case {
        std::string input;
        std::string content; // empty: no such file
        std::string stale;
        std::vector<std::string> siblings; // their fakes answer 0 and write nothing
        int32_t result;
    };
    const auto bytes = [](const zuktest::mts::Bytes& stream) { return std::string(stream.begin(), stream.end()); };
    const std::vector<Case> cases{
        {"song.mp3", "", "out.wav", {"quicktime", "dornalt"}, -4},
        {"take.mov", "", "out.wav", {"quicktime", "dornalt"}, -4},
        {"take.mov", "", "take.movtemp1", {"vostrin"}, -4},
        {"take.mpg", "no program stream", "out.wav.avi", {}, -4},
        {"clip.mp4", "no movie", "out.wav2.wav", {}, -1},
        {"noise.m2t", bytes(zuktest::mts::undecodableAudio()), "out.wav.avi", {}, -2},
        {"video.m2t", bytes(zuktest::mts::payloadPacket(0x100, true, {0, 0, 1, 0xE0, 0, 0, 0x80, 0, 0})),
         "out.wav.mp2", {}, -1},
    };
    const std::string earlier = fileBytes(soundFile("earlier.wav", 4800, 48000, 1));
    for (const Case& c : cases) {
        FakeSiblings fakes(c.siblings);
        if (!c.content.empty())
            std::ofstream(dir.file(c.input), std::ios::binary) << c.content;
        std::ofstream(dir.file(c.stale), std::ios::binary) << earlier;
        EXPECT_EQ(extract(dir.file(c.input), dir.file("out.wav")), c.result) << c.stale;
        EXPECT_TRUE(fileBytes(dir.file(c.stale)) != earlier) << c.stale;
        std::filesystem::remove(dir.file(c.stale));
    }

    // A link at the output keeps leading where it did, to a file emptied;
    // a pipe is neither removed nor waited on.
    FakeSiblings fakes{"quicktime", "dornalt"};
    std::ofstream(dir.file("kept.wav"), std::ios::binary) << earlier;
    std::filesystem::create_symlink(dir.file("kept.wav"), dir.file("linked.wav"));
    EXPECT_EQ(extract(dir.file("song.mp3"), dir.file("linked.wav")), -4);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("linked.wav")));
    EXPECT_EQ(fileBytes(dir.file("kept.wav")), "");
    ASSERT_EQ(mkfifo(dir.file("pipe.wav").c_str(), 0600), 0);
    EXPECT_EQ(extract(dir.file("song.mp3"), dir.file("pipe.wav")), 0);
    EXPECT_TRUE(std::filesystem::is_fifo(dir.file("pipe.wav")));
}

TEST_F(ExtractTest, DotNetEntryLogsItsOwnLine)
{
    const std::string output = dir.file("out.wav");
    ASSERT_EQ(Extract_DotNet(wide(soundFile("clip.wav")).c_str(), wide(output).c_str(), nullptr), 0);
    EXPECT_EQ(driverLines(log), (Lines{"ZUK: Entered Audio Extract_DotNet\n", kEnterCore}));
    EXPECT_EQ(fileBytes(output), resampled(dir.file("clip.wav")));
}

TEST_F(ExtractTest, FileUrlsNameTheSameFilesAsPaths)
{
    std::filesystem::create_directories(dir.path() / "Bänd clips");
    const std::string input = soundFile("Bänd clips/tëst tone,1.wav");
    const std::string plain = dir.file("plain.wav");
    ASSERT_EQ(extract(input, plain), 0);

    const std::string fromUrl = dir.file("from url.wav");
    ASSERT_EQ(extract(fileUrl(input), fromUrl), 0);
    EXPECT_EQ(fileBytes(fromUrl), fileBytes(plain));

    // Escaped in every way a host may write them: UTF-8 escapes, %2C for the comma.
    std::string escaped = fileUrl(dir.file("%42%C3%A4nd clips/t%C3%ABst tone%2C1.wav"));
    const std::string toUrl = dir.file("to url.wav");
    ASSERT_EQ(extract(escaped, fileUrl(toUrl)), 0) << "the output given as a URL is checked where it was written";
    EXPECT_EQ(fileBytes(toUrl), fileBytes(plain));
}

TEST_F(ExtractTest, LocationsThatNameNoFile)
{
    const std::u16string output = wide(dir.file("out.wav"));
    EXPECT_EQ(Extract(nullptr, output.c_str(), nullptr), -1);
    EXPECT_EQ(Extract(output.c_str(), nullptr, nullptr), -1);
    EXPECT_EQ(Extract_DotNet(nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(Extract(u"", output.c_str(), nullptr), -4);
    const std::u16string loneSurrogate = wide(dir.file("clip")) + u'\xD800' + u".wav";
    EXPECT_EQ(Extract(loneSurrogate.c_str(), output.c_str(), nullptr), -1);
    EXPECT_EQ(Extract(u"http://example.com/clip.mov", output.c_str(), nullptr), -4);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.wav")));
}

TEST_F(ExtractTest, ProgressReachesTheCaller)
{
    static std::vector<float> seen;
    seen.clear();
    ASSERT_EQ(Extract(wide(soundFile("clip.wav", 44100)).c_str(), wide(dir.file("out.wav")).c_str(),
                      [](float percent) {
                          seen.push_back(percent);
                          return 0;
                      }),
              0);
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_LE(seen.back(), 100.0f);
}

TEST_F(ExtractTest, ManyThreadsAtOnceGiveWhatOneAfterAnotherGives)
{
    constexpr int kFiles = 6;
    std::vector<std::string> inputs;
    for (int i = 0; i < kFiles; ++i)
        inputs.push_back(soundFile("in" + std::to_string(i) + (i % 2 ? ".wav" : ".sound"), 20000 + 1000 * i));
    std::vector<std::string> alone;
    for (int i = 0; i < kFiles; ++i) {
        const std::string output = dir.file("alone" + std::to_string(i) + ".wav");
        ASSERT_EQ(extract(inputs[i], output), 0);
        alone.push_back(fileBytes(output));
    }
    std::vector<int32_t> results(kFiles, 99);
    std::vector<std::thread> threads;
    for (int i = 0; i < kFiles; ++i)
        threads.emplace_back([&, i] {
            results[i] = extract(inputs[i], dir.file("together" + std::to_string(i) + ".wav"));
        });
    for (auto& thread : threads)
        thread.join();
    for (int i = 0; i < kFiles; ++i) {
        EXPECT_EQ(results[i], 0);
        EXPECT_EQ(fileBytes(dir.file("together" + std::to_string(i) + ".wav")), alone[i]) << i;
    }
}

// Media files reach the library's own decoder through the chain; their sound
// comes out as the ffmpeg command line decodes it, every frame of it (AAC and
// Vorbis decode to a little more than the stream's duration), plus silence to
// the end of the last video frame.
struct DecodedMedia {
    const char* fixture;
    int64_t frames;
};

void PrintTo(const DecodedMedia& media, std::ostream* out)
{
    *out << media.fixture;
}

class ExtractMedia : public ExtractTest, public ::testing::WithParamInterface<DecodedMedia> {};

TEST_P(ExtractMedia, MatchesTheReferenceDecodePaddedToWholeVideoFrames)
{
    const std::string input = mediaFixture(GetParam().fixture);
    const std::string output = dir.file("out.wav");
    ASSERT_EQ(extract(input, output), 0);
    EXPECT_NE(std::find(log.pieces().begin(), log.pieces().end(), kDsax), log.pieces().end());

    const Sound written = readShorts(output);
    EXPECT_EQ(written.info.samplerate, 48000);
    EXPECT_EQ(written.info.channels, 1);
    EXPECT_EQ(written.frames(), GetParam().frames);
    const auto reference = ffmpegDecodeAt(input, 48000, 1);
    const size_t common = std::min(reference.size(), written.samples.size());
    EXPECT_GT(correlation(std::vector<int16_t>(written.samples.begin(), written.samples.begin() + common),
                          std::vector<int16_t>(reference.begin(), reference.begin() + common)),
              0.99);
}

INSTANTIATE_TEST_SUITE_P(
    Containers, ExtractMedia,
    ::testing::Values(DecodedMedia{"mov-aac.mov", 145920},    // 144893 frames at 25 fps: 76 frames, 3.04 s
                      DecodedMedia{"mp4-aac.mp4", 145745},    // 144384 at 30000/1001: 91 frames, 3.0363 s
                      DecodedMedia{"mkv-vorbis.mkv", 146146}, // 144405 at 24000/1001: 73 frames, 3.0447 s
                      DecodedMedia{"avi-pcm.avi", 111360}),   // 2.3 s at 25 fps: 58 frames, 2.32 s
    [](const auto& param) { return std::string(param.param.fixture).substr(0, 3); });

TEST_F(ExtractTest, FourMediaFilesAtOnceGiveWhatOneAfterAnotherGives)
{
    const std::vector<std::string> inputs{mediaFixture("mov-aac.mov"), mediaFixture("mkv-vorbis.mkv"),
                                          mediaFixture("avi-pcm.avi"), mediaFixture("mpeg-ps.mpg")};
    std::vector<std::string> alone;
    std::vector<int32_t> aloneResults;
    for (size_t i = 0; i < inputs.size(); ++i) {
        const std::string output = dir.file("alone" + std::to_string(i) + ".wav");
        aloneResults.push_back(extract(inputs[i], output));
        ASSERT_GE(aloneResults.back(), 0) << inputs[i];
        alone.push_back(fileBytes(output));
    }
    std::vector<int32_t> results(inputs.size(), 99);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < inputs.size(); ++i)
        threads.emplace_back([&, i] { results[i] = extract(inputs[i], dir.file("together" + std::to_string(i) + ".wav")); });
    for (auto& thread : threads)
        thread.join();
    for (size_t i = 0; i < inputs.size(); ++i) {
        EXPECT_EQ(results[i], aloneResults[i]) << inputs[i];
        EXPECT_EQ(fileBytes(dir.file("together" + std::to_string(i) + ".wav")), alone[i]) << inputs[i];
    }
}
