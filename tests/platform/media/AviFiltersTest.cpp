// The AVI Splitter, AVI Mux and File writer in graphs built as a caller
// builds them, checked against what the ffmpeg command line reads back.
#include "platform/com/Com.h"
#include "platform/media/GraphRig.h"
#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace zuktest;

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

// The mux keeps its inputs' order and the codec data decoding needs (Huffyuv
// tables, ADPCM coefficients); a run ends with the fault when there is no
// room for the index, written once every input has ended.
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

// Graph code's tests show a file that is no AVI refused.
TEST(AviSplitter, RefusesWhatItCannotReadAndEndsAtATruncatedFile)
{
    TempDir dir;
    const std::string vanished = dir.file("vanished.avi");
    std::filesystem::copy_file(mediaFixture("avi-pcm.avi"), vanished);
    AviGraph refusing;
    const auto reader = refusing.source(vanished);
    std::filesystem::remove(vanished);
    const auto connect = [&refusing](IPin* output) {
        const auto splitter = refusing.add(CLSID_AviSplitter, u"AVI Splitter");
        return refusing.graph->ConnectDirect(output, pin(splitter.get(), u"input pin").get(), nullptr);
    };
    EXPECT_EQ(connect(pin(reader.get(), u"Output").get()), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
        << "a file gone by the time it is read";
    EXPECT_EQ(connect(pin(refusing.mux.get(), u"AVI Out").get()), VFW_E_NO_TRANSPORT) << "a byte stream naming no file";

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
