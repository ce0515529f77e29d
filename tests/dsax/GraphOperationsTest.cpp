// The operations that build a media graph by hand: AC-3 detection, a media
// file's sound wrapped in AVI, and the audio of an AVI replaced. Their log
// lines, their HRESULTs, what they write, and COM left as they found it.
#include "dsax/ComReleaseList.h"
#include "dsax/GraphCall.h"
#include "platform/com/Com.h"
#include "platform/com/ComModules.h"
#include "platform/com/Guids.h"
#include "support/LogCapture.h"
#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <zuk/dsax.h>
#include <zuk/zuk.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

using namespace zuktest;

namespace {

bool logged(const CapturingSink& log, const std::string& piece)
{
    return std::find(log.pieces().begin(), log.pieces().end(), piece) != log.pieces().end();
}

struct Ac3Answer {
    int32_t result;
    uint8_t found;
};

Ac3Answer detectAc3(const std::string& file, int32_t managed = 0)
{
    Ac3Answer answer{0, 7};
    answer.result = isAC3(wide(file).c_str(), managed, &answer.found);
    return answer;
}

// Notes each Release it is given, by its number.
struct Noted : ComObject<IUnknown> {
    Noted(std::vector<int>& releases, int number) : releasedInto(releases), id(number) { }
    ULONG Release() override
    {
        releasedInto.push_back(id);
        return ComObject::Release();
    }
    std::vector<int>& releasedInto;
    int id;
};

} // namespace

TEST(ComReleaseList, ReleasesWhatItHoldsTheLastAddedFirstAndRefusesWhatItCannotHold)
{
    for (const bool releasedAll : {true, false}) {
        std::vector<int> releases;
        {
            const auto third = makeComObject<Noted>(releases, 3);
            zuk::ComReleaseList list;
            ASSERT_EQ(list.setUp(2), 0);
            EXPECT_EQ(list.setUp(2), -1);
            EXPECT_EQ(list.add(nullptr), -1);
            EXPECT_EQ(list.add(makeComObject<Noted>(releases, 1).detach()), 0);
            EXPECT_EQ(list.add(makeComObject<Noted>(releases, 2).detach()), 0);
            EXPECT_EQ(list.add(third.get()), -1); // full: the caller keeps its reference
            if (releasedAll) {
                list.releaseAll();
                EXPECT_EQ(list.count(), 0);
                EXPECT_EQ(list.setUp(1), 0); // released lists can be set up again
            }
        }
        EXPECT_EQ(releases, (std::vector<int>{2, 1, 3})) << (releasedAll ? "released" : "dropped") << " list";
    }
}

TEST(GraphHelpers, WhatAFullListCannotKeepIsReleasedAndNotHandedOut)
{
    std::vector<int> releases;
    const auto object = makeComObject<Noted>(releases, 1);
    zuk::GraphCall call("", 1);
    IUnknown* asked = nullptr;
    for (int kept = 0; kept < 20; ++kept) // the room of every call's list
        ASSERT_EQ(zuk::queryKept(call, object.get(), &asked), S_OK);
    EXPECT_EQ(zuk::queryKept(call, object.get(), &asked), E_OUTOFMEMORY);
    EXPECT_EQ(asked, nullptr);
    EXPECT_EQ(releases, std::vector<int>{1});
}

TEST(GraphHelpers, ConnectFiltersWantsAFreePinOnBothSides)
{
    ComPtr<IGraphBuilder> graph;
    ComPtr<IBaseFilter> renderer;
    ASSERT_EQ(
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.putVoid()), S_OK);
    ASSERT_EQ(
        CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, renderer.putVoid()), S_OK);
    EXPECT_EQ(zuk::connectFilters(nullptr, renderer.get(), renderer.get()), E_POINTER);
    EXPECT_EQ(zuk::connectFilters(graph.get(), renderer.get(), nullptr), E_POINTER);
    ComPtr<IPin> pin;
    EXPECT_EQ(zuk::getUnconnectedPin(renderer.get(), PINDIR_OUTPUT, pin.put()), E_FAIL); // a renderer has no output
    EXPECT_FALSE(pin);
    EXPECT_EQ(zuk::getUnconnectedPin(renderer.get(), PINDIR_INPUT, pin.put()), S_OK);
    EXPECT_TRUE(pin);
}

