// The filter graph's filter list, connection rules, enumerators and streaming
// thread, and the device enumerator graph code finds filters with. Playing
// real media, and which files play, is proven where graph code builds graphs.
#include "platform/WideText.h"
#include "platform/com/Com.h"
#include "platform/media/DeviceEnumerator.h"
#include "platform/media/FilterRegistry.h"
#include "platform/media/GraphRig.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <stdexcept>
#include <thread>

using namespace zuktest;
using zuk::media::BasePin;
using zuk::media::FilterClass;
using zuk::media::filterClasses;

namespace {

// Silence, as long as the graph runs.
HRESULT deliversSilence(BasePin& out)
{
    const int16_t silence[64] = {};
    return out.deliver(reinterpret_cast<const BYTE*>(silence), sizeof silence, 0);
}

// Next in a batch, Skip, Reset and Clone alike for every kind of enumerator
// over `count` items: a clone goes on from where its original was, alone.
template <class Enumerator, class Item>
void checkEnumerator(ComPtr<Enumerator> items, size_t count, HRESULT batchWithoutCount)
{
    ASSERT_TRUE(items && count >= 2);
    std::vector<Item*> batch(count + 1, nullptr);
    const auto take = [&batch](Enumerator* from, size_t asked) {
        ULONG fetched = 0;
        const HRESULT hr = from->Next(static_cast<ULONG>(asked), batch.data(), &fetched);
        for (ULONG i = 0; i < fetched; ++i)
            batch[i]->Release();
        return std::pair{hr, size_t{fetched}};
    };
    ComPtr<Enumerator> clone;
    EXPECT_EQ(items->Skip(1), S_OK);
    ASSERT_EQ(items->Clone(clone.put()), S_OK);
    EXPECT_EQ(take(clone.get(), count + 1), std::pair(S_FALSE, count - 1));
    EXPECT_EQ(take(items.get(), count - 1), std::pair(S_OK, count - 1));
    EXPECT_EQ(items->Skip(1), S_FALSE);
    EXPECT_EQ(items->Reset(), S_OK);
    EXPECT_EQ(take(items.get(), count), std::pair(S_OK, count));
    EXPECT_EQ(items->Next(2, batch.data(), nullptr), batchWithoutCount);
    EXPECT_EQ(items->Next(1, nullptr, nullptr), E_POINTER);
    EXPECT_EQ(items->Clone(nullptr), E_POINTER);
}

// A source of silence -> Sample Grabber (showing `callback`) -> Null Renderer.
ComPtr<IGraphBuilder> silentGraph(ISampleGrabberCB* callback)
{
    return grabbingGraph(makeComObject<ScriptedSource>(deliversSilence).get(), u"Out", callback);
}

// Holds the only reference to its graph once the test has let go, and drops
// it from the first buffer, on the streaming thread.
class GraphDropper : public ComObject<ISampleGrabberCB> {
public:
    explicit GraphDropper(std::future<void> ownerGone) : testLetGo(std::move(ownerGone)) { }
    ~GraphDropper() override { destroyed.set_value(); }

    HRESULT SampleCB(double, IMediaSample*) override { return E_NOTIMPL; }
    HRESULT BufferCB(double, BYTE*, long) override
    {
        testLetGo.wait();
        graph.reset();
        return S_OK;
    }

    ComPtr<IGraphBuilder> graph;
    std::promise<void> destroyed;

private:
    std::future<void> testLetGo;
};

// What the moniker's property bag reads for `name`, with the result code.
std::pair<HRESULT, std::u16string> readString(IMoniker* moniker, const char16_t* name)
{
    ComPtr<IPropertyBag> bag;
    EXPECT_EQ(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.putVoid()), S_OK);
    VARIANT value;
    VariantInit(&value);
    std::pair<HRESULT, std::u16string> read{bag ? bag->Read(name, &value, nullptr) : E_NOINTERFACE, u""};
    if (value.vt == VT_BSTR)
        read.second.assign(value.bstrVal, SysStringLen(value.bstrVal));
    VariantClear(&value);
    return read;
}

// The friendly names of a category's monikers, fetched one by one, and the
// last of them.
std::vector<std::u16string> namesIn(const GUID& category, HRESULT expected, ComPtr<IMoniker>& last)
{
    std::vector<std::u16string> names;
    ComPtr<IEnumMoniker> monikers;
    EXPECT_EQ(
        zuktest::create<ICreateDevEnum>(CLSID_SystemDeviceEnum)->CreateClassEnumerator(category, monikers.put(), 0),
        expected);
    ComPtr<IMoniker> moniker;
    while (monikers && monikers->Next(1, moniker.put(), nullptr) == S_OK) {
        names.push_back(readString(moniker.get(), u"FriendlyName").second);
        last = moniker;
    }
    return names;
}

} // namespace

// A running graph may go at any moment, even by the hand of a callback that
// drops the last reference to it from the streaming thread.
TEST(FilterGraph, AGraphGoesSafelyWhileItsThreadRuns)
{
    std::promise<void> testLetGo;
    std::future<void> destroyed;
    {
        const auto dropper = makeComObject<GraphDropper>(testLetGo.get_future());
        destroyed = dropper->destroyed.get_future();
        dropper->graph = silentGraph(dropper.get());
        ASSERT_EQ(dropper->graph.as<IMediaControl>()->Run(), S_OK);
    }
    testLetGo.set_value();
    EXPECT_EQ(destroyed.wait_for(std::chrono::seconds(20)), std::future_status::ready)
        << "the graph, and with it the grabber and its callback, must go once the delivery has returned";
}

