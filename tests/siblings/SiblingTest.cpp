// The optional back ends: loaded by name, called, and unloaded on every path;
// missing ones are ordinary failure codes.
#include "platform/SystemVersion.h"
#include "support/FakeSiblings.h"
#include "support/LogCapture.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <filesystem>
#include <map>
#include <optional>

using namespace zuktest;

namespace {

using Lines = std::vector<std::string>;

std::atomic<int> progressCalls{0};
std::vector<float> progressSeen;

int recordProgress(float percent)
{
    ++progressCalls;
    progressSeen.push_back(percent);
    return 0;
}

// Counts loads and unloads per library in the fakes' call log.
void expectEveryLoadUnloaded(const FakeSiblings& fakes)
{
    std::map<std::string, int> open;
    for (const std::string& line : fakes.calls()) {
        const std::string library = line.substr(0, line.find('\t'));
        if (line.ends_with("\tloaded"))
            ++open[library];
        else if (line.ends_with("\tunloaded"))
            --open[library];
    }
    for (const auto& [library, count] : open)
        EXPECT_EQ(count, 0) << library << " was left loaded";
}

struct SiblingTest : ::testing::Test {
    TempDir dir;
    CapturingSink log;

    void SetUp() override
    {
        progressCalls = 0;
        progressSeen.clear();
    }
    void TearDown() override { zuk::setSystemVersionForTesting(std::nullopt); }

    // A mono 48000 Hz WAV of `frames` frames, as a back end might write it.
    std::string soundFile(const std::string& name, int64_t frames, int rate = 48000, int channels = 1)
    {
        const std::string path = dir.file(name);
        writeShorts(path, rate, channels, testSignal(frames, channels, rate));
        return path;
    }
};

} // namespace

// ---- QuickTime ----------------------------------------------------------------

TEST_F(SiblingTest, QuickTimeInstalledAnswersByThePresenceOfItsLibrary)
{
    {
        FakeSiblings fakes{};
        EXPECT_EQ(QuickTime_Installed(), -1);
        EXPECT_EQ(log.pieces(), (Lines{"Checking if Quicktime is installed\n", "Quicktime Not Found\n"}));
    }
    log.captured.pieces.clear();
    FakeSiblings fakes{"quicktime"};
    EXPECT_EQ(QuickTime_Installed(), 0);
    EXPECT_EQ(log.pieces(), (Lines{"Checking if Quicktime is installed\n", "Quicktime installed\n"}));
    EXPECT_EQ(fakes.calls(), (Lines{"QTMLClient\tloaded", "QTMLClient\tunloaded"}));
}

