// The AVI Splitter, AVI Mux and File writer in graphs built as a caller
// builds them, checked against what the ffmpeg command line reads back.
#include "platform/com/Com.h"
#include "platform/media/GraphRig.h"
#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace zuktest;
using zuk::media::BasePin;
using zuk::media::MediaType;
using zuk::media::pcmAudioType;

namespace {

// File source -> [splitters] -> ... -> AVI Mux -> File writer.
struct AviGraph {
    ComPtr<IGraphBuilder> graph = create<IGraphBuilder>(CLSID_FilterGraph);
    ComPtr<IBaseFilter> mux = add(CLSID_AviDest, u"AVI Mux");
    ComPtr<IBaseFilter> writer = add(CLSID_FileWriter, u"File writer");

    ComPtr<IBaseFilter> add(const CLSID& clsid, const char16_t* name)
    {
        auto filter = create<IBaseFilter>(clsid);
        EXPECT_TRUE(SUCCEEDED(graph->AddFilter(filter.get(), name)));
        return filter;
    }

    ComPtr<IBaseFilter> source(const std::string& file)
    {
        ComPtr<IBaseFilter> filter;
        EXPECT_EQ(graph->AddSourceFilter(wide(file).c_str(), nullptr, filter.put()), S_OK) << file;
        return filter;
    }

    // A File Source and an AVI Splitter reading `file`.
    ComPtr<IBaseFilter> split(const std::string& file)
    {
        const auto reader = source(file);
        auto splitter = add(CLSID_AviSplitter, u"AVI Splitter");
        EXPECT_EQ(graph->Connect(pin(reader.get(), u"Output").get(), pin(splitter.get(), u"input pin").get()), S_OK);
        return splitter;
    }

    HRESULT connect(IBaseFilter* from, const char16_t* output, const char16_t* input)
    {
        return graph->Connect(pin(from, output).get(), pin(mux.get(), input).get());
    }

    HRESULT writeTo(const std::string& path)
    {
        EXPECT_EQ(writer.as<IFileSinkFilter>()->SetFileName(wide(path).c_str(), nullptr), S_OK);
        return graph->Connect(pin(mux.get(), u"AVI Out").get(), pin(writer.get(), u"in").get());
    }

