// MTSExtract and MTSExtract2, and the transport-stream routes of Extract: the
// results, the files left beside the output, which back ends are asked, and
// how. The demultiplexed bytes are compared with ffmpeg's where the stage is
// tested, and the decoded lengths where the decoder is: here, the route.
#include "mts/TsBuilder.h"
#include "support/FakeSiblings.h"
#include "support/MediaFixtures.h"

#include <zuk/zuk.h>

#include <algorithm>
#include <filesystem>
#include <functional>

using namespace zuktest;
using namespace zuktest::mts;

namespace {

using Lines = std::vector<std::string>;

const std::string kQtax = "ZUK: Attempting to use qtax. \n";
const std::string kNoQtax = "ZUK: Ignoring qtax for AVCHD streams, because AC3 causes silent audio to be extracted\n";
const std::string kDsax = "ZUK: Attempting to use dsax. \n";
const std::string kAviRoute = "ZUK: Attempting to send to ACM/AVI wrapper first. \n";
const std::string kAviFailed = "ZUK: ACM/AVI wrapper failed. \n";
const std::string kMfax = "ZUK: Attempting to use mfax. \n";
const std::string kSuccess = "ZUK: Extraction success. \n";
const std::string kGiveUp = "ZUK: Could not extract audio. \n";
const std::string kFailed = "ZUK: Failed. \n";

// The lines that tell which back ends were tried, in order.
Lines chainLines(const CapturingSink& log)
{
    const Lines known{kQtax, kNoQtax, kDsax, kAviRoute, kAviFailed, kMfax, kSuccess, kGiveUp, kFailed};
    Lines lines;
    for (const std::string& piece : log.pieces())
        if (std::find(known.begin(), known.end(), piece) != known.end())
            lines.push_back(piece);
    return lines;
}

using Entry = std::function<int32_t(const zuk_char* input, const zuk_char* output)>;

Entry mtsExtract(int32_t avchd, bool second = false)
{
    return [=](const zuk_char* input, const zuk_char* output) {
        return second ? MTSExtract2(input, output, nullptr, avchd, avchd)
                      : MTSExtract(input, output, nullptr, 0, avchd);
    };
}

int32_t extract(const zuk_char* input, const zuk_char* output)
{
    return Extract(input, output, nullptr);
}

} // namespace

using MtsExtractTest = MtsTest;

TEST_F(MtsExtractTest, EachEntryTriesItsBackEndsInTurnAndTheirResultStands)
{
    const std::string output = dir.file("take.wav");
    const auto copied = [&](const std::string& fixture, const std::string& name) {
        std::filesystem::copy_file(mediaFixture(fixture), dir.file(name), std::filesystem::copy_options::skip_existing);
        return dir.file(name);
    };
    const std::string bdav = copied("bdav-ac3.m2ts", "take.m2ts");
    const std::string plain = copied("ts-mp2.m2t", "take.m2t");
    writeBytes(dir.file("noise.m2t"), undecodableAudio());
    const std::string mfax = "vostrin\tmfax_ExtractAudio\t" + output + ".mp2\t" + output + ".mp2temp1";
    const std::string qtax = "dornalt\tQtax_Extraction\t" + output + ".mp2\t" + output;
    const Lines bdavChain{kQtax, kNoQtax, kDsax, kSuccess};
    const struct {
        const char* what;
        Entry entry;
        std::string input;
        std::vector<std::string> siblings; // asked to answer 3, or -1 for vostrin
        int32_t result;
        Lines chain;
        std::string firstCall = {}; // of the first sibling; empty: none
    } rows[] = {
        // The framing follows the bytes, whatever the file is called.
        {"Extract, plain", extract, copied("ts-mp2.m2t", "plain.mts"), {}, ZUK_OK_UNPADDED, {kQtax, kDsax, kSuccess}},
        {"Extract, BDAV named .m2t", extract, copied("bdav-ac3.m2ts", "bdav.m2t"), {}, ZUK_OK_UNPADDED, bdavChain},
        {"MTSExtract2 answers 0 for any success", mtsExtract(1, true), bdav, {}, ZUK_OK, bdavChain},
        // Only the low byte of the flag counts.
        {"MTSExtract, BDAV", mtsExtract(0x101), bdav, {"dornalt", "quicktime"}, ZUK_OK_UNPADDED, bdavChain},
        {"MTSExtract, plain", mtsExtract(0x100), plain, {"dornalt", "quicktime"}, 3, {kQtax, kSuccess}, qtax},
        // No rewrap to decode: the decoder's result on the elementary stream stands.
        {"MTSExtract, undecodable", mtsExtract(0), dir.file("noise.m2t"), {"vostrin"}, -2,
            {kQtax, kDsax, kAviRoute, kAviFailed}},
        {"MTSExtract2, undecodable", mtsExtract(0, true), dir.file("noise.m2t"), {"vostrin"}, ZUK_E_EXTRACT,
            {kQtax, kDsax, kMfax, kGiveUp}, mfax},
        {"MTSExtract, missing", mtsExtract(0), dir.file("missing.m2t"), {}, ZUK_E_EXTRACT, {}},
        {"MTSExtract2, missing", mtsExtract(0, true), dir.file("missing.m2t"), {}, ZUK_E_OPEN, {kFailed}},
    };
    for (const auto& row : rows) {
        log.captured.pieces.clear();
        FakeSiblings fakes(row.siblings);
        fakes.set("DORNALT_RESULT", "3");
        fakes.set("VOSTRIN_RESULT", "-1");
        EXPECT_EQ(row.entry(wide(row.input).c_str(), wide(output).c_str()), row.result) << row.what;
        EXPECT_EQ(chainLines(log), row.chain) << row.what;
        const bool demultiplexed = !row.chain.empty() && row.chain[0] == kQtax;
        EXPECT_EQ(std::filesystem::exists(output + ".mp2"), demultiplexed) << row.what << ": intermediates stay";
        EXPECT_EQ(std::filesystem::exists(output + ".mp2.m2v"), demultiplexed) << row.what;
        EXPECT_FALSE(std::filesystem::exists(output + ".avi")) << row.what;
        Lines calls;
        for (const std::string& call : row.siblings.empty() ? Lines{} : fakes.callsOf(row.siblings[0]))
            if (!call.ends_with("loaded"))
                calls.push_back(call);
        EXPECT_EQ(calls.empty() ? "" : calls.front(), row.firstCall) << row.what;
        std::filesystem::remove(output + ".mp2");
        std::filesystem::remove(output + ".mp2.m2v");
    }
}

TEST_F(MtsExtractTest, FailuresToWriteTheIntermediatesReachTheCaller)
{
    const std::string input = dir.file("take.m2t");
    std::filesystem::copy_file(mediaFixture("ts-mp2.m2t"), input);
    const std::string unwritable = dir.file("missing/take.wav");
    EXPECT_EQ(Extract(wide(input).c_str(), wide(unwritable).c_str(), nullptr), ZUK_E_PES_FILE);
    EXPECT_EQ(MTSExtract(wide(input).c_str(), nullptr, nullptr, 0, 0), ZUK_E_PES_FILE);
    EXPECT_EQ(MTSExtract(nullptr, wide(unwritable).c_str(), nullptr, 0, 0), ZUK_E_EXTRACT);
    FileSizeLimit limit(10000);
    EXPECT_EQ(Extract(wide(input).c_str(), wide(dir.file("take.wav")).c_str(), nullptr), ZUK_E_WRITE);
}
