// Graph code finds filters as it does on the platform: it asks the system
// device enumerator for a category, reads each moniker's friendly name from
// its property bag and binds the one it wants to a filter.
#include "platform/media/DeviceEnumerator.h"
#include "platform/WideText.h"
#include "platform/com/Com.h"
#include "platform/media/FilterRegistry.h"
#include "platform/media/MediaInterfaces.h"
#include "support/GraphParts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using zuk::media::FilterClass;
using zuk::media::filterClasses;

namespace {

ComPtr<ICreateDevEnum> systemDeviceEnum()
{
    return zuktest::create<ICreateDevEnum>(CLSID_SystemDeviceEnum);
}

struct StringRead {
    HRESULT result;
    std::u16string text;
};

StringRead readString(IMoniker* moniker, const char16_t* name)
{
    ComPtr<IPropertyBag> bag;
    EXPECT_EQ(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.putVoid()), S_OK);
    VARIANT value;
    VariantInit(&value);
    StringRead read{bag ? bag->Read(name, &value, nullptr) : E_NOINTERFACE, u""};
    if (value.vt == VT_BSTR)
        read.text.assign(value.bstrVal, SysStringLen(value.bstrVal));
    VariantClear(&value);
    return read;
}

// The friendly names of the monikers left in `monikers`, fetched one by one.
std::vector<std::u16string> remainingNames(IEnumMoniker* monikers)
{
    std::vector<std::u16string> names;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.put(), nullptr) == S_OK)
        names.push_back(readString(moniker.get(), u"FriendlyName").text);
    return names;
}

std::vector<std::u16string> registeredNames(bool compressorsOnly)
{
    std::vector<std::u16string> names;
    for (const FilterClass& filter : filterClasses())
        if (filter.audioCompressor || !compressorsOnly)
            names.emplace_back(filter.friendlyName);
    return names;
}

int factoryCalls = 0;

HRESULT countingFactory(REFIID, void** object)
{
    ++factoryCalls;
    *object = nullptr;
    return E_NOTIMPL;
}

} // namespace

// Graph code asks for a category and reads each moniker's friendly name.
TEST(DeviceEnumerator, CategoriesListTheirFiltersInRegistryOrder)
{
    ASSERT_GT(registeredNames(false).size(), registeredNames(true).size());
    const auto devices = systemDeviceEnum();
    ASSERT_TRUE(devices);
    const struct {
        const char* name;
        GUID category;
        HRESULT result;
        std::vector<std::u16string> names;
    } cases[] = {
        {"legacy filters", CLSID_LegacyAmFilterCategory, S_OK, registeredNames(false)},
        {"audio compressors", CLSID_AudioCompressorCategory, S_OK, registeredNames(true)},
        {"audio renderers", CLSID_AudioRendererCategory, S_FALSE, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ComPtr<IEnumMoniker> monikers;
        EXPECT_EQ(devices->CreateClassEnumerator(c.category, monikers.put(), 0), c.result);
        EXPECT_EQ(monikers ? remainingNames(monikers.get()) : std::vector<std::u16string>{}, c.names);
    }
    EXPECT_EQ(devices->CreateClassEnumerator(CLSID_LegacyAmFilterCategory, nullptr, 0), E_POINTER);
}

TEST(DeviceEnumerator, PropertyBagReadsTheRegistryValues)
{
    const FilterClass& first = filterClasses().front();
    ComPtr<IEnumMoniker> monikers;
    ASSERT_EQ(systemDeviceEnum()->CreateClassEnumerator(CLSID_LegacyAmFilterCategory, monikers.put(), 0), S_OK);
    ComPtr<IMoniker> moniker;
    ASSERT_EQ(monikers->Next(1, moniker.put(), nullptr), S_OK);
    const std::u16string clsid = zuk::utf8ToUtf16(guidToString(first.clsid)).value();
    const HRESULT missing = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    const struct {
        const char16_t* name;
        StringRead read;
    } cases[] = {
        {u"FriendlyName", {S_OK, first.friendlyName}},
        {u"friendlyname", {S_OK, first.friendlyName}}, // value names ignore case
        {u"CLSID", {S_OK, clsid}},
        {u"FilterData", {missing, u""}},
    };
    for (const auto& c : cases) {
        const StringRead read = readString(moniker.get(), c.name);
        EXPECT_EQ(read.result, c.read.result) << zuk::utf16ToUtf8(c.name).value();
        EXPECT_EQ(read.text, c.read.text) << zuk::utf16ToUtf8(c.name).value();
    }
    ComPtr<IPropertyBag> bag;
    ASSERT_EQ(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.putVoid()), S_OK);
    EXPECT_EQ(bag->Read(u"FriendlyName", nullptr, nullptr), E_POINTER);
    EXPECT_EQ(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, nullptr), E_POINTER);
}

// A moniker binds through the class table, so a class registered over a
// built-in one is what it creates.
TEST(DeviceEnumerator, MonikerCreatesWhatTheClassTableHoldsNow)
{
    ComPtr<IEnumMoniker> monikers;
    ASSERT_EQ(systemDeviceEnum()->CreateClassEnumerator(CLSID_AudioCompressorCategory, monikers.put(), 0), S_OK);
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.put(), nullptr) == S_OK &&
        readString(moniker.get(), u"FriendlyName").text != u"PCM") { }
    ASSERT_TRUE(moniker) << "no PCM converter among the audio compressors";
    ComPtr<IBaseFilter> filter;
    EXPECT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.putVoid()), S_OK);
    EXPECT_TRUE(filter);

    const auto pcm = std::ranges::find_if(
        filterClasses(), [](const FilterClass& named) { return std::u16string_view(named.friendlyName) == u"PCM"; });
    ASSERT_NE(pcm, filterClasses().end());
    factoryCalls = 0;
    registerComClass(pcm->clsid, countingFactory);
    const HRESULT hr = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.putVoid());
    registerComClass(pcm->clsid, pcm->create);
    EXPECT_EQ(hr, E_NOTIMPL);
    EXPECT_EQ(factoryCalls, 1);
}
