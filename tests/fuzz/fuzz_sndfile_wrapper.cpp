// Feeds arbitrary bytes, as a sound file, to the LibSndFileWrapper source
// filter: Load, then its stream delivered into a Null Renderer until it ends,
// fails or reaches a bound. The filter's code is compiled into this target
// (not loaded from its module) so that it is instrumented with it.
#include "FuzzScratch.h"
#include "LibSndFileWrapper.h"
#include "platform/com/Com.h"
#include "platform/media/MediaInterfaces.h"
#include "platform/media/Streaming.h"

#include <cstdint>

namespace {

// A header may claim any length, and compressed formats expand a lot: a
// quick run stops after this many buffers.
constexpr int kMaxBuffers = 256;

ComPtr<IPin> pinNamed(IBaseFilter* filter, const char16_t* id)
{
    ComPtr<IPin> pin;
    filter->FindPin(id, pin.put());
    return pin;
}

void deliverAll(IBaseFilter* source)
{
    ComPtr<IBaseFilter> renderer;
    if (FAILED(
            CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, renderer.putVoid())))
        fuzzFail("zuk fuzz: no Null Renderer");
    const ComPtr<IPin> output = pinNamed(source, u"Output");
    const ComPtr<IPin> input = pinNamed(renderer.get(), u"In");
    if (!output || !input || FAILED(output->Connect(input.get(), nullptr)))
        fuzzFail("zuk fuzz: a loaded file must connect");
    ComPtr<IStreamSource> stream;
    source->QueryInterface(IID_IStreamSource, stream.putVoid());
    for (int buffers = 0; buffers < kMaxBuffers && stream->DeliverNext() == S_OK; ++buffers) { }
    output->Disconnect();
    input->Disconnect();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzScratch scratch{};
    scratch.write(data, size);
    ComPtr<IBaseFilter> source;
    if (FAILED(zuk::sndfilewrapper::createLibSndFileWrapper(IID_IBaseFilter, source.putVoid())))
        fuzzFail("zuk fuzz: cannot create the filter");
    if (FAILED(source.as<IFileSourceFilter>()->Load(fuzzWide(scratch.inputPath()).c_str(), nullptr)))
        return 0; // libsndfile refuses it, or it has no layout PCM can carry
    deliverAll(source.get());
    return 0;
}
