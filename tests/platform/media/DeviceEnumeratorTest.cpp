// Graph code finds filters as it does on the platform: it asks the system
// device enumerator for a category, reads each moniker's friendly name from
// its property bag and binds the one it wants to a filter.
#include "platform/WideText.h"
#include "platform/com/Com.h"
#include "platform/media/DeviceEnumerator.h"
#include "platform/media/FilterRegistry.h"
#include "platform/media/MediaInterfaces.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using zuk::media::FilterClass;
using zuk::media::filterClasses;

namespace {

ComPtr<ICreateDevEnum> systemDeviceEnum()
{
    ComPtr<ICreateDevEnum> devices;
    EXPECT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                               devices.putVoid()),
              S_OK);
    return devices;
}

ComPtr<IEnumMoniker> monikersIn(REFCLSID category)
{
    ComPtr<IEnumMoniker> monikers;
    const auto devices = systemDeviceEnum();
    if (devices) {
        EXPECT_EQ(devices->CreateClassEnumerator(category, monikers.put(), 0), S_OK) << guidToString(category);
    }
    return monikers;
}

ComPtr<IPropertyBag> propertiesOf(IMoniker* moniker)
{
    ComPtr<IPropertyBag> bag;
    EXPECT_EQ(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.putVoid()), S_OK);
    return bag;
}

struct StringRead {
    HRESULT result;
    std::u16string text;
};

StringRead readString(IPropertyBag* bag, const char16_t* name)
{
    VARIANT value;
    VariantInit(&value);
    const HRESULT hr = bag->Read(name, &value, nullptr);
    if (FAILED(hr))
        return {hr, u""};
    EXPECT_EQ(value.vt, VT_BSTR);
    StringRead read{hr, value.vt == VT_BSTR ? std::u16string(value.bstrVal, SysStringLen(value.bstrVal)) : u""};
    VariantClear(&value);
    return read;
}

std::u16string friendlyName(IMoniker* moniker)
{
    const auto bag = propertiesOf(moniker);
    return bag ? readString(bag.get(), u"FriendlyName").text : u"";
}

// The friendly names of the monikers left in `monikers`, fetched one by one.
std::vector<std::u16string> remainingNames(IEnumMoniker* monikers)
{
    std::vector<std::u16string> names;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.put(), nullptr) == S_OK)
        names.push_back(friendlyName(moniker.get()));
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

ComPtr<IMoniker> firstLegacyMoniker()
{
    ComPtr<IMoniker> moniker;
    const auto monikers = monikersIn(CLSID_LegacyAmFilterCategory);
    if (monikers) {
        EXPECT_EQ(monikers->Next(1, moniker.put(), nullptr), S_OK);
    }
    return moniker;
}

int factoryCalls = 0;

HRESULT countingFactory(REFIID, void** object)
{
    ++factoryCalls;
    *object = nullptr;
    return E_NOTIMPL;
}

} // namespace

TEST(DeviceEnumerator, FindsThePcmConverterAmongAudioCompressors)
{
    const auto monikers = monikersIn(CLSID_AudioCompressorCategory);
    ASSERT_TRUE(monikers);
    ComPtr<IBaseFilter> found;
    ComPtr<IMoniker> moniker;
    while (!found && monikers->Next(1, moniker.put(), nullptr) == S_OK) {
        if (friendlyName(moniker.get()) == u"PCM") {
            ASSERT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, found.putVoid()), S_OK);
        }
    }
    EXPECT_TRUE(found);
}

