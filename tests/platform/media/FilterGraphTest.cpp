// The filter graph on real media: building the grabbing graph as graph code
// does, running it to the end or in small steps, seeking, and its failures.
#include "platform/com/Com.h"
#include "platform/media/FilterRegistry.h"
#include "platform/media/GraphRig.h"
#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <future>
#include <stdexcept>
#include <thread>

using namespace zuktest;
using zuk::media::MediaType;
using zuk::media::pcmAudioType;

namespace {

// The converter, created by its class id (the device enumerator's tests show
// graph code finds it by name).
ComPtr<IBaseFilter> findPcmConverter()
{
    for (const zuk::media::FilterClass& filter : zuk::media::filterClasses())
        if (std::u16string_view(filter.friendlyName) == u"PCM")
            return create<IBaseFilter>(filter.clsid);
    return {};
}

struct GrabbingGraph {
    ComPtr<IGraphBuilder> graph = create<IGraphBuilder>(CLSID_FilterGraph);
    ComPtr<IMediaControl> control = graph.as<IMediaControl>();
    ComPtr<IMediaEvent> events = graph.as<IMediaEvent>();
    ComPtr<IMediaSeeking> seeking = graph.as<IMediaSeeking>();
    ComPtr<IBaseFilter> source, grabber, converter, renderer;
    ComPtr<Collector> collector;

    // File Source -> (decoder) -> [PCM at rate/channels] -> Sample Grabber -> Null Renderer.
    HRESULT build(const std::string& file, int channels, std::optional<int> convertToRate)
    {
        collector = makeComObject<Collector>(channels);
        if (HRESULT hr = graph->AddSourceFilter(wide(file).c_str(), nullptr, source.put()); FAILED(hr))
            return hr;
        grabber = addPcmGrabber(graph.get(), collector.get());
        if (HRESULT hr = graph->Connect(pin(source.get(), u"Output").get(), pin(grabber.get(), u"In").get());
            FAILED(hr))
            return hr;
        if (convertToRate)
            if (HRESULT hr = insertConverter(*convertToRate, channels); FAILED(hr))
                return hr;
        renderer = create<IBaseFilter>(CLSID_NullRenderer);
        graph->AddFilter(renderer.get(), u"Null Renderer");
        if (HRESULT hr = graph->Connect(pin(grabber.get(), u"Out").get(), pin(renderer.get(), u"In").get()); FAILED(hr))
            return hr;
        graph.as<IMediaFilter>()->SetSyncSource(nullptr);
        collector->control = control.get();
        return S_OK;
    }

    HRESULT insertConverter(int rate, int channels)
    {
        converter = findPcmConverter();
        if (!converter)
            return E_FAIL;
        graph->AddFilter(converter.get(), u"PCM");
        const ComPtr<IPin> grabberIn = pin(grabber.get(), u"In");
        ComPtr<IPin> upstream;
        grabberIn->ConnectedTo(upstream.put());
        graph->Disconnect(upstream.get());
        graph->Disconnect(grabberIn.get());
        if (HRESULT hr = graph->Connect(upstream.get(), pin(converter.get(), u"In").get()); FAILED(hr))
            return hr;
        if (HRESULT hr = graph->Connect(pin(converter.get(), u"Out").get(), grabberIn.get()); FAILED(hr))
            return hr;
        const auto config = pin(converter.get(), u"Out").as<IAMStreamConfig>();
        AM_MEDIA_TYPE* format = nullptr;
        if (HRESULT hr = config->GetFormat(&format); FAILED(hr))
            return hr;
        auto* wave = reinterpret_cast<WAVEFORMATEX*>(format->pbFormat);
        wave->nChannels = static_cast<WORD>(channels);
        wave->nSamplesPerSec = static_cast<DWORD>(rate);
        wave->wBitsPerSample = 16;
        wave->nBlockAlign = static_cast<WORD>(channels * 2);
        wave->nAvgBytesPerSec = static_cast<DWORD>(rate * channels * 2);
        const HRESULT hr = config->SetFormat(format);
        DeleteMediaType(format);
        return hr;
    }

    long runToEnd() { return zuktest::runToEnd(graph.get()).code; }
};

struct Media {
    std::string file;
    int channels;
};

} // namespace

class GrabbedAudio : public ::testing::TestWithParam<Media> {};