struct GraphOperations : ::testing::Test {
    TempDir dir;
    CapturingSink log;
    int comBefore = comInitializationCount();

    void TearDown() override { EXPECT_EQ(comInitializationCount(), comBefore) << "COM left unbalanced"; }
};

// The bytes decide, not the name: an empty file, the start of an AC-3 frame or
// a WAV is no AC-3 stream, also when named like one.
TEST_F(GraphOperations, Ac3StreamsAreFoundByTheirBytes)
{
    std::ofstream(dir.file("empty.ac3"));
    std::filesystem::copy_file(mediaFixture("ac3.ac3"), dir.file("short.ac3"));
    std::filesystem::resize_file(dir.file("short.ac3"), 64);
    std::filesystem::copy_file(mediaFixture("channels-2.wav"), dir.file("wav.ac3"));
    const std::string found = "Connection Succeeded. AC3 stream found";
    const std::string notFound = "Connection failed.  ";
    const struct {
        std::string file;
        int32_t managed;
        uint8_t found;
        std::string lastLine;
    } files[] = {
        {mediaFixture("ac3.ac3"), 0, 1, found},
        {mediaFixture("bdav-ac3.m2ts.mp2"), 0, 1, found},
        {mediaFixture("ac3.ac3"), 1, 1, found},
        {mediaFixture("channels-2.wav"), 0, 0, notFound},
        {mediaFixture("mp2.mp2"), 0, 0, notFound},
        {mediaFixture("mpeg-ps.mpg"), 0, 0, notFound},
        {dir.file("empty.ac3"), 0, 0, notFound},
        {dir.file("short.ac3"), 0, 0, notFound},
        {dir.file("wav.ac3"), 0, 0, notFound},
        {dir.file("missing.ac3"), 0, 0, "\n"},
    };
    for (const auto& file : files) {
        log.captured.pieces.clear();
        const Ac3Answer answer = detectAc3(file.file, file.managed);
        EXPECT_EQ(answer.found, file.found) << file.file;
        EXPECT_EQ(answer.result >= 0, file.found == 1) << file.file;
        EXPECT_EQ(log.pieces().back(), file.lastLine) << file.file;
        const auto said = std::find(log.pieces().begin(), log.pieces().end(), "Initialize COM interface\n");
        ASSERT_NE(said, log.pieces().end()) << file.file;
        EXPECT_EQ(*(said + 1) == "Skipping COM INIT. .Net flag\n", file.managed == 1) << file.file;
    }
    EXPECT_EQ(detectAc3(dir.file("missing.ac3")).result, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    const std::vector<std::string> tail(log.pieces().end() - 3, log.pieces().end());
    EXPECT_EQ(tail, (std::vector<std::string>{"Ac3: Failed hr= ", "-2147024894", "\n"}));
    uint8_t* noAnswer = nullptr;
    EXPECT_EQ(isAC3(wide(mediaFixture("ac3.ac3")).c_str(), 0, noAnswer), E_POINTER);
}

// ---- DecodeToAVIWrapper ------------------------------------------------------

struct AviWrapper : GraphOperations {
    int32_t wrap(const std::string& input, const std::string& output, int32_t managed = 0)
    {
        return DecodeToAVIWrapper(wide(input).c_str(), wide(output).c_str(), managed);
    }
};

TEST_F(AviWrapper, AnMpegProgramStreamBecomesAnAviOfItsDecodedSound)
{
    const std::string input = mediaFixture("mpeg-ps.mpg");
    const std::string avi = dir.file("sound.avi");
    ASSERT_EQ(wrap(input, avi), S_OK);
    const std::vector<std::string> tail(log.pieces().end() - 3, log.pieces().end());
    EXPECT_EQ(
        tail, (std::vector<std::string>{"ACM: Running\n", "ACM: waiting for completion\n", "ACM: Calling stop\n"}));
    EXPECT_EQ(ffprobeStreams(avi), (std::vector<std::string>{"audio:pcm_s16le"}));
    const std::vector<int16_t> decoded = ffmpegDecode(input);
    EXPECT_EQ(ffmpegDecode(avi), decoded);
    // Read back, the AVI is as long as its frames: the demuxer's own estimate
    // for it runs half a percent long, which extraction would fill with silence.
    dsax::DSAX_MEDIA_INFO* info = dsax::dsax_open(wide(avi).c_str());
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->sample_length, static_cast<int64_t>(decoded.size() / 2));
    dsax::dsax_close(&info);
}