TEST(DeviceEnumerator, CategoriesListTheirFiltersInRegistryOrder)
{
    ASSERT_FALSE(registeredNames(true).empty());
    ASSERT_GT(registeredNames(false).size(), registeredNames(true).size());
    const struct {
        const char* name;
        GUID category;
        bool compressorsOnly;
    } cases[] = {
        {"legacy filters", CLSID_LegacyAmFilterCategory, false},
        {"audio compressors", CLSID_AudioCompressorCategory, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto monikers = monikersIn(c.category);
        ASSERT_TRUE(monikers);
        EXPECT_EQ(remainingNames(monikers.get()), registeredNames(c.compressorsOnly));
    }
}

TEST(DeviceEnumerator, OtherCategoriesAreEmpty)
{
    const auto devices = systemDeviceEnum();
    ASSERT_TRUE(devices);
    for (const GUID& category : {CLSID_AudioRendererCategory, CLSID_VideoCompressorCategory,
                                 CLSID_AudioInputDeviceCategory, GUID_NULL}) {
        ComPtr<IEnumMoniker> monikers;
        EXPECT_EQ(devices->CreateClassEnumerator(category, monikers.put(), 0), S_FALSE) << guidToString(category);
        EXPECT_FALSE(monikers);
    }
    EXPECT_EQ(devices->CreateClassEnumerator(CLSID_LegacyAmFilterCategory, nullptr, 0), E_POINTER);
}

TEST(DeviceEnumerator, NextFetchesSeveralAndSaysWhenItRanShort)
{
    const size_t total = filterClasses().size();
    ASSERT_GE(total, 3u);
    const auto monikers = monikersIn(CLSID_LegacyAmFilterCategory);
    ASSERT_TRUE(monikers);

    std::vector<IMoniker*> batch(total + 2, nullptr);
    ULONG fetched = 99;
    EXPECT_EQ(monikers->Next(2, batch.data(), &fetched), S_OK);
    EXPECT_EQ(fetched, 2u);
    std::vector<std::u16string> names;
    for (ULONG i = 0; i < fetched; ++i)
        names.push_back(friendlyName(ComPtr<IMoniker>::adopt(batch[i]).get()));

    EXPECT_EQ(monikers->Next(static_cast<ULONG>(batch.size()), batch.data(), &fetched), S_FALSE);
    EXPECT_EQ(fetched, total - 2);
    for (ULONG i = 0; i < fetched; ++i)
        names.push_back(friendlyName(ComPtr<IMoniker>::adopt(batch[i]).get()));
    EXPECT_EQ(names, registeredNames(false));

    EXPECT_EQ(monikers->Next(1, batch.data(), &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(monikers->Next(2, batch.data(), nullptr), E_INVALIDARG);
    EXPECT_EQ(monikers->Next(1, nullptr, &fetched), E_POINTER);
}

TEST(DeviceEnumerator, SkipResetAndCloneMoveThroughTheSameList)
{
    const std::vector<std::u16string> all = registeredNames(false);
    const auto monikers = monikersIn(CLSID_LegacyAmFilterCategory);
    ASSERT_TRUE(monikers);

    EXPECT_EQ(monikers->Skip(1), S_OK);
    ComPtr<IEnumMoniker> clone;
    ASSERT_EQ(monikers->Clone(clone.put()), S_OK);
    const std::vector<std::u16string> afterFirst(all.begin() + 1, all.end());
    EXPECT_EQ(remainingNames(clone.get()), afterFirst);
    EXPECT_EQ(remainingNames(monikers.get()), afterFirst); // the clone moved on its own

    EXPECT_EQ(monikers->Reset(), S_OK);
    EXPECT_EQ(monikers->Skip(static_cast<ULONG>(all.size() + 1)), S_FALSE);
    EXPECT_TRUE(remainingNames(monikers.get()).empty());
    EXPECT_EQ(monikers->Reset(), S_OK);
    EXPECT_EQ(remainingNames(monikers.get()), all);
    EXPECT_EQ(monikers->Clone(nullptr), E_POINTER);
}

TEST(DeviceEnumerator, PropertyBagReadsTheRegistryValues)
{
    const FilterClass& first = filterClasses().front();
    const auto moniker = firstLegacyMoniker();
    ASSERT_TRUE(moniker);
    const auto bag = propertiesOf(moniker.get());
    ASSERT_TRUE(bag);
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
        {u"", {missing, u""}},
    };
    for (const auto& c : cases) {
        const StringRead read = readString(bag.get(), c.name);
        EXPECT_EQ(read.result, c.read.result) << zuk::utf16ToUtf8(c.name).value();
        EXPECT_EQ(read.text, c.read.text) << zuk::utf16ToUtf8(c.name).value();
    }

    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(bag->Read(nullptr, &value, nullptr), E_POINTER);
    EXPECT_EQ(bag->Read(u"FriendlyName", nullptr, nullptr), E_POINTER);
    EXPECT_EQ(bag->Write(u"FriendlyName", &value), E_NOTIMPL);
}

TEST(DeviceEnumerator, MonikerBindsOnlyToPropertyBagStorage)
{
    const auto moniker = firstLegacyMoniker();
    ASSERT_TRUE(moniker);
    ComPtr<IUnknown> storage;
    EXPECT_EQ(moniker->BindToStorage(nullptr, nullptr, IID_IBaseFilter, storage.putVoid()), E_NOINTERFACE);
    EXPECT_FALSE(storage);
    EXPECT_EQ(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, nullptr), E_POINTER);
    EXPECT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, nullptr), E_POINTER);
}

TEST(DeviceEnumerator, MonikerCreatesWhatTheClassTableHoldsNow)
{
    const FilterClass& first = filterClasses().front();
    const auto moniker = firstLegacyMoniker();
    ASSERT_TRUE(moniker);
    factoryCalls = 0;
    registerComClass(first.clsid, countingFactory);
    ComPtr<IBaseFilter> filter;
    const HRESULT hr = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.putVoid());
    registerComClass(first.clsid, first.create);
    EXPECT_EQ(hr, E_NOTIMPL);
    EXPECT_EQ(factoryCalls, 1);

    EXPECT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.putVoid()), S_OK);
    EXPECT_TRUE(filter);
}