    long run() { return runToEnd(graph.get()).code; }
};

// What ffmpeg decodes of the first video stream, as one checksum.
std::string decodedVideoMd5(const std::string& path)
{
    return commandOutput({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:v", "-f", "md5", "-"});
}

// The packets of the first video stream: "dts,size" a line.
std::string videoPackets(const std::string& path)
{
    return commandOutput(
        {"ffprobe", "-v", "error", "-select_streams", "v", "-show_entries", "packet=dts,size", "-of", "csv=p=0", path});
}

} // namespace

// Graph code copies video packet for packet and stores decoded sound (its
// tests show); here the mux keeps its inputs' order and the codec data that
// decoding needs (Huffyuv tables, ADPCM coefficients), and a run ends with
// the fault when its file cannot be written whole: here for want of room for
// the index, written once every input has ended.
TEST(AviFilters, StoreStreamsInInputOrderWithTheirCodecDataAndEndWhenTheFileCannotBeWrittenWhole)
{
    TempDir dir;
    const std::string input = mediaFixture("avi-audio-first.avi");
    const std::string output = dir.file("swapped.avi"), limited = dir.file("limited.avi");
    const auto build = [&](AviGraph& avi, const std::string& path) {
        const auto splitter = avi.split(input);
        ASSERT_EQ(avi.connect(splitter.get(), u"Stream 01", u"Input 01"), S_OK);
        ASSERT_EQ(avi.connect(splitter.get(), u"Stream 00", u"Input 02"), S_OK);
        ASSERT_TRUE(pin(avi.mux.get(), u"Input 03")) << "a free input waits once the others are taken";
        ASSERT_EQ(avi.writeTo(path), S_OK);
    };
    AviGraph whole, cut;
    build(whole, output);
    EXPECT_EQ(whole.run(), EC_COMPLETE);
    EXPECT_EQ(ffprobeStreams(output), (std::vector<std::string>{"video:huffyuv", "audio:adpcm_ms"}));
    EXPECT_EQ(decodedVideoMd5(output), decodedVideoMd5(input));
    const std::vector<int16_t> sourceSound = ffmpegDecode(input);
    EXPECT_GE(sourceSound.size(), 2u * 22050);
    EXPECT_EQ(ffmpegDecode(output), sourceSound);

    build(cut, limited);
    const uint64_t limit = std::filesystem::file_size(output) - 16;
    RunEnd end;
    {
        const FileSizeLimit room(limit);
        end = runToEnd(cut.graph.get());
    }
    EXPECT_EQ(end.code, EC_ERRORABORT);
    EXPECT_EQ(end.abortReason, HRESULT_FROM_WIN32(ERROR_WRITE_FAULT));
    EXPECT_LE(std::filesystem::file_size(limited), limit);
}

namespace {

struct ScriptedBuffer {
    std::vector<BYTE> bytes;
    REFERENCE_TIME start;
};

// Delivers the buffers, in order, then ends the stream.
ScriptedSource::Script delivering(std::vector<ScriptedBuffer> buffers)
{
    return [buffers = std::move(buffers), next = size_t{0}](BasePin& out) mutable -> HRESULT {
        if (next == buffers.size()) {
            out.deliverEndOfStream();
            return S_FALSE;
        }
        const ScriptedBuffer& buffer = buffers[next++];
        return out.deliver(buffer.bytes.data(), static_cast<long>(buffer.bytes.size()), buffer.start);
    };
}

// Uncompressed 4x4 RGB pictures, one frame every 1/25 s.
MediaType tinyRgbVideo()
{
    zuk::media::VideoStreamInfo stream;
    stream.width = stream.height = 4;
    stream.frameRateNumerator = 25;
    stream.frameRateDenominator = 1;
    return zuk::media::videoStreamType(stream);
}

} // namespace

TEST(AviMux, StoresEveryBufferWhateverTimesItCarries)
{
    TempDir dir;
    const std::string output = dir.file("scripted.avi");
    // Frames at 0, 1, 1 again, back to 0, then 5: the repeated and backward
    // times follow the one before, the gap stays.
    std::vector<ScriptedBuffer> frames;
    std::string pictures;
    for (const REFERENCE_TIME frame : {0, 1, 1, 0, 5}) {
        frames.push_back({std::vector<BYTE>(48, static_cast<BYTE>(frames.size() + 1)), frame * 400000});
        pictures.append(48, static_cast<char>(frames.size()));
    }
    AviGraph avi;
    const auto video = makeComObject<ScriptedSource>(tinyRgbVideo(), delivering(frames));
    avi.graph->AddFilter(video.get(), u"video");
    ASSERT_EQ(avi.connect(video.get(), u"Out", u"Input 01"), S_OK);
    ASSERT_EQ(avi.writeTo(output), S_OK);
    EXPECT_EQ(avi.run(), EC_COMPLETE);

    EXPECT_EQ(videoPackets(output), "0,48\n1,48\n2,48\n3,48\n5,48\n");
    EXPECT_EQ(commandOutput({"ffmpeg", "-nostdin", "-v", "error", "-i", output, "-map", "0:v", "-c", "copy", "-f",
                  "rawvideo", "-"}),
        pictures);
}

// A file that cannot be created fails the run with why, leaving the graph
// stopped and nothing to wait for; the file is made anew only when the graph runs.
TEST(FileWriter, ChecksItsNameAndCreatesTheFileOnlyWhenTheGraphRuns)
{
    TempDir dir;
    AviGraph avi;
    const auto sink = avi.writer.as<IFileSinkFilter>();
    const auto control = avi.graph.as<IMediaControl>();
    EXPECT_EQ(control->Run(), E_UNEXPECTED) << "no file named";
    EXPECT_EQ(sink->SetFileName(nullptr, nullptr), E_POINTER);
    const char16_t loneSurrogate[] = {u'a', 0xD800, u'b', 0};
    EXPECT_EQ(sink->SetFileName(loneSurrogate, nullptr), HRESULT_FROM_WIN32(ERROR_INVALID_NAME));
    for (const auto& [path, result] : {std::pair{dir.path().string(), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)},
             std::pair{dir.file("no/such/folder/out.avi"), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)}}) {
        EXPECT_EQ(sink->SetFileName(wide(path).c_str(), nullptr), S_OK);
        EXPECT_EQ(control->Run(), result) << path;
        OAFilterState state = State_Running;
        EXPECT_EQ(control->GetState(0, &state), S_OK);
        EXPECT_EQ(state, State_Stopped);
        long code = 0;
        EXPECT_EQ(avi.graph.as<IMediaEvent>()->WaitForCompletion(INFINITE, &code), VFW_E_WRONG_STATE);
    }
    const std::string path = dir.file("out.avi");
    writeShorts(path, 8000, 1, std::vector<int16_t>(100, 7)); // an older file of that name
    ASSERT_EQ(sink->SetFileName(wide(path).c_str(), nullptr), S_OK);
    EXPECT_GT(std::filesystem::file_size(path), 0u) << "naming the file leaves it alone";
    EXPECT_EQ(control->Run(), S_OK);
    control->Stop();
    EXPECT_EQ(std::filesystem::file_size(path), 0u) << "running creates it anew";
}