TEST(FilterGraph, AFailingOrThrowingSourceAbortsTheRunAndTheNextOne)
{
    // A failure, memory running out, anything else thrown.
    const std::pair<HRESULT (*)(BasePin&), HRESULT> cases[] = {
        {[](BasePin&) { return VFW_E_INVALID_FILE_FORMAT; }, VFW_E_INVALID_FILE_FORMAT},
        {[](BasePin&) -> HRESULT { throw std::bad_alloc(); }, E_OUTOFMEMORY},
        {[](BasePin&) -> HRESULT { throw std::runtime_error("callback"); }, E_UNEXPECTED},
    };
    for (const auto& [delivery, reason] : cases) {
        SCOPED_TRACE(reason);
        const auto source = makeComObject<ScriptedSource>(delivery);
        const auto collector = makeComObject<Collector>();
        const auto graph = grabbingGraph(source.get(), u"Out", collector.get());
        for (int run = 1; run <= 2; ++run) {
            const RunEnd end = runToEnd(graph.get());
            EXPECT_EQ(end.code, EC_ERRORABORT) << "run " << run;
            EXPECT_EQ(end.abortReason, reason) << "run " << run;
        }
        EXPECT_EQ(source->deliveries, 1) << "the source counts as finished";
    }
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
    EXPECT_FALSE(pin(grabber.get(), u"Sideways"));

    // A connected output takes no second peer; removing its filter breaks the connection.
    const auto source = makeComObject<ScriptedSource>(deliversSilence);
    graph->AddFilter(source.get(), u"source");
    ASSERT_EQ(graph->Connect(pin(source.get(), u"Out").get(), rendererIn.get()), S_OK);
    EXPECT_EQ(graph->Connect(pin(source.get(), u"Out").get(), pin(second.get(), u"In").get()), VFW_E_ALREADY_CONNECTED);
    EXPECT_EQ(graph->RemoveFilter(source.get()), S_OK);
    EXPECT_EQ(rendererIn->ConnectedTo(peer.put()), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(graph->RemoveFilter(source.get()), VFW_E_NOT_FOUND);

    // The graph's filters (as they were when asked for), a filter's pins and
    // a category's monikers enumerate alike.
    ASSERT_EQ(filters->Reset(), S_OK);
    checkEnumerator<IEnumFilters, IBaseFilter>(filters, 3, E_POINTER);
    ComPtr<IEnumPins> pins;
    ASSERT_EQ(grabber->EnumPins(pins.put()), S_OK);
    checkEnumerator<IEnumPins, IPin>(pins, 2, E_POINTER);
    ComPtr<IEnumMoniker> monikers;
    ASSERT_EQ(create<ICreateDevEnum>(CLSID_SystemDeviceEnum)
                  ->CreateClassEnumerator(CLSID_LegacyAmFilterCategory, monikers.put(), 0),
        S_OK);
    checkEnumerator<IEnumMoniker, IMoniker>(monikers, filterClasses().size(), E_INVALIDARG);
}

// The monikers of a category come in registry order; each reads its values
// and binds to its filter.
TEST(DeviceEnumerator, CategoriesListTheirFiltersInRegistryOrderWithTheirValues)
{
    std::vector<std::u16string> all, compressors;
    for (const FilterClass& filter : filterClasses()) {
        all.emplace_back(filter.friendlyName);
        if (filter.audioCompressor)
            compressors.emplace_back(filter.friendlyName);
    }
    ASSERT_GT(all.size(), compressors.size());
    ComPtr<IMoniker> last;
    EXPECT_EQ(namesIn(CLSID_LegacyAmFilterCategory, S_OK, last), all);
    EXPECT_EQ(namesIn(CLSID_AudioRendererCategory, S_FALSE, last), std::vector<std::u16string>{});
    EXPECT_EQ(namesIn(CLSID_AudioCompressorCategory, S_OK, last), compressors);
    EXPECT_EQ(zuktest::create<ICreateDevEnum>(CLSID_SystemDeviceEnum)
                  ->CreateClassEnumerator(CLSID_LegacyAmFilterCategory, nullptr, 0),
        E_POINTER);

    const FilterClass& lastCompressor = *std::ranges::find(filterClasses(), compressors.back(),
        [](const FilterClass& filter) { return std::u16string(filter.friendlyName); });
    const std::u16string clsid = zuk::utf8ToUtf16(guidToString(lastCompressor.clsid)).value();
    const struct {
        const char16_t* name;
        std::pair<HRESULT, std::u16string> read;
    } cases[] = {
        {u"FriendlyName", {S_OK, compressors.back()}},
        {u"friendlyname", {S_OK, compressors.back()}}, // value names ignore case
        {u"CLSID", {S_OK, clsid}},
        {u"FilterData", {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), u""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readString(last.get(), c.name), c.read) << zuk::utf16ToUtf8(c.name).value();
    ComPtr<IPropertyBag> bag;
    ASSERT_EQ(last->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.putVoid()), S_OK);
    EXPECT_EQ(bag->Read(u"FriendlyName", nullptr, nullptr), E_POINTER);
    EXPECT_EQ(last->BindToStorage(nullptr, nullptr, IID_IPropertyBag, nullptr), E_POINTER);
    ComPtr<IBaseFilter> created;
    EXPECT_EQ(last->BindToObject(nullptr, nullptr, IID_IBaseFilter, created.putVoid()), S_OK);
    EXPECT_TRUE(created);
}
