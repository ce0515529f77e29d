#include "platform/media/DeviceEnumerator.h"

#include "platform/WideText.h"
#include "platform/com/Com.h"
#include "platform/media/FilterRegistry.h"
#include "platform/media/MediaInterfaces.h"

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace zuk::media {

namespace {

using FilterList = std::vector<FilterClass>;

char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Property names are registry value names, which ignore case.
bool sameValueName(std::u16string_view a, std::u16string_view b)
{
    return std::ranges::equal(a, b, [](char16_t x, char16_t y) { return asciiLower(x) == asciiLower(y); });
}

std::u16string clsidText(REFCLSID clsid)
{
    const std::string text = guidToString(clsid);
    return std::u16string(text.begin(), text.end()); // hex digits, braces and dashes only
}

// Hands a new BSTR copy of `text` out as a VT_BSTR value.
HRESULT putString(std::u16string_view text, VARIANT* value)
{
    BSTR copy = SysAllocStringLen(text.data(), static_cast<uint32_t>(text.size()));
    if (copy == nullptr)
        return E_OUTOFMEMORY;
    value->vt = VT_BSTR;
    value->bstrVal = copy;
    return S_OK;
}

// What the registry holds under a filter's key, read only.
class FilterPropertyBag final : public ComObject<IPropertyBag> {
public:
    explicit FilterPropertyBag(const FilterClass& named) : filter(named) { }

    HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog* /*log*/) override
    {
        if (name == nullptr || value == nullptr)
            return E_POINTER;
        const std::u16string_view wanted = wideView(name);
        if (sameValueName(wanted, u"FriendlyName"))
            return putString(filter.friendlyName, value);
        if (sameValueName(wanted, u"CLSID"))
            return putString(clsidText(filter.clsid), value);
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND); // as a missing registry value reads
    }

    HRESULT Write(LPCOLESTR name, VARIANT* value) override
    {
        if (name == nullptr || value == nullptr)
            return E_POINTER;
        return E_NOTIMPL;
    }

private:
    FilterClass filter;
};

class FilterMoniker final : public ComObject<IMoniker> {
public:
    explicit FilterMoniker(const FilterClass& named) : filter(named) { }

    HRESULT BindToObject(IBindCtx* /*context*/, IMoniker* /*left*/, REFIID interfaceId, void** object) override
    {
        // Through the class table, so that a class registered over a
        // built-in one is what the moniker creates.
        return CoCreateInstance(filter.clsid, nullptr, CLSCTX_INPROC_SERVER, interfaceId, object);
    }

    HRESULT BindToStorage(IBindCtx* /*context*/, IMoniker* /*left*/, REFIID interfaceId, void** object) override
    {
        if (object == nullptr)
            return E_POINTER;
        *object = nullptr;
        try {
            return makeComObject<FilterPropertyBag>(filter)->QueryInterface(interfaceId, object);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }

private:
    FilterClass filter;
};

class MonikerEnumerator final : public ComObject<IEnumMoniker> {
public:
    MonikerEnumerator(std::shared_ptr<const FilterList> listed, size_t start)
        : filters(std::move(listed)), position(start)
    {
    }

    HRESULT Next(ULONG count, IMoniker** monikers, ULONG* fetched) override
    {
        if (monikers == nullptr)
            return E_POINTER;
        if (fetched == nullptr && count != 1)
            return E_INVALIDARG; // the caller could not tell how many it got
        if (fetched != nullptr)
            *fetched = 0;
        std::vector<ComPtr<IMoniker>> made;
        try {
            made = makeMonikers(count);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        position += made.size();
        for (size_t i = 0; i < made.size(); ++i)
            monikers[i] = made[i].detach();
        if (fetched != nullptr)
            *fetched = static_cast<ULONG>(made.size());
        return made.size() == count ? S_OK : S_FALSE;
    }

    HRESULT Skip(ULONG count) override
    {
        const size_t skipped = std::min<size_t>(count, left());
        position += skipped;
        return skipped == count ? S_OK : S_FALSE;
    }

    HRESULT Reset() override
    {
        position = 0;
        return S_OK;
    }

    HRESULT Clone(IEnumMoniker** copy) override
    {
        if (copy == nullptr)
            return E_POINTER;
        *copy = nullptr;
        try {
            *copy = makeComObject<MonikerEnumerator>(filters, position).detach();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

private:
    size_t left() const { return filters->size() - position; }

    std::vector<ComPtr<IMoniker>> makeMonikers(ULONG count) const
    {
        const size_t taken = std::min<size_t>(count, left());
        std::vector<ComPtr<IMoniker>> made;
        made.reserve(taken);
        for (size_t i = 0; i < taken; ++i)
            made.push_back(ComPtr<IMoniker>::adopt(makeComObject<FilterMoniker>((*filters)[position + i]).detach()));
        return made;
    }

    std::shared_ptr<const FilterList> filters; // shared with clones
    size_t position;
};

FilterList filtersIn(REFCLSID category)
{
    FilterList found;
    const bool all = category == CLSID_LegacyAmFilterCategory;
    const bool compressors = category == CLSID_AudioCompressorCategory;
    for (const FilterClass& filter : filterClasses())
        if (all || (compressors && filter.audioCompressor))
            found.push_back(filter);
    return found;
}

class SystemDeviceEnum final : public ComObject<ICreateDevEnum> {
public:
    HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** monikers, DWORD /*flags*/) override
    {
        if (monikers == nullptr)
            return E_POINTER;
        *monikers = nullptr;
        try {
            auto filters = std::make_shared<const FilterList>(filtersIn(category));
            if (filters->empty())
                return S_FALSE;
            *monikers = makeComObject<MonikerEnumerator>(std::move(filters), size_t{0}).detach();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }
};

} // namespace

HRESULT createSystemDeviceEnum(REFIID iid, void** object)
{
    return createComInstance<SystemDeviceEnum>(iid, object);
}

} // namespace zuk::media
