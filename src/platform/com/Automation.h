// Automation strings (BSTR) and VARIANTs, which property bags and media
// detection hand across interfaces. BSTRs are laid out as on Windows: a
// 4-byte length in bytes sits right before the characters, which end in a
// NUL the length does not count, so a BSTR is also a plain UTF-16 string.
#pragma once

#include "platform/com/HResult.h"

#include <cstdint>
#include <string_view>

using OLECHAR = char16_t;
using BSTR = OLECHAR*;

// A copy of the NUL-terminated `text`; null for a null `text` or when
// memory runs out.
BSTR SysAllocString(const OLECHAR* text);
// A string of `length` characters copied from `text`, NULs included, or
// zeros when `text` is null; null when memory runs out.
BSTR SysAllocStringLen(const OLECHAR* text, uint32_t length);
void SysFreeString(BSTR text); // null is allowed
// The number of characters, from the length prefix; 0 for null.
uint32_t SysStringLen(BSTR text);

enum VARENUM : uint16_t { VT_EMPTY = 0, VT_I4 = 3, VT_R8 = 5, VT_BSTR = 8 };

// A VARIANT holding a type other than those of VARENUM.
inline constexpr HRESULT DISP_E_BADVARTYPE = hresult(0x80020008);

struct VARIANT {
    uint16_t vt;
    uint16_t wReserved1, wReserved2, wReserved3;
    union {
        int32_t lVal;
        double dblVal;
        BSTR bstrVal;
    };
};

// Makes `variant` an empty one (VT_EMPTY), without freeing what it held.
void VariantInit(VARIANT* variant);
// Frees what `variant` owns and makes it empty. E_INVALIDARG for null,
// DISP_E_BADVARTYPE (leaving it as it was) for a type it does not know.
HRESULT VariantClear(VARIANT* variant);

// Owns one BSTR, freed when this goes away.
class BstrString {
public:
    BstrString() = default;
    // Throws std::bad_alloc when the string cannot be allocated.
    explicit BstrString(std::u16string_view text);
    BstrString(BstrString&& other) noexcept;
    BstrString& operator=(BstrString&& other) noexcept;
    BstrString(const BstrString&) = delete;
    BstrString& operator=(const BstrString&) = delete;
    ~BstrString();

    BSTR get() const { return owned; }
    std::u16string_view view() const { return {owned, SysStringLen(owned)}; }
    // For out parameters: frees what is held and gives the slot to fill.
    BSTR* put();
    // Gives up the string to the caller, who must free it.
    BSTR detach();

private:
    BSTR owned = nullptr;
};
