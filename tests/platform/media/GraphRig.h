// Parts the graph tests share: a callback that collects what a Sample Grabber
// shows, a source that delivers what a test scripts, and running a graph to
// its end.
#pragma once

#include "platform/media/BaseFilter.h"
#include "support/GraphParts.h"

#include <functional>
#include <utility>
#include <vector>

namespace zuktest {

// Collects the 16-bit samples and times the grabber shows, on the streaming
// thread; read them once the graph has stopped.
class Collector : public ComObject<ISampleGrabberCB> {
public:
    HRESULT SampleCB(double, IMediaSample*) override { return E_NOTIMPL; }
    HRESULT BufferCB(double time, BYTE* buffer, long length) override
    {
        times.push_back(time);
        const auto* values = reinterpret_cast<const int16_t*>(buffer);
        samples.insert(samples.end(), values, values + length / 2);
        return S_OK;
    }

    std::vector<int16_t> samples;
    std::vector<double> times;
};

// A new graph of `source` (from its pin `output`) -> Sample Grabber, which
// takes PCM and shows it to `callback` -> Null Renderer.
inline ComPtr<IGraphBuilder> grabbingGraph(IBaseFilter* source, const char16_t* output, ISampleGrabberCB* callback)
{
    auto graph = create<IGraphBuilder>(CLSID_FilterGraph);
    const auto grabber = create<IBaseFilter>(CLSID_SampleGrabber);
    const auto renderer = create<IBaseFilter>(CLSID_NullRenderer);
    graph->AddFilter(source, u"source");
    graph->AddFilter(grabber.get(), u"Sample Grabber");
    graph->AddFilter(renderer.get(), u"Null Renderer");
    const AM_MEDIA_TYPE wanted{MEDIATYPE_Audio, MEDIASUBTYPE_PCM, 0, 0, 0, FORMAT_WaveFormatEx, nullptr, 0, nullptr};
    grabber.as<ISampleGrabber>()->SetMediaType(&wanted);
    grabber.as<ISampleGrabber>()->SetCallback(callback, 1);
    EXPECT_EQ(graph->Connect(pin(source, output).get(), pin(grabber.get(), u"In").get()), S_OK);
    EXPECT_EQ(graph->Connect(pin(grabber.get(), u"Out").get(), pin(renderer.get(), u"In").get()), S_OK);
    return graph;
}

// A source of one output pin offering 48 kHz mono PCM, whose every delivery runs the script.
class ScriptedSource : public zuk::media::Filter<IStreamSource> {
public:
    using Script = std::function<HRESULT(zuk::media::BasePin&)>;

    explicit ScriptedSource(Script script) : Filter(GUID_NULL), delivery(std::move(script))
    {
        addPin(std::make_unique<zuk::media::SimplePin<ScriptedSource>>(
            *this, u"Out", PINDIR_OUTPUT, &ScriptedSource::refuses, &ScriptedSource::offers));
    }
    bool refuses(const zuk::media::BasePin&, const AM_MEDIA_TYPE&) const { return false; }
    std::vector<zuk::media::MediaType> offers(const zuk::media::BasePin&) const
    {
        return {zuk::media::pcmAudioType(48000, 1)};
    }
    HRESULT DeliverNext() override
    {
        ++deliveries;
        return delivery(*pins().front());
    }
    bool IsConnected() override { return pins().front()->isConnected(); }

    int deliveries = 0; // on the streaming thread

private:
    Script delivery;
};

struct RunEnd {
    long code = 0;               // EC_COMPLETE or EC_ERRORABORT
    LONG_PTR abortReason = S_OK; // of EC_ERRORABORT
};

// Runs the graph until it ends (a run that does not end fails rather than
// hanging the suite) and stops it.
inline RunEnd runToEnd(IGraphBuilder* graph)
{
    const auto control = ComPtr<IGraphBuilder>(graph).as<IMediaControl>();
    const auto events = ComPtr<IGraphBuilder>(graph).as<IMediaEvent>();
    RunEnd end;
    EXPECT_EQ(control->Run(), S_OK);
    EXPECT_EQ(events->WaitForCompletion(60000, &end.code), S_OK) << "the run never ended";
    long code = 0;
    LONG_PTR unused = 0;
    while (end.code == EC_ERRORABORT && events->GetEvent(&code, &end.abortReason, &unused, 0) == S_OK &&
        code != EC_ERRORABORT) { }
    EXPECT_EQ(control->Stop(), S_OK);
    return end;
}

} // namespace zuktest
