// Every entry point refuses, before it opens anything, to write a file that is
// its input under any name, and to read what is no regular file.
#include "mts/MtsLog.h"
#include "mts/TsToMp2.h"
#include "platform/WideText.h"
#include "platform/com/HResult.h"
#include "support/FakeSiblings.h"
#include "support/LogCapture.h"
#include "support/TestFiles.h"

#include <zuk/dsax.h>
#include <zuk/zuk.h>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <tuple>

using namespace zuktest;

namespace {

using Call = std::function<int64_t(const zuk_char* in, const zuk_char* out)>;

struct EntryPoint {
    const char* input;   // named so that the extension picks the route
    const char* written; // the file the call writes that is made the input
    int64_t refused;
    Call call;
};

const int64_t kRefusedHr = E_INVALIDARG;

// `other` is the second file of the calls that read two.
std::vector<EntryPoint> entryPoints(const std::u16string& other)
{
    return {
        {"clip.wav", "out.wav", -1, [](auto in, auto out) { return Extract(in, out, nullptr); }},
        {"take.mpg", "out.wav.avi", -1, [](auto in, auto out) { return Extract(in, out, nullptr); }},
        {"take.mp4", "out.wav2.wav", -1, [](auto in, auto out) { return Extract(in, out, nullptr); }},
        {"take.m2t", "out.wav.mp2", -1, [](auto in, auto out) { return Extract(in, out, nullptr); }},
        {"take.mov", "out.wav", -1, [](auto in, auto out) { return Dsax_Extraction(in, out, 0, nullptr); }},
        {"take.mov", "out.wav", kRefusedHr, [](auto in, auto out) { return DecodeToAVIWrapper(in, out, 0); }},
        {"take.avi", "out.wav", kRefusedHr,
            [=](auto in, auto out) { return ReplaceAudioAvi(in, other.c_str(), out, 0); }},
        {"sound.wav", "out.wav", kRefusedHr,
            [=](auto in, auto out) { return ReplaceAudioAvi(other.c_str(), in, out, 0); }},
        {"take.m2t", "out.wav.avi", -1, [](auto in, auto out) { return MTSExtract(in, out, nullptr, 0, 0); }},
        {"take.m2t", "out.wav.mp2.m2v", -1, [](auto in, auto out) { return MTSExtract2(in, out, nullptr, 0, 0); }},
        {"take.m2t", "out.wav", -1,
            [](auto in, auto out) {
                return zuk::EXTRACT_TS_TO_MP2(*zuk::pathFromWide(in), *zuk::pathFromWide(out), false);
            }},
        {"song.mp3", "out.wav", -1, [](auto in, auto out) { return Qtax_Extraction(in, out, nullptr); }},
        {"take.mov", "take.movtemp1", -1, [](auto in, auto out) { return mfax_extract_wrapper(in, out, nullptr); }},
        {"take.r3d", "out.wav", -1, [](auto in, auto out) { return R3DResample(in, out, nullptr); }},
        {"clip.wav", "out.wav", -1,
            [](auto in, auto out) { return sliceAudioWithPadding(in, 0.1, out, 0, 0.5, 1, 0); }},
    };
}

struct FileGuardTest : ::testing::Test {
    TempDir dir;
    CapturingSink log;
    // Loaded only if a call got as far as a back end.
    FakeSiblings fakes{"quicktime", "dornalt", "vostrin", "lurrow"};
    FileGuardTest() { zuk::setMtsLogger(LogString); }
    ~FileGuardTest() override { zuk::setMtsLogger(nullptr); }
};

// Every entry point checks each file it writes against what it reads, before
// it opens anything. The rules: the input under its own name, a link of either
// kind, or a name not UTF-8 (compared as bytes) is the input; pipes, devices
// and folders are no regular files; a link to a regular file is that file.
TEST_F(FileGuardTest, EveryEntryPointRefusesToWriteItsInputOrReadWhatIsNoFile)
{
    const std::string clip = dir.file("clip.wav");
    writeShorts(clip, 8000, 1, testSignal(8000, 1, 8000));
    const std::string bytes = fileBytes(clip);
    const std::string latin1 = dir.file("lat\xE9.wav");
    std::filesystem::copy_file(clip, latin1);
    std::filesystem::create_symlink(clip, dir.file("link.wav"));
    ASSERT_EQ(mkfifo(dir.file("pipe").c_str(), 0600), 0);
    const std::string folder = dir.path().string();
    const auto resample = [](auto in, auto out) { return resampleAudio(in, out, nullptr); };
    const auto isAc3 = [](auto in, auto) {
        uint8_t found = 1;
        return isAC3(in, 0, &found);
    };
    const auto open = [](auto in, auto) -> int64_t {
        try {
            dsax::dsax_open(in);
        } catch (const std::runtime_error&) {
            return -1;
        }
        return 0;
    };
    // Input, output, result, what is logged.
    const std::vector<std::tuple<std::string, std::string, int64_t, std::string, Call>> rules{
        {clip, clip, -1, clip + " is the input " + clip, resample},
        {clip, dir.file("link.wav"), -1, dir.file("link.wav") + " is the input " + clip, resample},
        {latin1, latin1, -1, latin1 + " is the input " + latin1, resample},
        {dir.file("pipe"), dir.file("out.wav"), -1, dir.file("pipe") + " is not a regular file but a pipe", resample},
        {"/dev/zero", dir.file("out.wav"), -1, "/dev/zero is not a regular file but a device", resample},
        {folder, dir.file("out.wav"), kRefusedHr, folder + " is not a regular file but a folder", isAc3},
        {folder, dir.file("out.wav"), -1, folder + " is not a regular file but a folder", open},
        {dir.file("link.wav"), dir.file("out.wav"), 0, "", resample},
    };
    for (const auto& [input, output, result, logged, call] : rules) {
        log.captured.pieces.clear();
        EXPECT_EQ(call(zuk::wideFromPath(input).c_str(), zuk::wideFromPath(output).c_str()), result) << input;
        EXPECT_NE(log.joined().find(logged), std::string::npos) << input;
        EXPECT_EQ(fileBytes(clip), bytes);
    }
    for (const EntryPoint& entry : entryPoints(wide(dir.file("other.wav")))) {
        const TempDir each;
        const std::string input = each.file(entry.input);
        const std::string written = each.file(entry.written);
        std::filesystem::copy_file(clip, input);
        std::filesystem::create_hard_link(input, written);
        const std::string what = entry.input + (" > " + written);
        log.captured.pieces.clear();
        EXPECT_EQ(entry.call(wide(input).c_str(), wide(each.file("out.wav")).c_str()), entry.refused) << what;
        EXPECT_EQ(fileBytes(input), bytes) << what;
        EXPECT_NE(log.joined().find("ZUK: Error. " + written + " is the input " + input + "; nothing written\n"),
            std::string::npos)
            << what;
    }
    EXPECT_TRUE(fakes.calls().empty());
}

} // namespace
