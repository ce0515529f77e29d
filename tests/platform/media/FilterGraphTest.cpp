// The filter graph on real media: building the grabbing graph as graph code
// does, running it to the end or in small steps, seeking, and its failures.
#include "platform/com/Com.h"
#include "platform/media/BaseFilter.h"
#include "support/GraphParts.h"
#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>

using namespace zuktest;
using zuk::media::MediaType;
using zuk::media::pcmAudioType;

namespace {

// Collects what the grabber shows; optionally pauses the graph once it holds
// `wanted` frames, as a pulling reader does.
class Collector : public ComObject<ISampleGrabberCB> {
public:
    explicit Collector(int channelCount) : channels(channelCount) {}

    HRESULT SampleCB(double, IMediaSample*) override { return E_NOTIMPL; }
    HRESULT BufferCB(double time, BYTE* buffer, long length) override
    {
        std::lock_guard guard(lock);
        times.push_back(time);
        const auto* values = reinterpret_cast<const int16_t*>(buffer);
        samples.insert(samples.end(), values, values + length / 2);
        if (control != nullptr && wanted > 0 && frames() >= wanted)
            control->Pause();
        return S_OK;
    }

    int64_t frames() const { return static_cast<int64_t>(samples.size()) / channels; }

    std::mutex lock;
    std::vector<int16_t> samples;
    std::vector<double> times;
    IMediaControl* control = nullptr;
    int64_t wanted = 0;
    const int channels;
};

// The converter, found as graph code finds it: by name in its category.
ComPtr<IBaseFilter> findPcmConverter()
{
    const auto devices = create<ICreateDevEnum>(CLSID_SystemDeviceEnum);
    ComPtr<IEnumMoniker> monikers;
    if (devices->CreateClassEnumerator(CLSID_AudioCompressorCategory, monikers.put(), 0) != S_OK)
        return {};
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.put(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.putVoid());
        VARIANT name;
        VariantInit(&name);
        const bool isPcm = bag && SUCCEEDED(bag->Read(u"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR &&
                           std::u16string_view(name.bstrVal) == u"PCM";
        VariantClear(&name);
        ComPtr<IBaseFilter> filter;
        if (isPcm && SUCCEEDED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.putVoid())))
            return filter;
    }
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
        grabber = create<IBaseFilter>(CLSID_SampleGrabber);
        graph->AddFilter(grabber.get(), u"Sample Grabber");
        const auto sampleGrabber = grabber.as<ISampleGrabber>();
        AM_MEDIA_TYPE wanted{};
        wanted.majortype = MEDIATYPE_Audio;
        wanted.subtype = MEDIASUBTYPE_PCM;
        wanted.formattype = FORMAT_WaveFormatEx;
        sampleGrabber->SetMediaType(&wanted);
        sampleGrabber->SetCallback(collector.get(), 1);
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

    // Runs until the end; the event code that ended it.
    long runToEnd()
    {
        EXPECT_EQ(control->Run(), S_OK);
        long code = 0;
        EXPECT_EQ(events->WaitForCompletion(20000, &code), S_OK);
        control->Stop();
        return code;
    }
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
}

INSTANTIATE_TEST_SUITE_P(Containers, GrabbedAudio,
                         ::testing::Values(Media{"mov-aac.mov", 2}, Media{"mp4-aac.mp4", 1}, Media{"avi-pcm.avi", 2},
                                           Media{"mpeg-ps.mpg", 2}, Media{"flac.flac", 2}, Media{"rate-8000.wav", 1},
                                           Media{"rate-192000.wav", 1}, Media{"channels-6.wav", 6},
                                           Media{"wav-float.wav", 2}));

