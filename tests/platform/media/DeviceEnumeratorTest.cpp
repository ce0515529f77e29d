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