TEST_P(GrabbedAudio, MatchesTheReferenceDecodeAt48k)
{
    const Media media = GetParam();
    const std::string path = mediaFixture(media.file);
    GrabbingGraph graph;
    ASSERT_EQ(graph.build(path, media.channels, 48000), S_OK);
    graph.collector->control = nullptr;
    EXPECT_EQ(graph.runToEnd(), EC_COMPLETE);
    const std::vector<int16_t> reference = ffmpegDecodeAt(path, 48000, media.channels);
    const auto& grabbed = graph.collector->samples;
    EXPECT_GT(correlation(grabbed, reference), 0.999);
    EXPECT_NEAR(static_cast<double>(grabbed.size()), static_cast<double>(reference.size()), 8192.0 * media.channels)
        << "lengths differ by more than a buffer";
    ASSERT_FALSE(graph.collector->times.empty());
    EXPECT_NEAR(graph.collector->times.front(), 0.0, 0.05);
    EXPECT_EQ(graph.runToEnd(), EC_COMPLETE) << "no reader may wait for an end that already came";
}

INSTANTIATE_TEST_SUITE_P(Containers, GrabbedAudio,
                         ::testing::Values(Media{"mov-aac.mov", 2}, Media{"mp4-aac.mp4", 1}, Media{"avi-pcm.avi", 2},
                                           Media{"mpeg-ps.mpg", 2}, Media{"flac.flac", 2}, Media{"rate-8000.wav", 1},
                                           Media{"rate-192000.wav", 1}, Media{"channels-6.wav", 6},
                                           Media{"wav-float.wav", 2}, Media{"truncated.mp4", 1},
                                           Media{"two-audio.mkv", 1} /* the first of two */));

TEST(FilterGraph, RenderFileSaysWhetherAFileCanBePlayed)
{
    const struct {
        std::string file;
        HRESULT result; // S_OK: any success
    } cases[] = {
        {mediaFixture("mov-aac.mov"), S_OK},
        {mediaFixture("video-only.mp4"), S_OK},
        {mediaFixture("flac.flac"), S_OK},
        {mediaFixture("truncated.mp4"), S_OK},
        {mediaFixture("garbage.bin"), VFW_E_UNKNOWN_FILE_TYPE},
        {mediaFixture("empty.mp4"), VFW_E_UNKNOWN_FILE_TYPE},
        {"/nonexistent/clip.mov", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
    };
    for (const auto& c : cases) {
        const auto graph = create<IGraphBuilder>(CLSID_FilterGraph);
        const HRESULT hr = graph->RenderFile(wide(c.file).c_str(), nullptr);
        EXPECT_EQ(SUCCEEDED(hr) ? S_OK : hr, c.result) << c.file;
    }
}

// The video of the AVI is shorter than its sound.
TEST(FilterGraph, DurationIsTheAudioStreamsOwn)
{
    GrabbingGraph graph;
    ASSERT_EQ(graph.build(mediaFixture("avi-pcm.avi"), 2, std::nullopt), S_OK);
    LONGLONG duration = 0, current = -1, stop = 0;
    ASSERT_EQ(graph.seeking->GetDuration(&duration), S_OK);
    const GUID sample = TIME_FORMAT_SAMPLE;
    ASSERT_EQ(graph.seeking->SetTimeFormat(&sample), S_OK);
    ASSERT_EQ(graph.seeking->GetPositions(&current, &stop), S_OK);
    EXPECT_EQ(current, 0);
    EXPECT_EQ(stop, static_cast<LONGLONG>(ffmpegDecode(mediaFixture("avi-pcm.avi")).size()) / 2);
    EXPECT_NEAR(static_cast<double>(duration), static_cast<double>(stop) * 1e7 / 48000, 1);
}

TEST(FilterGraph, SeeksLandOnTheExactSample)
{
    const std::string path = mediaFixture("flac.flac");
    const std::vector<int16_t> whole = ffmpegDecode(path);
    for (const bool bySample : {true, false}) {
        GrabbingGraph graph;
        ASSERT_EQ(graph.build(path, 2, std::nullopt), S_OK);
        const GUID format = bySample ? TIME_FORMAT_SAMPLE : TIME_FORMAT_MEDIA_TIME;
        ASSERT_EQ(graph.seeking->SetTimeFormat(&format), S_OK);
        for (const int64_t frame : {int64_t{44100}, int64_t{12345}, int64_t{0}, int64_t{100000}}) {
            LONGLONG target = bySample ? frame : frame * 10'000'000 / 44100;
            ASSERT_EQ(graph.seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr,
                                                  AM_SEEKING_NoPositioning),
                      S_OK);
            const int64_t landed = bySample ? frame : target * 44100 / 10'000'000;
            {
                std::lock_guard guard(graph.collector->lock);
                graph.collector->samples.clear();
                graph.collector->times.clear();
                graph.collector->wanted = 4096;
            }
            graph.control->Run();
            OAFilterState state = State_Running;
            while (state == State_Running)
                graph.control->GetState(50, &state);
            std::lock_guard guard(graph.collector->lock);
            ASSERT_GE(graph.collector->samples.size(), 2u * 1024) << frame;
            const std::vector<int16_t> expected(whole.begin() + 2 * landed, whole.begin() + 2 * landed + 2048);
            const std::vector<int16_t> got(graph.collector->samples.begin(), graph.collector->samples.begin() + 2048);
            EXPECT_EQ(got, expected) << "after a seek to frame " << landed;
            EXPECT_NEAR(graph.collector->times.front(), static_cast<double>(landed) / 44100, 1e-6);
        }
    }
}

