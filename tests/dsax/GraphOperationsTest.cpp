// The operations that build a media graph by hand: AC-3 detection, a media
// file's sound wrapped in AVI, and the audio of an AVI replaced. Their log
// lines, their HRESULTs, what they write, and COM left as they found it.
#include "platform/com/Com.h"
#include "platform/com/ComModules.h"
#include "support/LogCapture.h"
#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <zuk/dsax.h>
#include <zuk/zuk.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <vector>

using namespace zuktest;

struct GraphOperations : ::testing::Test {
    TempDir dir;
    CapturingSink log;
    int comBefore = comInitializationCount();

    void SetUp() override { setComModuleFolderForTesting(ZUK_MODULE_DIR); }
    void TearDown() override
    {
        setComModuleFolderForTesting("");
        EXPECT_EQ(comInitializationCount(), comBefore) << "COM left unbalanced";
    }
};

// The operations as hosts call them: input, new sound, output, managed flag.
using Operation = std::function<int32_t(const std::string&, const std::string&, const std::string&, int32_t)>;

int32_t wrap(const std::string& input, const std::string&, const std::string& output, int32_t managed)
{
    return DecodeToAVIWrapper(wide(input).c_str(), wide(output).c_str(), managed);
}

int32_t replace(const std::string& input, const std::string& audio, const std::string& output, int32_t managed)
{
    return ReplaceAudioAvi(wide(input).c_str(), wide(audio).c_str(), wide(output).c_str(), managed);
}

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
        uint8_t found;
        std::string lastLine;
    } files[] = {
        {mediaFixture("ac3.ac3"), 1, found},
        {mediaFixture("bdav-ac3.m2ts.mp2"), 1, found},
        {mediaFixture("mp2.mp2"), 0, notFound},
        {dir.file("empty.ac3"), 0, notFound},
        {dir.file("short.ac3"), 0, notFound},
        {dir.file("wav.ac3"), 0, notFound},
        {dir.file("missing.ac3"), 0, "\n"},
    };
    for (const auto& file : files) {
        log.captured.pieces.clear();
        uint8_t answer = 7;
        const int32_t result = isAC3(wide(file.file).c_str(), 0, &answer);
        EXPECT_EQ(answer, file.found) << file.file;
        EXPECT_EQ(result >= 0, file.found == 1) << file.file;
        EXPECT_EQ(log.pieces().back(), file.lastLine) << file.file;
    }
    const std::vector<std::string> tail(log.pieces().end() - 3, log.pieces().end());
    EXPECT_EQ(tail, (std::vector<std::string>{"Ac3: Failed hr= ", "-2147024894", "\n"}));
    uint8_t answer = 0;
    EXPECT_EQ(isAC3(wide(dir.file("missing.ac3")).c_str(), 0, &answer), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    uint8_t* noAnswer = nullptr;
    EXPECT_EQ(isAC3(wide(mediaFixture("ac3.ac3")).c_str(), 0, noAnswer), E_POINTER);
}