TEST(FilterGraph, RenderFileSaysWhetherAFileCanBePlayed)
{
    struct Case {
        std::string file;
        bool renders;
    };
    for (const Case& c : {Case{"mov-aac.mov", true}, Case{"video-only.mp4", true}, Case{"flac.flac", true},
                          Case{"garbage.bin", false}, Case{"empty.mp4", false}, Case{"truncated.mp4", true}}) {
        const auto graph = create<IGraphBuilder>(CLSID_FilterGraph);
        const HRESULT hr = graph->RenderFile(wide(mediaFixture(c.file)).c_str(), nullptr);
        EXPECT_EQ(SUCCEEDED(hr), c.renders) << c.file << ": " << std::hex << hr;
    }
    const auto graph = create<IGraphBuilder>(CLSID_FilterGraph);
    EXPECT_EQ(graph->RenderFile(u"/nonexistent/clip.mov", nullptr), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(graph->RenderFile(wide(mediaFixture("garbage.bin")).c_str(), nullptr), VFW_E_UNKNOWN_FILE_TYPE);
    EXPECT_EQ(graph->RenderFile(wide(mediaFixture("empty.mp4")).c_str(), nullptr), VFW_E_UNKNOWN_FILE_TYPE);
}

TEST(FilterGraph, DurationIsTheAudioStreamsOwn)
{
    GrabbingGraph graph;
    ASSERT_EQ(graph.build(mediaFixture("avi-pcm.avi"), 2, std::nullopt), S_OK);
    LONGLONG duration = 0;
    ASSERT_EQ(graph.seeking->GetDuration(&duration), S_OK);
    EXPECT_NEAR(static_cast<double>(duration) / 1e7, 2.3, 0.001) << "the video lasts 2.0 s, the audio 2.3 s";
    const GUID sample = TIME_FORMAT_SAMPLE;
    ASSERT_EQ(graph.seeking->SetTimeFormat(&sample), S_OK);
    LONGLONG current = -1, stop = 0;
    ASSERT_EQ(graph.seeking->GetPositions(&current, &stop), S_OK);
    EXPECT_EQ(current, 0);
    EXPECT_EQ(stop, static_cast<LONGLONG>(ffmpegDecode(mediaFixture("avi-pcm.avi")).size()) / 2);
}

TEST(FilterGraph, PausesAndResumesOverManySmallRequests)
{
    const std::string path = mediaFixture("mov-aac.mov");
    GrabbingGraph graph;
    ASSERT_EQ(graph.build(path, 2, 48000), S_OK);
    int64_t wanted = 0;
    bool ended = false;
    int rounds = 0;
    while (!ended && rounds < 10000) {
        ++rounds;
        {
            std::lock_guard guard(graph.collector->lock);
            wanted = graph.collector->frames() + 1000;
            graph.collector->wanted = wanted;
        }
        ASSERT_EQ(graph.control->Run(), S_OK);
        OAFilterState state = State_Running;
        while (state == State_Running) {
            long code;
            LONG_PTR p1, p2;
            if (graph.events->GetEvent(&code, &p1, &p2, 10) == S_OK && code == EC_COMPLETE) {
                ended = true;
                graph.control->StopWhenReady();
            }
            graph.control->GetState(50, &state);
        }
        // Only now may the reader touch what the callback collected.
        std::lock_guard guard(graph.collector->lock);
        if (!ended) {
            EXPECT_GE(graph.collector->frames(), wanted);
        }
    }
    EXPECT_GT(rounds, 100);
    const std::vector<int16_t> reference = ffmpegDecodeAt(path, 48000, 2);
    EXPECT_GT(correlation(graph.collector->samples, reference), 0.999);
    EXPECT_NEAR(static_cast<double>(graph.collector->samples.size()), static_cast<double>(reference.size()), 16384.0);
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
    for (const std::string file : {"video-only.mp4"}) {
        GrabbingGraph graph;
        EXPECT_TRUE(FAILED(graph.build(mediaFixture(file), 2, 48000))) << file;
    }
    GrabbingGraph missing;
    EXPECT_EQ(missing.build("/nonexistent/a.mov", 2, 48000), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    GrabbingGraph garbage;
    EXPECT_EQ(garbage.build(mediaFixture("garbage.bin"), 2, 48000), VFW_E_UNKNOWN_FILE_TYPE);
}

TEST(FilterGraph, ATruncatedFileEndsEarlyButEnds)
{
    const std::string path = mediaFixture("truncated.mp4");
    GrabbingGraph graph;
    ASSERT_EQ(graph.build(path, 1, 48000), S_OK);
    graph.collector->control = nullptr;
    EXPECT_EQ(graph.runToEnd(), EC_COMPLETE);
    EXPECT_GT(correlation(graph.collector->samples, ffmpegDecodeAt(path, 48000, 1)), 0.999);
}

TEST(FilterGraph, TwoAudioStreamsGiveTheFirst)
{
    const std::string path = mediaFixture("two-audio.mkv");
    GrabbingGraph graph;
    ASSERT_EQ(graph.build(path, 1, 48000), S_OK);
    graph.collector->control = nullptr;
    graph.runToEnd();
    EXPECT_GT(correlation(graph.collector->samples, ffmpegDecodeAt(path, 48000, 1)), 0.999);
    EXPECT_LT(correlation(graph.collector->samples, ffmpegDecodeAt(path, 48000, 1, 1)), 0.5);
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

// A source whose every delivery does what the test says: deliver, fail, throw.
class ScriptedSource : public zuk::media::Filter<IStreamSource> {
public:
    explicit ScriptedSource(std::function<HRESULT(BasePin&)> script) : Filter(GUID_NULL), delivery(std::move(script))
    {
        addPin(std::make_unique<zuk::media::SimplePin<ScriptedSource>>(
            *this, u"Out", PINDIR_OUTPUT, &ScriptedSource::refuses, &ScriptedSource::offers));
    }
    bool refuses(const BasePin&, const AM_MEDIA_TYPE&) const { return false; }
    std::vector<MediaType> offers(const BasePin&) const { return {pcmAudioType(48000, 1)}; }
    HRESULT DeliverNext() override
    {
        ++deliveries;
        return delivery(*pins().front());
    }
    bool IsConnected() override { return pins().front()->isConnected(); }

    int deliveries = 0; // on the streaming thread

private:
    void* queryExtra(REFIID requested) override { return Filter::queryExtra(requested); }

    std::function<HRESULT(BasePin&)> delivery;
};

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
        const auto source = makeComObject<ScriptedSource>(c.delivery);
        const auto renderer = create<IBaseFilter>(CLSID_NullRenderer);
        graph->AddFilter(source.get(), u"source");
        graph->AddFilter(renderer.get(), u"Null Renderer");
        ASSERT_EQ(graph->Connect(pin(source.get(), u"Out").get(), pin(renderer.get(), u"In").get()), S_OK);
        const auto control = graph.as<IMediaControl>();
        const auto events = graph.as<IMediaEvent>();
        for (int run = 1; run <= 2; ++run) {
            ASSERT_EQ(control->Run(), S_OK);
            long code = 0;
            LONG_PTR reason = S_OK, unused = 0;
            EXPECT_EQ(events->WaitForCompletion(20000, &code), S_OK);
            EXPECT_EQ(events->GetEvent(&code, &reason, &unused, 0), S_OK);
            EXPECT_EQ(code, EC_ERRORABORT) << "run " << run;
            EXPECT_EQ(reason, c.reason) << "run " << run;
            EXPECT_EQ(control->Stop(), S_OK);
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
        const auto source = makeComObject<ScriptedSource>([](BasePin& out) {
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

TEST(FilterGraph, RunningAgainAtTheEndEndsAgain)
{
    GrabbingGraph graph;
    ASSERT_EQ(graph.build(mediaFixture("rate-8000.wav"), 1, 48000), S_OK);
    graph.collector->control = nullptr;
    EXPECT_EQ(graph.runToEnd(), EC_COMPLETE);
    EXPECT_EQ(graph.runToEnd(), EC_COMPLETE) << "no reader may wait for an end that already came";
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
    ComPtr<IBaseFilter> found;
    EXPECT_EQ(graph->FindFilterByName(u"Null Renderer 0001", found.put()), S_OK);
    EXPECT_EQ(found.get(), second.get());
    EXPECT_EQ(graph->FindFilterByName(u"nothing", found.put()), VFW_E_NOT_FOUND);

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

    // A failing source connects, and removing a filter breaks its connections.
    const auto source = makeComObject<ScriptedSource>(failsAsABrokenFileDoes);
    graph->AddFilter(source.get(), u"source");
    ASSERT_EQ(graph->Connect(pin(source.get(), u"Out").get(), rendererIn.get()), S_OK);
    EXPECT_EQ(graph->Connect(pin(source.get(), u"Out").get(), pin(second.get(), u"In").get()),
              VFW_E_ALREADY_CONNECTED);
    EXPECT_EQ(graph->RemoveFilter(source.get()), S_OK);
    EXPECT_EQ(rendererIn->ConnectedTo(peer.put()), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(graph->RemoveFilter(source.get()), VFW_E_NOT_FOUND);
}
