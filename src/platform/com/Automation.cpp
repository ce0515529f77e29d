#include "platform/com/Automation.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace {

using LengthPrefix = uint32_t;

// The largest length whose size in bytes still fits the prefix.
constexpr uint32_t longestLength = std::numeric_limits<LengthPrefix>::max() / sizeof(OLECHAR);

unsigned char* blockOf(BSTR text)
{
    return reinterpret_cast<unsigned char*>(text) - sizeof(LengthPrefix);
}

size_t lengthOf(const OLECHAR* text)
{
    size_t length = 0;
    while (text[length] != 0)
        ++length;
    return length;
}

} // namespace

BSTR SysAllocStringLen(const OLECHAR* text, uint32_t length)
{
    if (length > longestLength)
        return nullptr;
    const LengthPrefix bytes = length * sizeof(OLECHAR);
    auto* block = static_cast<unsigned char*>(std::malloc(sizeof(LengthPrefix) + bytes + sizeof(OLECHAR)));
    if (block == nullptr)
        return nullptr;
    std::memcpy(block, &bytes, sizeof bytes);
    auto* characters = reinterpret_cast<BSTR>(block + sizeof(LengthPrefix));
    if (text != nullptr)
        std::memcpy(characters, text, bytes);
    else
        std::memset(characters, 0, bytes);
    characters[length] = 0;
    return characters;
}

BSTR SysAllocString(const OLECHAR* text)
{
    if (text == nullptr)
        return nullptr;
    const size_t length = lengthOf(text);
    if (length > longestLength)
        return nullptr;
    return SysAllocStringLen(text, static_cast<uint32_t>(length));
}

void SysFreeString(BSTR text)
{
    if (text != nullptr)
        std::free(blockOf(text));
}

uint32_t SysStringLen(BSTR text)
{
    if (text == nullptr)
        return 0;
    LengthPrefix bytes;
    std::memcpy(&bytes, blockOf(text), sizeof bytes);
    return static_cast<uint32_t>(bytes / sizeof(OLECHAR));
}

void VariantInit(VARIANT* variant)
{
    if (variant == nullptr)
        return;
    std::memset(variant, 0, sizeof *variant);
    variant->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* variant)
{
    if (variant == nullptr)
        return E_INVALIDARG;
    switch (variant->vt) {
    case VT_BSTR:
        SysFreeString(variant->bstrVal);
        break;
    case VT_EMPTY:
    case VT_I4:
    case VT_R8:
        break;
    default:
        return DISP_E_BADVARTYPE;
    }
    VariantInit(variant);
    return S_OK;
}

BstrString::BstrString(std::u16string_view text)
{
    if (text.size() > longestLength)
        throw std::bad_alloc();
    owned = SysAllocStringLen(text.data(), static_cast<uint32_t>(text.size()));
    if (owned == nullptr)
        throw std::bad_alloc();
}

BstrString::BstrString(BstrString&& other) noexcept : owned(std::exchange(other.owned, nullptr)) { }

BstrString& BstrString::operator=(BstrString&& other) noexcept
{
    if (this != &other)
        SysFreeString(std::exchange(owned, std::exchange(other.owned, nullptr)));
    return *this;
}

BstrString::~BstrString()
{
    SysFreeString(owned);
}

BSTR* BstrString::put()
{
    SysFreeString(std::exchange(owned, nullptr));
    return &owned;
}

BSTR BstrString::detach()
{
    return std::exchange(owned, nullptr);
}