TEST(AviSplitter, RefusesWhatItCannotReadAndEndsAtATruncatedFile)
{
    TempDir dir;
    const std::string vanished = dir.file("vanished.avi");
    std::filesystem::copy_file(mediaFixture("avi-pcm.avi"), vanished);
    const struct {
        std::string file;
        HRESULT code;
    } refusals[] = {
        {mediaFixture("garbage.bin"), VFW_E_INVALID_FILE_FORMAT}, {vanished, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)}};
    for (const auto& refusal : refusals) {
        AviGraph avi;
        const auto reader = avi.source(refusal.file);
        const auto splitter = avi.add(CLSID_AviSplitter, u"AVI Splitter");
        if (refusal.file == vanished)
            std::filesystem::remove(vanished);
        EXPECT_EQ(avi.graph->ConnectDirect(
                      pin(reader.get(), u"Output").get(), pin(splitter.get(), u"input pin").get(), nullptr),
            refusal.code)
            << refusal.file;
    }
    {
        AviGraph avi; // a byte stream that names no file
        const auto splitter = avi.add(CLSID_AviSplitter, u"AVI Splitter");
        EXPECT_EQ(avi.graph->ConnectDirect(
                      pin(avi.mux.get(), u"AVI Out").get(), pin(splitter.get(), u"input pin").get(), nullptr),
            VFW_E_NO_TRANSPORT);
    }

    // The first half of a file: what it holds comes through, then the run ends.
    const std::string output = dir.file("half.avi");
    AviGraph avi;
    const auto splitter = avi.split(mediaFixture("truncated.avi"));
    ASSERT_EQ(avi.connect(splitter.get(), u"Stream 00", u"Input 01"), S_OK);
    ASSERT_EQ(avi.writeTo(output), S_OK);
    EXPECT_EQ(avi.run(), EC_COMPLETE);
    const std::string whole = videoPackets(mediaFixture("avi-24fps.avi"));
    const std::string half = videoPackets(output);
    EXPECT_GT(half.size(), whole.size() / 3);
    ASSERT_LT(half.size(), whole.size());
    // Every packet but the last, which is what is left of it in the file.
    const std::string allButLast = half.substr(0, half.rfind('\n', half.size() - 2) + 1);
    EXPECT_EQ(whole.substr(0, allButLast.size()), allButLast);
    EXPECT_NE(whole.substr(0, half.size()), half);
}
