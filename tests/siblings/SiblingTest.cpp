// The optional back ends: loaded by name, called, and unloaded on every path;
// missing ones are ordinary failure codes.
#include "platform/SystemVersion.h"
#include "support/FakeSiblings.h"
#include "support/LogCapture.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <tuple>

using namespace zuktest;

namespace {

using Lines = std::vector<std::string>;
using Entry = int32_t (*)(const zuk_char*, const zuk_char*, ProgressCallback);

std::vector<float> progressSeen;

int recordProgress(float percent)
{
    progressSeen.push_back(percent);
    return 0;
}

// What the fake of `library` logs when it is loaded, makes `calls` and is unloaded.
Lines session(const std::string& library, Lines calls = {})
{
    calls.insert(calls.begin(), library + "\tloaded");
    calls.push_back(library + "\tunloaded");
    return calls;
}

Lines operator+(Lines first, const Lines& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

template <uint32_t Major, uint32_t Minor>
int32_t onSystem(const zuk_char* input, const zuk_char* output, ProgressCallback progress)
{
    zuk::setSystemVersionForTesting(zuk::SystemVersion{Major, Minor});
    const int32_t result = mfax_extract_wrapper(input, output, progress);
    zuk::setSystemVersionForTesting(std::nullopt);
    return result;
}

int32_t r3dInUtf8Locale(const zuk_char* input, const zuk_char* output, ProgressCallback progress)
{
    std::setlocale(LC_CTYPE, "C.UTF-8");
    const int32_t result = R3DResample(input, output, progress);
    std::setlocale(LC_CTYPE, "C");
    return result;
}

} // namespace

// Each row: a call with the fakes offered and what they are told; its result,
// every load, call and unload of the fakes, the progress reported, and the
// output: its length (-1: none written) and the sound it starts with, silence after.
TEST(Siblings, EachBackEndIsCalledOnlyWhenAllItNeedsIsThere)
{
    TempDir dir;
    CapturingSink log;
    // A WAV of `frames` frames, as a back end might write it.
    const auto soundFile = [&](const std::string& name, int64_t frames, int rate = 48000, int channels = 1) {
        writeShorts(dir.file(name), rate, channels, testSignal(frames, channels, rate));
        return dir.file(name);
    };
    struct Row {
        Entry entry;
        Lines offered;
        std::vector<std::pair<std::string, std::string>> settings;
        std::string input; // "": null
        std::string output;
        int32_t result;
        Lines fakeLog;
        std::vector<float> progress;
        std::string logged = {}; // a part of the library's log
        int64_t frames = -1;
        std::string source = {};
    };
    const Entry replace = [](const zuk_char*, const zuk_char*, ProgressCallback) {
        return ReplaceAudioMov(7, -2, 2147483647);
    };
    const Entry mfax = mfax_extract_wrapper;
    const std::string made = soundFile("made.wav", 480);
    const std::string mov = dir.file("clip.mov");
    const std::string r3d = dir.file("Bänd.r3d");
    const std::string out = dir.file("out.wav");
    const Lines all{"quicktime", "dornalt", "vostrin", "lurrow"};
    const Lines qt = session("QTMLClient");
    const std::string qtax = "dornalt\tQtax_Extraction\t" + mov + "\t" + out;
    const std::string extract = "vostrin\tmfax_ExtractAudio\t" + mov + "\t" + mov + "temp1";
    const Lines padded = session("vostrin", {extract, "vostrin\tmfax_GetFrameRate\t" + mov});
    const std::vector<float> half{50}, mfaxFailed{0, 50}, mfaxDone{0, 50, 0, 100};
    const std::string r3dStart = "----R3DResample Function -----\nAquiring handles to DLL, and function\n "
                                 "------Get pointers for R3D related functions-------";
    const auto padding = [&](const char* rate, int64_t frames, int64_t paddedFrames) {
        const std::string decoded = soundFile("decoded" + std::to_string(frames) + ".wav", frames);
        return Row{mfax, {"vostrin"}, {{"VOSTRIN_WAV", decoded}, {"VOSTRIN_RATE", rate}}, mov, out, 0, padded, mfaxDone,
            {}, paddedFrames, decoded};
    };
    const std::vector<Row> rows{
        // QuickTime is checked and let go before its back end is loaded.
        {Qtax_Extraction, {}, {}, mov, out, -1, {}, {}, "Checking if Quicktime is installed\nQuicktime Not Found\n"},
        {Qtax_Extraction, {"dornalt"}, {}, mov, out, -1, {}, {}},
        {Qtax_Extraction, {"quicktime"}, {}, mov, out, -1, qt, {}, "Quicktime installed\n"},
        {Qtax_Extraction, {"quicktime", "dornalt-bare"}, {}, mov, out, -1, qt + session("dornalt"), {}},
        {Qtax_Extraction, {"quicktime", "dornalt"}, {{"DORNALT_WAV", made}}, mov, out, 0,
            qt + session("dornalt", {qtax}), half, {}, 480, made},
        {Qtax_Extraction, {"quicktime", "dornalt"}, {{"DORNALT_RESULT", "2147483647"}}, mov, out, 2147483647,
            qt + session("dornalt", {qtax}), half},
        {replace, {"quicktime", "dornalt"}, {{"DORNALT_RESULT", "-31"}}, mov, out, -31,
            qt + session("dornalt", {"dornalt\tReplaceAudioMov\t7\t-2\t2147483647"}), {}},
        // A null path reaches no back end.
        {Qtax_Extraction, all, {}, "", out, -1, {}, {}},
        {mfax, all, {}, mov, "", -1, {}, {}},
        {R3DResample, all, {}, "", out, -1, {}, {}},
        // Systems older than 6.1 are refused; plain sound files are left to the resampler.
        {onSystem<6, 0>, {"vostrin"}, {}, mov, out, -2, {}, {}},
        {onSystem<5, 2>, {"vostrin"}, {}, mov, out, -2, {}, {}},
        {mfax, {"vostrin"}, {}, made, out, -4, {}, {}},
        {mfax, {}, {}, mov, out, -1, {}, {}},
        {mfax, {"vostrin-bare"}, {}, mov, out, -1, session("vostrin"), {}},
        {mfax, {"vostrin-extract-only"}, {}, mov, out, -1, session("vostrin"), {}},
        // Its failures pass on, and stop before the frame rate is asked; only
        // its 0 is success, a positive code is not one of ours.
        {mfax, {"vostrin"}, {{"VOSTRIN_RESULT", "3"}}, mov, out, -4, session("vostrin", {extract}), mfaxFailed,
            "ZUK_MFAX: Error. mfax_ExtractAudio failed with 3\n"},
        {mfax, {"vostrin"}, {{"VOSTRIN_RESULT", "-9"}}, mov, out, -9, session("vostrin", {extract}), mfaxFailed,
            "ZUK_MFAX: . \n"},
        {mfax, {"vostrin"}, {{"VOSTRIN_WAV", made}, {"VOSTRIN_RATE", "25/1"}}, mov, dir.file("missing/out.wav"), -1,
            padded, {0, 50, 0}},
        // Success claimed, nothing written: no sound of an earlier call is taken for it.
        {mfax, {"vostrin"}, {{"VOSTRIN_RATE", "25/1"}}, mov, out, -1, session("vostrin", {extract}), mfaxFailed},
        // Padded to whole video frames; without a frame rate the length stays.
        padding("25/1", 1000, 1920),
        padding("25/1", 3840, 3840),
        padding("30000/1001", 8000, 8008),
        padding("25/0", 1000, 1000),
        {mfax, {"vostrin"}, {{"VOSTRIN_WAV", soundFile("stereo.wav", 1234, 44100, 2)}}, mov, out, 0, padded, mfaxDone,
            {}, 1343},
        // R3D gets its input as multibyte text of the caller's locale.
        {R3DResample, {}, {}, r3d, out, -1, {}, {}, r3dStart + "lurrow pointer is nullCould not get pointer"},
        {R3DResample, {"lurrow-bare"}, {}, r3d, out, -1, session("lurrow"), {},
            r3dStart + "Could not get function pointerCould not get pointer"},
        {R3DResample, {"lurrow"}, {}, r3d, out, -4, session("lurrow"), {},
            "Could not convert from univode to multibyte filename representation\n"},
        {r3dInUtf8Locale, {"lurrow"}, {{"LURROW_WAV", made}, {"LURROW_RESULT", "3"}}, r3d, out, 3,
            session("lurrow", {"lurrow\tresampleR3DAudio\t" + r3d + "\t" + out}), half,
            r3dStart + "Successfully acquired handles" + r3d +
                "\n Extracting and Resampling \nFreeing String buffer\nFreeing Library Handle\n",
            480, made},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(&row - rows.data());
        FakeSiblings fakes(row.offered);
        for (const auto& [name, value] : row.settings)
            fakes.set(name, value);
        std::filesystem::remove(out);
        progressSeen.clear();
        log.captured.pieces.clear();
        const std::u16string input = wide(row.input);
        const std::u16string output = wide(row.output);
        EXPECT_EQ(row.entry(row.input.empty() ? nullptr : input.c_str(), row.output.empty() ? nullptr : output.c_str(),
                      recordProgress),
            row.result);
        EXPECT_EQ(fakes.calls(), row.fakeLog);
        EXPECT_EQ(progressSeen, row.progress);
        EXPECT_NE(log.joined().find(row.logged), std::string::npos) << log.joined();
        EXPECT_EQ(std::filesystem::exists(row.output), row.frames >= 0);
        if (row.frames < 0)
            continue;
        const Sound written = readShorts(row.output);
        EXPECT_EQ(std::tuple(written.info.format, written.info.samplerate, written.info.channels, written.frames()),
            std::tuple(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 1, row.frames));
        std::vector<int16_t> expected = row.source.empty() ? written.samples : readShorts(row.source).samples;
        expected.resize(written.samples.size()); // silence after the source
        EXPECT_EQ(written.samples, expected);
    }
    EXPECT_TRUE(std::filesystem::exists(mov + "temp1")) << "the intermediate files stay beside the input";
    EXPECT_TRUE(std::filesystem::exists(mov + "temp2"));
}