// Qtax needs QuickTime, its library and its entry point; a null path reaches
// no back end, whichever are there.
TEST_F(SiblingTest, MissingPiecesAndNullPathsNeverReachABackEnd)
{
    const std::u16string in = wide(dir.file("clip.mp3"));
    const std::u16string out = wide(dir.file("out.wav"));
    const std::vector<std::string> all{"quicktime", "dornalt", "vostrin", "lurrow"};
    for (const auto& offered :
        std::vector<std::vector<std::string>>{{}, {"dornalt"}, {"quicktime"}, {"quicktime", "dornalt-bare"}, all}) {
        FakeSiblings fakes(offered);
        if (offered != all) {
            EXPECT_EQ(Qtax_Extraction(in.c_str(), out.c_str(), recordProgress), -1);
            EXPECT_EQ(ReplaceAudioMov(1, 2, 3), -1);
        }
        for (const auto& call : {Qtax_Extraction, mfax_extract_wrapper, R3DResample}) {
            EXPECT_EQ(call(nullptr, out.c_str(), nullptr), -1);
            EXPECT_EQ(call(in.c_str(), nullptr, nullptr), -1);
        }
        for (const std::string& line : fakes.calls())
            EXPECT_TRUE(line.ends_with("loaded")) << "called although something is missing: " << line;
        if (offered == std::vector<std::string>{"dornalt"}) {
            EXPECT_TRUE(fakes.callsOf("dornalt").empty()) << "loaded although QuickTime is missing";
        }
        expectEveryLoadUnloaded(fakes);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.wav")));
    EXPECT_EQ(progressCalls, 0);
}

TEST_F(SiblingTest, QtaxHandsOverItsArgumentsAndReturnsTheResultUnchanged)
{
    const std::string wav = soundFile("made.wav", 4800);
    const std::string input = dir.file("clip.mov");
    const std::string output = dir.file("out.wav");
    FakeSiblings fakes{"quicktime", "dornalt"};
    fakes.set("DORNALT_WAV", wav);
    for (const int32_t result : {0, 2, -7, -123, 2147483647}) {
        fakes.set("DORNALT_RESULT", std::to_string(result));
        EXPECT_EQ(Qtax_Extraction(wide(input).c_str(), wide(output).c_str(), recordProgress), result);
    }
    EXPECT_EQ(fileBytes(output), fileBytes(wav));
    EXPECT_EQ(progressSeen, std::vector<float>(5, 50.0f)) << "the caller's progress callback reaches the back end";
    // QuickTime is checked and let go before the back end is loaded.
    const Lines once{"QTMLClient\tloaded", "QTMLClient\tunloaded", "dornalt\tloaded",
        "dornalt\tQtax_Extraction\t" + input + "\t" + output, "dornalt\tunloaded"};
    const Lines calls = fakes.calls();
    ASSERT_EQ(calls.size(), 5 * once.size());
    EXPECT_EQ(Lines(calls.begin(), calls.begin() + 5), once);

    fakes.set("DORNALT_RESULT", "-31");
    EXPECT_EQ(ReplaceAudioMov(7, -2, 2147483647), -31);
    EXPECT_EQ(fakes.calls().end()[-2], "dornalt\tReplaceAudioMov\t7\t-2\t2147483647");
}

// ---- Media Foundation ------------------------------------------------------------

// Each failure: its code, nothing written, no progress claimed, every library
// it loaded unloaded again.
TEST_F(SiblingTest, MfaxFailuresReturnTheirCodeAndWriteNothing)
{
    const std::string mov = dir.file("clip.mov");
    const std::string out = dir.file("out.wav");
    const std::string decoded = soundFile("decoded.wav", 4800);
    const std::string wav = soundFile("clip.wav", 4800);
    const struct {
        std::string variant;
        std::optional<zuk::SystemVersion> system;
        std::vector<std::pair<std::string, std::string>> settings;
        std::string input;
        std::string output;
        int32_t result;
        bool called; // the back end's entry point was reached
    } failures[] = {
        // Systems older than 6.1 are refused before anything is loaded.
        {"vostrin", zuk::SystemVersion{6, 0}, {}, mov, out, -2, false},
        {"vostrin", zuk::SystemVersion{5, 2}, {}, mov, out, -2, false},
        // Plain sound files are left to the resampler.
        {"vostrin", {}, {}, wav, out, -4, false},
        // The library and both its entry points are needed.
        {"none", {}, {}, mov, out, -1, false},
        {"vostrin-bare", {}, {}, mov, out, -1, false},
        {"vostrin-extract-only", {}, {}, mov, out, -1, false},
        // Its failures pass on; only its 0 is success, a positive code is not one of ours.
        {"vostrin", {}, {{"VOSTRIN_RESULT", "3"}}, mov, out, -4, true},
        {"vostrin", {}, {{"VOSTRIN_RESULT", "-9"}}, mov, out, -9, true},
        // Success claimed, nothing written; an output that cannot be written.
        {"vostrin", {}, {{"VOSTRIN_RATE", "25/1"}}, mov, out, -1, true},
        {"vostrin", {}, {{"VOSTRIN_WAV", decoded}, {"VOSTRIN_RATE", "25/1"}}, mov, dir.file("missing/out.wav"), -1,
            true},
    };
    for (const auto& failure : failures) {
        const std::string what = failure.variant + " " + std::to_string(failure.result);
        FakeSiblings fakes{failure.variant};
        for (const auto& [name, value] : failure.settings)
            fakes.set(name, value);
        zuk::setSystemVersionForTesting(failure.system);
        progressSeen.clear();
        EXPECT_EQ(mfax_extract_wrapper(wide(failure.input).c_str(), wide(failure.output).c_str(), recordProgress),
            failure.result)
            << what;
        const Lines calls = fakes.callsOf("vostrin");
        EXPECT_EQ(
            calls.size() > 1 && calls[1] == "vostrin\tmfax_ExtractAudio\t" + mov + "\t" + mov + "temp1", failure.called)
            << what;
        if (failure.system) {
            EXPECT_TRUE(calls.empty()) << what;
        }
        if (failure.result != -1) { // a failure of the extraction stops before the frame rate is asked
            EXPECT_EQ(std::count(calls.begin(), calls.end(), "vostrin\tmfax_GetFrameRate\t" + mov), 0) << what;
        }
        EXPECT_EQ(std::count(progressSeen.begin(), progressSeen.end(), 100.0f), 0) << what;
        EXPECT_FALSE(std::filesystem::exists(out)) << what;
        expectEveryLoadUnloaded(fakes);
    }
    zuk::setSystemVersionForTesting(std::nullopt);
    EXPECT_NE(log.joined().find("ZUK_MFAX: . \n"), std::string::npos);
    EXPECT_NE(log.joined().find("ZUK_MFAX: Error. mfax_ExtractAudio failed with 3\n"), std::string::npos);
}

TEST_F(SiblingTest, MfaxPadsTheAudioToWholeVideoFrames)
{
    struct Case {
        std::string rate;
        int64_t decodedFrames;
        int64_t expectedFrames;
    };
    const std::vector<Case> cases{
        {"25/1", 43200, 44160},       // 0.9 s is 22.5 frames: padded to 23, 0.92 s
        {"25/1", 48000, 48000},       // exactly 25 frames: nothing added
        {"30000/1001", 48000, 48048}, // 29.97 frames: 30 frames last 1.001 s
        {"24000/1001", 1, 2002},      // one sample still takes a whole frame
        {"0/1", 43200, 43200},        // no frame rate: the audio keeps its length
        {"25/0", 43200, 43200},
    };
    FakeSiblings fakes{"vostrin"};
    const std::string input = dir.file("clip.mov");
    const std::string output = dir.file("out.wav");
    for (const Case& c : cases) {
        const std::string decoded = soundFile("decoded.wav", c.decodedFrames);
        fakes.set("VOSTRIN_WAV", decoded);
        fakes.set("VOSTRIN_RATE", c.rate);
        ASSERT_EQ(mfax_extract_wrapper(wide(input).c_str(), wide(output).c_str(), recordProgress), 0) << c.rate;
        const Sound written = readShorts(output);
        EXPECT_EQ(written.info.samplerate, 48000);
        EXPECT_EQ(written.info.channels, 1);
        EXPECT_EQ(written.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        ASSERT_EQ(written.frames(), c.expectedFrames) << c.rate << " with " << c.decodedFrames << " frames";
        const Sound original = readShorts(decoded);
        EXPECT_TRUE(std::equal(original.samples.begin(), original.samples.end(), written.samples.begin()));
        EXPECT_TRUE(std::all_of(
            written.samples.begin() + c.decodedFrames, written.samples.end(), [](int16_t s) { return s == 0; }));
    }
    EXPECT_TRUE(std::filesystem::exists(input + "temp1")) << "the intermediate files stay beside the input";
    EXPECT_TRUE(std::filesystem::exists(input + "temp2"));
    EXPECT_EQ(fakes.callsOf("vostrin")[2], "vostrin\tmfax_GetFrameRate\t" + input);
}

TEST_F(SiblingTest, MfaxWithoutAFrameRateResamplesTheAudioUnpadded)
{
    FakeSiblings fakes{"vostrin"};
    fakes.set("VOSTRIN_WAV", soundFile("decoded.wav", 1234, 44100, 2));
    const std::string output = dir.file("out.wav");
    ASSERT_EQ(mfax_extract_wrapper(wide(dir.file("clip.mov")).c_str(), wide(output).c_str(), recordProgress), 0);
    const Sound written = readShorts(output);
    EXPECT_EQ(written.info.samplerate, 48000);
    EXPECT_EQ(written.info.channels, 1);
    EXPECT_NEAR(static_cast<double>(written.frames()), 1234 * 48000.0 / 44100.0, 1.0);
    ASSERT_FALSE(progressSeen.empty());
    EXPECT_EQ(progressSeen.front(), 0.0f);
    EXPECT_EQ(progressSeen.back(), 100.0f);
    EXPECT_NE(std::find(progressSeen.begin(), progressSeen.end(), 50.0f), progressSeen.end());
}

// ---- R3D -------------------------------------------------------------------------

TEST_F(SiblingTest, R3dWithoutItsLibraryOrEntryPoint)
{
    const std::u16string in = wide(dir.file("clip.r3d"));
    const std::u16string out = wide(dir.file("out.wav"));
    {
        FakeSiblings fakes{};
        EXPECT_EQ(R3DResample(in.c_str(), out.c_str(), recordProgress), -1);
        EXPECT_EQ(log.pieces(),
            (Lines{"----R3DResample Function -----\n", "Aquiring handles to DLL, and function\n ",
                "------Get pointers for R3D related functions-------", "lurrow pointer is null",
                "Could not get pointer"}));
    }
    log.captured.pieces.clear();
    FakeSiblings fakes{"lurrow-bare"};
    EXPECT_EQ(R3DResample(in.c_str(), out.c_str(), recordProgress), -1);
    EXPECT_EQ(log.pieces(),
        (Lines{"----R3DResample Function -----\n", "Aquiring handles to DLL, and function\n ",
            "------Get pointers for R3D related functions-------", "Could not get function pointer",
            "Could not get pointer"}));
    EXPECT_EQ(fakes.calls(), (Lines{"lurrow\tloaded", "lurrow\tunloaded"}));
}

TEST_F(SiblingTest, R3dHandsTheInputOverAsMultibyteTextAndReturnsTheResult)
{
    FakeSiblings fakes{"lurrow"};
    const std::string wav = soundFile("made.wav", 480);
    fakes.set("LURROW_WAV", wav);
    const std::string input = dir.file("clip.r3d");
    const std::string output = dir.file("out.wav");
    for (const int32_t result : {0, 3, -7}) {
        fakes.set("LURROW_RESULT", std::to_string(result));
        EXPECT_EQ(R3DResample(wide(input).c_str(), wide(output).c_str(), recordProgress), result);
    }
    EXPECT_EQ(fileBytes(output), fileBytes(wav));
    EXPECT_EQ(fakes.callsOf("lurrow")[1], "lurrow\tresampleR3DAudio\t" + input + "\t" + output);
    const Lines pieces(log.pieces().begin(), log.pieces().begin() + 10);
    EXPECT_EQ(pieces,
        (Lines{"----R3DResample Function -----\n", "Aquiring handles to DLL, and function\n ",
            "------Get pointers for R3D related functions-------", "Successfully acquired handles", input,
            "\n Extracting and Resampling \n", "Freeing String buffer\n", "Freeing Library Handle\n",
            "----R3DResample Function -----\n", "Aquiring handles to DLL, and function\n "}));
    EXPECT_EQ(progressSeen, std::vector<float>(3, 50.0f));
    expectEveryLoadUnloaded(fakes);
}

TEST_F(SiblingTest, R3dNamesFollowTheCallersLocale)
{
    FakeSiblings fakes{"lurrow"};
    const std::string input = dir.file("Bänd.r3d");
    const std::u16string in = wide(input);
    const std::u16string out = wide(dir.file("out.wav"));

    ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
    EXPECT_EQ(R3DResample(in.c_str(), out.c_str(), recordProgress), -4);
    EXPECT_NE(
        log.joined().find("Could not convert from univode to multibyte filename representation\n"), std::string::npos);
    EXPECT_EQ(fakes.calls(), (Lines{"lurrow\tloaded", "lurrow\tunloaded"}));

    const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    ASSERT_NE(utf8, locale_t{}) << "the C.UTF-8 locale is missing";
    const locale_t previous = uselocale(utf8);
    const int32_t result = R3DResample(in.c_str(), out.c_str(), recordProgress);
    uselocale(previous);
    freelocale(utf8);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(fakes.callsOf("lurrow")[3], "lurrow\tresampleR3DAudio\t" + input + "\t" + dir.file("out.wav"));
}
