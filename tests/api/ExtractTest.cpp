// Extract: routing by extension, the chain of back ends and its order, the log
// of each path, and locations given as file URLs.
#include "mts/TsBuilder.h"
#include "support/FakeSiblings.h"
#include "support/LogCapture.h"
#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>
#include <vector>

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
const std::string kAviMade = "Avi file created, changing input name to avi file\n";
const std::string kFallThrough = "Falling through to regular extraction\n";

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
        if ((piece.starts_with("ZUK:") && !fromDecoder(piece)) || piece == kProbe || piece == kAviMade ||
            piece == kFallThrough)
            lines.push_back(piece);
    return lines;
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

    int32_t extract(const std::string& input, const std::string& output)
    {
        return Extract(wide(input).c_str(), wide(output).c_str(), nullptr);
    }
};

} // namespace

// Each row: the back ends offered and what they are told, the input, and
// what the driver returns, the last lines it logs, and what it asks of the
// back ends.
TEST_F(ExtractTest, RoutesByExtensionThroughTheChainOfBackEnds)
{
    struct Route {
        std::vector<std::string> siblings;
        std::vector<std::pair<std::string, std::string>> settings;
        std::string input;
        std::string output;
        int32_t result;
        Lines lines;
        std::optional<Lines> calls; // the back ends' calls, loads left out
    };
    const std::string made = soundFile("made.wav", 480, 48000, 1);
    const std::string decoded = soundFile("decoded.wav", 4800, 48000, 1);
    const std::string out = dir.file("out.wav");
    const std::string noFolder = dir.file("no-folder/out.wav");
    std::filesystem::create_directories(dir.path() / "a.b");
    for (const std::string name :
        {"clip.wav", "clip.WAV", "clip.wave", "clip.flac.wave", "a.b/clip", "a.b/clip two.wave"})
        soundFile(name);
    std::ofstream(dir.file("text.wav")) << "not a sound file";
    const std::string r3d = "file://" + dir.file("take%20one.R3D"); // as hosts escape spaces
    const std::string mov = dir.file("take.mov");
    const std::string mp3 = dir.file("song.mp3");
    const std::string mpeg = mediaFixture("mpeg-ps.mpg");
    std::filesystem::copy_file(mediaFixture("video-only.mp4"), dir.file("silent.MPEG"));
    const Lines all{"quicktime", "dornalt", "vostrin"};
    const Lines qt{"quicktime", "dornalt"};
    const Lines start{kEnter, "ZUK:  \n", kEnterCore};
    const Lines chain{kEnter, "ZUK:  \n", kEnterCore, kProbe, kQtax, kDsax, kMfax, kProbe, kGiveUp};
    const std::string qtax = "dornalt\tQtax_Extraction\t";
    const std::string mfax = "vostrin\tmfax_ExtractAudio\t" + mov + "\t" + mov + "temp1";
    const std::vector<Route> routes{
        // .wav in any case is resampled, without a fallback.
        {all, {}, dir.file("clip.WAV"), out, 0, start, Lines{}},
        {all, {{"DORNALT_WAV", made}}, dir.file("text.wav"), out, -1, start, Lines{}},
        // Any other sound file is found by its bytes, wherever it lies.
        {qt, {}, dir.file("clip.wave"), out, 0,
            {kEnter, "ZUK:  \n", kEnterCore, kProbe, "ZUK: Is sound file.  Beginning Resampling. \n",
                "ZUK: Resample success. \n"},
            Lines{}},
        {qt, {}, dir.file("clip.flac.wave"), noFolder, -1, {"ZUK: Resample failed. \n"}, Lines{}},
        // File URLs name files in both places.
        {{}, {}, "file://" + dir.file("a.b/clip%20two.wave"), "file://" + out, 0, {"ZUK: Resample success. \n"}, {}},
        {{}, {}, dir.file("a.b/clip"), out, 0, {"ZUK: Resample success. \n"}, {}},
        // .mp3 and .aif(f) go to QuickTime alone, and its result is the answer.
        {all, {{"DORNALT_WAV", made}}, mp3, out, 0, {}, Lines{qtax + mp3 + "\t" + out}},
        {all, {{"DORNALT_WAV", made}, {"DORNALT_RESULT", "-5"}}, dir.file("tone.AIFF"), out, -5, {}, {}},
        {{"vostrin"}, {}, mp3, out, -1, start, Lines{}},
        {qt, {}, mp3, out, -4, {"ZUK: Error. Extraction reported success but no file found\n"}, {}},
        // R3D gets the caller's location as given; only its 0 is success.
        {{"lurrow"}, {{"LURROW_WAV", made}}, r3d, out, 0, {}, Lines{"lurrow\tresampleR3DAudio\t" + r3d + "\t" + out}},
        {{"lurrow"}, {{"LURROW_WAV", made}, {"LURROW_RESULT", "3"}}, r3d, out, -4, {}, {}},
        {{}, {}, r3d, out, -4, {}, {}},
        // Other media: QuickTime, the decoder, Media Foundation, in that order.
        {all, {{"DORNALT_RESULT", "-1"}, {"VOSTRIN_WAV", decoded}, {"VOSTRIN_RATE", "25/1"}}, mov, out, 0,
            {kEnter, "ZUK:  \n", kEnterCore, kProbe, kQtax, kDsax, kMfax, kProbe, kSuccess},
            Lines{qtax + mov + "\t" + out, mfax, "vostrin\tmfax_GetFrameRate\t" + mov}},
        {all, {{"DORNALT_WAV", made}, {"DORNALT_RESULT", "2"}}, mov, out, 2, {kSuccess},
            Lines{qtax + mov + "\t" + out}},
        {all, {{"DORNALT_RESULT", "-7"}}, mov, out, -7, {kQtax}, Lines{qtax + mov + "\t" + out}},
        {{}, {}, mov, out, -4, chain, Lines{}},
        {{}, {}, dir.file("a.b/nothing"), out, -4, chain, {}},
        {{}, {}, "", out, -4, {kGiveUp}, {}},
        {{}, {}, "http://example.com/clip.mov", out, -4, {kGiveUp}, {}},
        // MPEG program streams are read through an AVI of their sound, which holds
        // no video: the WAV is not padded. Without sound they stop at that step.
        {{}, {}, mpeg, out, ZUK_OK_UNPADDED, {kAviMade, kFallThrough, kProbe, kQtax, kDsax, kSuccess}, Lines{}},
        {all, {}, dir.file("silent.MPEG"), out, -4, start, Lines{}},
    };
    for (const Route& route : routes) {
        const std::string what = route.input + " > " + route.output;
        FakeSiblings fakes(route.siblings);
        for (const auto& [name, value] : route.settings)
            fakes.set(name, value);
        log.captured.pieces.clear();
        std::filesystem::remove(out);
        EXPECT_EQ(extract(route.input, route.output), route.result) << what;
        const Lines lines = driverLines(log);
        ASSERT_GE(lines.size(), route.lines.size()) << what;
        EXPECT_EQ(Lines(lines.end() - static_cast<ptrdiff_t>(route.lines.size()), lines.end()), route.lines) << what;
        if (route.calls) {
            Lines calls;
            for (const std::string& line : fakes.calls())
                if (!line.ends_with("loaded"))
                    calls.push_back(line);
            EXPECT_EQ(calls, *route.calls) << what;
        }
        if (route.lines == chain) {
            EXPECT_FALSE(std::filesystem::exists(out)) << what;
        }
        if (route.result == 0 && route.input != r3d && route.input != mp3) {
            EXPECT_EQ(readShorts(out).info.samplerate, 48000) << what;
        }
    }
}