// Each operation's outcome. A success ends its run with three lines and
// writes what ffmpeg reads back as the streams and sounds given, the video as
// it was; a failure returns a failure code, logs the step it failed at, and
// leaves no output.
TEST_F(GraphOperations, OutcomeOfEachOperation)
{
    const std::string audio = dir.file("new sound.wav"); // 1.5 s, mono, 44.1 kHz
    writeShorts(audio, 44100, 1, testSignal(66150, 1, 44100));
    const std::vector<int16_t> newSound = readShorts(audio).samples;
    const std::string output = dir.file("out.avi");
    const std::string mpeg = mediaFixture("mpeg-ps.mpg");
    const std::string mkv = mediaFixture("two-audio.mkv");
    const std::string avi = mediaFixture("avi-pcm.avi");
    const std::string audioFirst = mediaFixture("avi-audio-first.avi");
    const std::string notSound = dir.file("notes.txt");
    std::ofstream(notSound) << "not a sound file\n";
    const std::string noConnection = "Could not connect InputFilter with ACM wrapper";
    const TempDir noModules;
    const struct Row {
        Operation operation;
        std::string input;
        std::string audio;
        std::string output;
        int32_t managed;
        std::string step;                 // a success's run, or what a failure logs
        std::vector<std::string> streams; // none for a failure
        std::vector<std::vector<int16_t>> sounds = {};
        int channels = 0; // of a wrapped sound, which the reader reads back
        uint64_t sizeLimit = 0;
        std::string modules = ZUK_MODULE_DIR;
    } rows[] = {
        {wrap, mpeg, "", output, 0, "ACM", {"audio:pcm_s16le"}, {ffmpegDecode(mpeg)}, 2},
        {wrap, mkv, "", output, 1, "ACM", {"audio:pcm_s16le"}, {ffmpegDecode(mkv)}, 1}, // of two, the first
        {replace, avi, audio, output, 0, "RAA", {"video:mjpeg", "audio:pcm_s16le"}, {newSound}},
        // The old sound is copied as it is stored, codec data and all.
        {replace, audioFirst, audio, output, 1, "RAA", {"audio:adpcm_ms", "audio:pcm_s16le"},
            {ffmpegDecode(audioFirst), newSound}},
        {wrap, dir.file("missing.mpg"), "", output, 0, "Ac3: Failed hr= ", {}},
        {wrap, mediaFixture("video-only.mp4"), "", output, 0, noConnection, {}},
        {wrap, mediaFixture("garbage.bin"), "", output, 0, noConnection, {}},
        {wrap, mpeg, "", dir.file("no/such/folder.avi"), 0, "ACM: Failed hr= ", {}},
        // A write that fails part way is a failure, not a hang.
        {wrap, mediaFixture("avi-24fps.avi"), "", output, 0, "ACM: Failed hr= ", {}, {}, 0, 64 * 1024},
        {replace, dir.file("missing.avi"), audio, output, 0, "RAA: Adding Avi source filter\n", {}},
        {replace, avi, notSound, output, 0, "RAA: Setting Filename\n", {}},
        {replace, mediaFixture("mp4-aac.mp4"), audio, output, 0, "Connecting AVi file to splitter\n", {}},
        {replace, avi, audio, dir.file("no/such/folder.avi"), 0, "RAA: Running\n", {}},
        {replace, avi, audio, output, 0, "RAA: Adding LibSndFileWrapper\n", {}, {}, 0, 0, noModules.path().string()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.input + " > " + row.output);
        log.captured.pieces.clear();
        std::filesystem::remove(output);
        setComModuleFolderForTesting(row.modules);
        std::optional<FileSizeLimit> limit;
        if (row.sizeLimit > 0)
            limit.emplace(row.sizeLimit);
        const int32_t result = row.operation(row.input, row.audio, row.output, row.managed);
        limit.reset();
        if (row.streams.empty()) {
            EXPECT_LT(result, 0);
            const auto failed = std::find(log.pieces().begin(), log.pieces().end(), "RAA: Failed hr= ");
            EXPECT_TRUE(failed == log.pieces().end() ? log.joined().find(row.step) != std::string::npos
                                                     : *(failed - 1) == row.step);
            EXPECT_TRUE(row.sizeLimit > 0 || !std::filesystem::exists(output));
            continue;
        }
        ASSERT_EQ(result, S_OK);
        const auto said = std::find(log.pieces().begin(), log.pieces().end(),
            row.step == "RAA" ? "RAA:Initialize COM interface\n" : "Initialize COM interface\n");
        ASSERT_NE(said, log.pieces().end());
        EXPECT_EQ(*(said + 1) == "Skipping COM INIT. .Net flag\n", row.managed == 1);
        const std::vector<std::string> tail(log.pieces().end() - 3, log.pieces().end());
        EXPECT_EQ(tail,
            (std::vector<std::string>{
                row.step + ": Running\n", row.step + ": waiting for completion\n", row.step + ": Calling stop\n"}));
        EXPECT_EQ(ffprobeStreams(output), row.streams);
        for (size_t i = 0; i < row.sounds.size(); ++i)
            EXPECT_EQ(ffmpegDecode(output, static_cast<int>(i)), row.sounds[i]) << "sound " << i;
        if (row.streams.front().starts_with("video")) {
            EXPECT_EQ(ffmpegPacketHash(output, "0:v"), ffmpegPacketHash(row.input, "0:v"));
        }
        if (row.channels == 0)
            continue;
        // Read back, the AVI is as long as its frames: the demuxer's own estimate
        // for it runs half a percent long, which extraction would fill with silence.
        dsax::DSAX_MEDIA_INFO* info = dsax::dsax_open(wide(output).c_str());
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->sample_length, static_cast<int64_t>(row.sounds[0].size()) / row.channels);
        dsax::dsax_close(&info);
    }
    // Without the sound-file module its class is not registered.
    EXPECT_EQ(log.pieces().end()[-2], "-2147221164") << "REGDB_E_CLASSNOTREG";
    EXPECT_EQ(wrap(dir.file("missing.mpg"), "", output, 0), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}