TEST_F(AviWrapper, TakesTheFirstAudioStreamOfAnyMediaFile)
{
    const std::string input = mediaFixture("two-audio.mkv");
    const std::string avi = dir.file("sound.avi");
    ASSERT_EQ(wrap(input, avi, 1), S_OK);
    EXPECT_TRUE(logged(log, "Skipping COM INIT. .Net flag\n"));
    EXPECT_EQ(ffmpegDecode(avi), ffmpegDecode(input, 0));
}

// Each failure returns its step's code, logs that step, and leaves no AVI.
TEST_F(AviWrapper, FailuresReturnTheFailingStepsCodeAndWriteNoAvi)
{
    const std::string avi = dir.file("sound.avi");
    const std::string noConnection = "Could not connect InputFilter with ACM wrapper";
    const struct {
        std::string input;
        std::string output;
        uint64_t sizeLimit; // 0: none
        std::string logLine;
    } failures[] = {
        {dir.file("missing.mpg"), avi, 0, "Ac3: Failed hr= "},
        {mediaFixture("video-only.mp4"), avi, 0, noConnection},
        {mediaFixture("garbage.bin"), avi, 0, noConnection},
        {mediaFixture("mpeg-ps.mpg"), dir.file("no/such/folder.avi"), 0, "ACM: Failed hr= "},
        // A write that fails part way is a failure, not a hang.
        {mediaFixture("avi-24fps.avi"), avi, 64 * 1024, "ACM: Failed hr= "},
    };
    for (const auto& failure : failures) {
        log.captured.pieces.clear();
        std::optional<FileSizeLimit> limit;
        if (failure.sizeLimit > 0)
            limit.emplace(failure.sizeLimit);
        const int32_t result = wrap(failure.input, failure.output);
        limit.reset();
        EXPECT_LT(result, 0) << failure.input;
        EXPECT_TRUE(logged(log, failure.logLine)) << failure.input;
        if (failure.sizeLimit == 0) {
            EXPECT_FALSE(std::filesystem::exists(avi)) << failure.input;
        }
    }
    EXPECT_EQ(wrap(dir.file("missing.mpg"), avi), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

// ---- Extract of MPEG program streams ---------------------------------------

TEST_F(GraphOperations, ExtractReadsMpegThroughAnAviLeftBesideTheOutput)
{
    const std::string input = mediaFixture("mpeg-ps.mpg");
    const std::string output = dir.file("out.wav");
    // The AVI holds sound only, so the WAV is not padded to video frames.
    ASSERT_EQ(Extract(wide(input).c_str(), wide(output).c_str(), nullptr), ZUK_OK_UNPADDED);
    EXPECT_TRUE(std::filesystem::exists(output + ".avi"));
    EXPECT_TRUE(logged(log, "Avi file created, changing input name to avi file\n"));
    EXPECT_TRUE(logged(log, "Falling through to regular extraction\n"));
    EXPECT_NEAR(static_cast<double>(readShorts(output).frames()),
        static_cast<double>(ffmpegDecodeAt(input, 48000, 1).size()), 48.0);
}

TEST_F(GraphOperations, ExtractOfAnMpegWithoutSoundStopsAtTheAviStep)
{
    const std::string input = dir.file("silent.MPEG");
    std::filesystem::copy_file(mediaFixture("video-only.mp4"), input);
    EXPECT_EQ(Extract(wide(input).c_str(), wide(dir.file("out.wav")).c_str(), nullptr), ZUK_E_EXTRACT);
    EXPECT_FALSE(logged(log, "ZUK: Attempting to use qtax. \n"));
}

// ---- ReplaceAudioAvi --------------------------------------------------------

struct ReplaceAudio : GraphOperations {
    void SetUp() override { setComModuleFolderForTesting(ZUK_MODULE_DIR); }
    void TearDown() override
    {
        setComModuleFolderForTesting("");
        GraphOperations::TearDown();
    }

    // A mono 44.1 kHz WAV of 1.5 s, the new sound.
    std::string replacement()
    {
        const std::string path = dir.file("new sound.wav");
        writeShorts(path, 44100, 1, testSignal(66150, 1, 44100));
        return path;
    }

    int32_t replace(const std::string& input, const std::string& audio, const std::string& output, int32_t managed = 0)
    {
        return ReplaceAudioAvi(wide(input).c_str(), wide(audio).c_str(), wide(output).c_str(), managed);
    }
};

TEST_F(ReplaceAudio, KeepsTheVideoAndTakesTheNewSoundInsteadOfTheOld)
{
    const std::string input = mediaFixture("avi-pcm.avi");
    const std::string audio = replacement();
    const std::string output = dir.file("replaced.avi");
    ASSERT_EQ(replace(input, audio, output), S_OK);
    EXPECT_EQ(ffprobeStreams(output), (std::vector<std::string>{"video:mjpeg", "audio:pcm_s16le"}));
    EXPECT_EQ(ffmpegPacketHash(output, "0:v"), ffmpegPacketHash(input, "0:v"));
    EXPECT_EQ(ffmpegDecode(output), readShorts(audio).samples);
    const std::vector<std::string> tail(log.pieces().end() - 3, log.pieces().end());
    EXPECT_EQ(
        tail, (std::vector<std::string>{"RAA: Running\n", "RAA: waiting for completion\n", "RAA: Calling stop\n"}));
}

TEST_F(ReplaceAudio, AnAviThatBeginsWithSoundKeepsThatSoundBesideTheNew)
{
    const std::string input = mediaFixture("avi-audio-first.avi");
    const std::string audio = replacement();
    const std::string output = dir.file("replaced.avi");
    ASSERT_EQ(replace(input, audio, output, 1), S_OK);
    EXPECT_TRUE(logged(log, "RAA:Initialize COM interface\n"));
    EXPECT_TRUE(logged(log, "Skipping COM INIT. .Net flag\n"));
    // The old sound is copied as it is stored, codec data and all.
    EXPECT_EQ(ffprobeStreams(output), (std::vector<std::string>{"audio:adpcm_ms", "audio:pcm_s16le"}));
    EXPECT_EQ(ffmpegDecode(output, 0), ffmpegDecode(input, 0));
    EXPECT_EQ(ffmpegDecode(output, 1), readShorts(audio).samples);
}

TEST_F(ReplaceAudio, EachBadInputFailsAtItsStepWithItsCode)
{
    const std::string avi = mediaFixture("avi-pcm.avi");
    const std::string audio = replacement();
    const std::string output = dir.file("replaced.avi");
    struct Case {
        std::string input, audio, output;
        const char* lastStep;
    };
    const std::string notSound = dir.file("notes.txt");
    std::ofstream(notSound) << "not a sound file\n";
    for (const Case& bad : {Case{dir.file("missing.avi"), audio, output, "RAA: Adding Avi source filter\n"},
             Case{avi, notSound, output, "RAA: Setting Filename\n"},
             Case{avi, dir.file("missing.wav"), output, "RAA: Setting Filename\n"},
             Case{mediaFixture("mp4-aac.mp4"), audio, output, "Connecting AVi file to splitter\n"},
             Case{avi, audio, dir.file("no/such/folder.avi"), "RAA: Running\n"},
             // Without the sound-file module its class is not registered.
             Case{avi, audio, output, "RAA: Adding LibSndFileWrapper\n"}}) {
        const TempDir nothingThere;
        if (std::string(bad.lastStep) == "RAA: Adding LibSndFileWrapper\n")
            setComModuleFolderForTesting(nothingThere.path().string());
        log.captured.pieces.clear();
        EXPECT_LT(replace(bad.input, bad.audio, bad.output), 0) << bad.lastStep;
        const auto failed = std::find(log.pieces().begin(), log.pieces().end(), "RAA: Failed hr= ");
        ASSERT_NE(failed, log.pieces().end()) << bad.lastStep;
        EXPECT_EQ(*(failed - 1), bad.lastStep);
    }
    EXPECT_EQ(log.pieces().end()[-2], "-2147221164") << "REGDB_E_CLASSNOTREG";
    EXPECT_FALSE(std::filesystem::exists(output));
}