// A sound an earlier run left where a failing call writes must neither pass
// for this input's sound nor stay to pass for a later call's.
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
        {"take.mov", "", "take.movtemp1", {"vostrin"}, -4},
        {"take.mpg", "no program stream", "out.wav.avi", {}, -4},
        {"clip.mp4", "no movie", "out.wav2.wav", {}, -1},
        {"noise.m2t", bytes(zuktest::mts::undecodableAudio()), "out.wav.avi", {}, -2},
        {"video.m2t", bytes(zuktest::mts::payloadPacket(0x100, true, {0, 0, 1, 0xE0, 0, 0, 0x80, 0, 0})), "out.wav.mp2",
            {}, -1},
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
}

TEST_F(ExtractTest, LocationsThatNameNoFile)
{
    const std::u16string output = wide(dir.file("out.wav"));
    EXPECT_EQ(Extract(nullptr, output.c_str(), nullptr), -1);
    EXPECT_EQ(Extract(output.c_str(), nullptr, nullptr), -1);
    log.captured.pieces.clear();
    EXPECT_EQ(Extract_DotNet(nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(log.joined().rfind("ZUK: Entered Audio Extract_DotNet\n", 0), 0u);
    const std::u16string loneSurrogate = wide(dir.file("clip")) + u'\xD800' + u".wav";
    EXPECT_EQ(Extract(loneSurrogate.c_str(), output.c_str(), nullptr), -1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.wav")));
}

// Extractions on several threads share the library's state (COM, the decoders, the log): each must
// give what it gives alone.
TEST_F(ExtractTest, ManyCallsAtOnceGiveWhatOneAfterAnotherGives)
{
    const std::vector<std::string> inputs{soundFile("in.wav", 20000), mediaFixture("mov-aac.mov"),
        mediaFixture("mkv-vorbis.mkv"), mediaFixture("avi-pcm.avi"), mediaFixture("mpeg-ps.mpg")};
    const auto outputOf = [&](const char* kind, size_t i) { return dir.file(kind + std::to_string(i) + ".wav"); };
    std::vector<int32_t> alone, together(inputs.size(), 99);
    for (size_t i = 0; i < inputs.size(); ++i)
        alone.push_back(extract(inputs[i], outputOf("alone", i)));
    std::vector<std::thread> threads;
    for (size_t i = 0; i < inputs.size(); ++i)
        threads.emplace_back([&, i] { together[i] = extract(inputs[i], outputOf("together", i)); });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(together, alone);
    for (size_t i = 0; i < inputs.size(); ++i)
        EXPECT_TRUE(alone[i] >= 0 && fileBytes(outputOf("together", i)) == fileBytes(outputOf("alone", i)))
            << inputs[i];
}