TEST(FilterGraph, FilesWithoutUsableAudioDoNotConnect)
{
    GrabbingGraph videoOnly, missing, garbage;
    EXPECT_TRUE(FAILED(videoOnly.build(mediaFixture("video-only.mp4"), 2, 48000)));
    EXPECT_EQ(missing.build("/nonexistent/a.mov", 2, 48000), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(garbage.build(mediaFixture("garbage.bin"), 2, 48000), VFW_E_UNKNOWN_FILE_TYPE);
}

TEST(FilterGraph, DestroyingARunningGraphStopsItsThread)
{
    for (int i = 0; i < 5; ++i) {
        GrabbingGraph graph;
        ASSERT_EQ(graph.build(mediaFixture("mov-aac.mov"), 2, 48000), S_OK);
        graph.collector->control = nullptr;
        graph.control->Run();
        std::this_thread::sleep_for(std::chrono::milliseconds(i));
    }
}

namespace {

using zuk::media::BasePin;

HRESULT failsAsABrokenFileDoes(BasePin&)
{
    return VFW_E_INVALID_FILE_FORMAT;
}

} // namespace

TEST(FilterGraph, AFailingOrThrowingSourceAbortsTheRunAndTheNextOne)
{
    struct Case {
        const char* what;
        HRESULT (*delivery)(BasePin&);
        HRESULT reason;
    };
    const Case cases[] = {
        {"a failure", failsAsABrokenFileDoes, VFW_E_INVALID_FILE_FORMAT},
        {"memory running out", [](BasePin&) -> HRESULT { throw std::bad_alloc(); }, E_OUTOFMEMORY},
        {"anything else thrown", [](BasePin&) -> HRESULT { throw std::runtime_error("callback"); }, E_UNEXPECTED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto graph = create<IGraphBuilder>(CLSID_FilterGraph);
        const auto source = makeComObject<ScriptedSource>(pcmAudioType(48000, 1), c.delivery);
        const auto renderer = create<IBaseFilter>(CLSID_NullRenderer);
        graph->AddFilter(source.get(), u"source");
        graph->AddFilter(renderer.get(), u"Null Renderer");
        ASSERT_EQ(graph->Connect(pin(source.get(), u"Out").get(), pin(renderer.get(), u"In").get()), S_OK);
        for (int run = 1; run <= 2; ++run) {
            const RunEnd end = runToEnd(graph.get());
            EXPECT_EQ(end.code, EC_ERRORABORT) << "run " << run;
            EXPECT_EQ(end.abortReason, c.reason) << "run " << run;
        }
        EXPECT_EQ(source->deliveries, 1) << "the source counts as finished";
    }
}

namespace {

// Holds the only reference to its graph once the test has let go, and drops
// it from the first buffer, on the streaming thread.
class GraphDropper : public ComObject<ISampleGrabberCB> {
public:
    GraphDropper(ComPtr<IGraphBuilder> owned, std::future<void> ownerGone)
        : graph(std::move(owned)), testLetGo(std::move(ownerGone))
    {
    }
    ~GraphDropper() override { destroyed.set_value(); }

    HRESULT SampleCB(double, IMediaSample*) override { return E_NOTIMPL; }
    HRESULT BufferCB(double, BYTE*, long) override
    {
        testLetGo.wait();
        graph.reset();
        return S_OK;
    }

    std::promise<void> destroyed;

private:
    ComPtr<IGraphBuilder> graph;
    std::future<void> testLetGo;
};

} // namespace

TEST(FilterGraph, ACallbackMayDropTheLastReferenceToItsGraph)
{
    std::promise<void> testLetGo;
    std::future<void> destroyed;
    {
        const auto graph = create<IGraphBuilder>(CLSID_FilterGraph);
        const auto source = makeComObject<ScriptedSource>(pcmAudioType(48000, 1), [](BasePin& out) {
            const int16_t silence[64] = {};
            return out.deliver(reinterpret_cast<const BYTE*>(silence), sizeof silence, 0);
        });
        const auto grabber = create<IBaseFilter>(CLSID_SampleGrabber);
        const auto dropper = makeComObject<GraphDropper>(graph, testLetGo.get_future());
        destroyed = dropper->destroyed.get_future();
        grabber.as<ISampleGrabber>()->SetCallback(dropper.get(), 1);
        graph->AddFilter(source.get(), u"source");
        graph->AddFilter(grabber.get(), u"Sample Grabber");
        ASSERT_EQ(graph->Connect(pin(source.get(), u"Out").get(), pin(grabber.get(), u"In").get()), S_OK);
        ASSERT_EQ(graph.as<IMediaControl>()->Run(), S_OK);
    }
    testLetGo.set_value();
    EXPECT_EQ(destroyed.wait_for(std::chrono::seconds(20)), std::future_status::ready)
        << "the graph, and with it the grabber and its callback, must go once the delivery has returned";
}

TEST(FilterGraph, KeepsFiltersByNameAndConnectionsByTheRules)
{
    const auto graph = create<IGraphBuilder>(CLSID_FilterGraph);
    const auto first = create<IBaseFilter>(CLSID_NullRenderer);
    const auto second = create<IBaseFilter>(CLSID_NullRenderer);
    const auto grabber = create<IBaseFilter>(CLSID_SampleGrabber);
    EXPECT_EQ(graph->AddFilter(first.get(), u"Null Renderer"), S_OK);
    EXPECT_EQ(graph->AddFilter(second.get(), u"Null Renderer"), VFW_S_DUPLICATE_NAME);
    EXPECT_EQ(graph->AddFilter(grabber.get(), u"Sample Grabber"), S_OK);

    std::vector<std::u16string> names;
    ComPtr<IEnumFilters> filters;
    ASSERT_EQ(graph->EnumFilters(filters.put()), S_OK);
    ComPtr<IBaseFilter> filter;
    while (filters->Next(1, filter.put(), nullptr) == S_OK) {
        FILTER_INFO info{};
        ASSERT_EQ(filter->QueryFilterInfo(&info), S_OK);
        EXPECT_EQ(info.pGraph, graph.as<IFilterGraph>().get());
        info.pGraph->Release();
        names.emplace_back(info.achName);
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Null Renderer", u"Null Renderer 0001", u"Sample Grabber"}));
    // Pins: directions, refusals, free pins.
    const ComPtr<IPin> grabberOut = pin(grabber.get(), u"Out");
    const ComPtr<IPin> rendererIn = pin(first.get(), u"In");
    ComPtr<IPin> peer;
    EXPECT_EQ(rendererIn->ConnectedTo(peer.put()), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(rendererIn->Disconnect(), S_FALSE);
    EXPECT_EQ(graph->ConnectDirect(rendererIn.get(), grabberOut.get(), nullptr), VFW_E_INVALID_DIRECTION);
    EXPECT_EQ(graph->ConnectDirect(grabberOut.get(), rendererIn.get(), nullptr), VFW_E_NO_ACCEPTABLE_TYPES)
        << "a grabber whose input is free has nothing to offer";
    ComPtr<IPin> missing;
    EXPECT_EQ(grabber->FindPin(u"Sideways", missing.put()), VFW_E_NOT_FOUND);

    // A connected output takes no second peer.
    const auto source = makeComObject<ScriptedSource>(pcmAudioType(48000, 1), failsAsABrokenFileDoes);
    graph->AddFilter(source.get(), u"source");
    ASSERT_EQ(graph->Connect(pin(source.get(), u"Out").get(), rendererIn.get()), S_OK);
    EXPECT_EQ(graph->Connect(pin(source.get(), u"Out").get(), pin(second.get(), u"In").get()),
              VFW_E_ALREADY_CONNECTED);
}
