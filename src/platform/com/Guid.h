// Class and interface identifiers, laid out as on Windows so that the values
// copied from the platform's headers mean the same here.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool IsEqualGUID(REFGUID a, REFGUID b)
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

inline bool operator==(REFGUID a, REFGUID b)
{
    return IsEqualGUID(a, b);
}

// "{E436EBB3-524F-11CE-9F53-0020AF0BA770}", the registry form.
std::string guidToString(REFGUID guid);

inline constexpr GUID GUID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

static_assert(sizeof(GUID) == 16, "GUIDs are 16 bytes, as stored in files and registries");
