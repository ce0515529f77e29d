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
        {"take.mov", "out.wav", -1, [](auto in, auto out) { return Extract_DotNet(in, out, nullptr); }},
        {"take.mpg", "out.wav.avi", -1, [](auto in, auto out) { return Extract(in, out, nullptr); }},
        {"take.mp4", "out.wav2.wav", -1, [](auto in, auto out) { return Extract(in, out, nullptr); }},
        {"take.m2t", "out.wav.mp2", -1, [](auto in, auto out) { return Extract(in, out, nullptr); }},
        {"take.mov", "out.wav", -1, [](auto in, auto out) { return Dsax_Extraction(in, out, 0, nullptr); }},
        {"take.mov", "out.wav", -1, [](auto in, auto out) { return Dsax_ExtractionStereo(in, out, 0, nullptr); }},
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
        {"clip.wav", "out.wav", -1, [](auto in, auto out) { return resampleAudioWithRate(in, out, nullptr, 8000); }},
        {"clip.wav", "out.wav", -1, [](auto in, auto out) { return ConvertToWav(in, out, 44100); }},
        {"clip.wav", "out.wav", -1, [](auto in, auto out) { return sliceAudio(in, out, 0, 0.5, 1); }},
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

TEST_F(FileGuardTest, AFileWrittenThatIsTheInputUnderAnyNameFailsTheCallFirst)
{
    enum class Name { Same, HardLink, Symlink };
    const std::string sound = dir.file("sound-source.wav");
    writeShorts(sound, 8000, 1, testSignal(8000, 1, 8000));
    const std::string bytes = fileBytes(sound);
    for (const EntryPoint& entry : entryPoints(wide(dir.file("other.wav")))) {
        for (const Name name : {Name::Same, Name::HardLink, Name::Symlink}) {
            const TempDir each;
            const std::string input = each.file(entry.input);
            const std::string written = each.file(entry.written);
            std::filesystem::copy_file(sound, input);
            std::string output = each.file("out.wav");
            if (name == Name::Same) {
                if (written != output)
                    continue;
                output = input;
            } else if (name == Name::HardLink) {
                std::filesystem::create_hard_link(input, written);
            } else {
                std::filesystem::create_symlink(input, written);
            }
            const std::string what = entry.input + (" > " + written);
            log.captured.pieces.clear();
            EXPECT_EQ(entry.call(wide(input).c_str(), wide(output).c_str()), entry.refused) << what;
            EXPECT_EQ(fileBytes(input), bytes) << what;
            const std::string named = name == Name::Same ? input : written;
            EXPECT_NE(log.joined().find("ZUK: Error. " + named + " is the input " + input + "; nothing written\n"),
                std::string::npos)
                << what;
        }
    }
    // Names that are not UTF-8 are compared as the bytes they stand for.
    const std::string latin1 = dir.file("lat\xE9.wav");
    std::filesystem::copy_file(sound, latin1);
    const std::u16string latin1Wide = zuk::wideFromPath(latin1);
    EXPECT_EQ(resampleAudio(latin1Wide.c_str(), latin1Wide.c_str(), nullptr), -1);
    EXPECT_EQ(fileBytes(latin1), bytes);
    EXPECT_TRUE(fakes.calls().empty());
}

TEST_F(FileGuardTest, AnInputThatIsNoRegularFileIsRefused)
{
    const std::string pipe = dir.file("pipe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::string output = dir.file("out.wav");
    const std::vector<std::pair<std::string, std::string>> inputs{
        {pipe, "a pipe"}, {"/dev/zero", "a device"}, {dir.path().string(), "a folder"}};
    std::vector<EntryPoint> readers = entryPoints(wide(dir.file("missing.wav")));
    readers.push_back({"", "", kRefusedHr, [](auto in, auto) {
                           uint8_t found = 1;
                           const int32_t hr = isAC3(in, 0, &found);
                           return found == 0 ? hr : 0;
                       }});
    readers.push_back({"", "", -1, [](auto in, auto) -> int64_t {
                           try {
                               dsax::dsax_open(in);
                           } catch (const std::runtime_error&) {
                               return -1;
                           }
                           return 0;
                       }});
    for (const auto& [input, kind] : inputs) {
        for (const EntryPoint& entry : readers) {
            log.captured.pieces.clear();
            EXPECT_EQ(entry.call(wide(input).c_str(), wide(output).c_str()), entry.refused) << input;
            EXPECT_NE(
                log.joined().find("ZUK: Error. " + input + " is not a regular file but " + kind), std::string::npos)
                << input;
        }
    }
    // A link to a regular file is read as that file.
    writeShorts(dir.file("clip.wav"), 8000, 1, testSignal(800, 1, 8000));
    std::filesystem::create_symlink(dir.file("clip.wav"), dir.file("link.wav"));
    EXPECT_EQ(resampleAudio(wide(dir.file("link.wav")).c_str(), wide(output).c_str(), nullptr), 0);
    EXPECT_TRUE(fakes.calls().empty());
}

} // namespace
