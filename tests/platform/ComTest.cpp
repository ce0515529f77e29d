// The COM runtime: initialisation per thread, the class table, identifiers
// and result codes as text, BSTRs and VARIANTs, with the platform's codes.
#include "platform/com/Com.h"
#include "platform/com/Automation.h"
#include "platform/com/ErrorText.h"
#include "platform/com/Guids.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <thread>
#include <tuple>
#include <utility>

using namespace std::literals;

namespace {

inline constexpr IID IID_IProbe{0x5A1E0001, 0x7C3D, 0x4E10, {0x9A, 0x61, 0x2B, 0x8F, 0x10, 0x44, 0xC7, 0x01}};
inline constexpr IID IID_INotOffered{0x5A1E0002, 0x7C3D, 0x4E10, {0x9A, 0x61, 0x2B, 0x8F, 0x10, 0x44, 0xC7, 0x02}};
inline constexpr CLSID CLSID_TestProbe{0x5A1E1001, 0x7C3D, 0x4E10, {0x9A, 0x61, 0x2B, 0x8F, 0x10, 0x44, 0xC7, 0x11}};

struct IProbe : IUnknown {
    static constexpr const IID& iid = IID_IProbe;
    virtual int kind() = 0;

protected:
    ~IProbe() = default;
};

std::atomic<int> liveProbes{0};

// Counts its live instances, so a test sees whether an object was freed.
template <int Kind>
class Probe : public ComObject<IProbe> {
public:
    Probe() { ++liveProbes; }
    int kind() override { return Kind; }

protected:
    ~Probe() override { --liveProbes; }
};

HRESULT createProbe(REFCLSID clsid, void** object, IUnknown* outer = nullptr, REFIID iid = IID_IProbe)
{
    return CoCreateInstance(clsid, outer, CLSCTX_INPROC_SERVER, iid, object);
}

} // namespace

TEST(ComInit, CountsEachCallPerThreadAndRefusesAReservedPointer)
{
    ASSERT_EQ(comInitializationCount(), 0);
    int reserved = 0;
    EXPECT_EQ(CoInitializeEx(&reserved, COINIT_MULTITHREADED), E_INVALIDARG);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    std::thread([] {
        EXPECT_EQ(CoInitialize(nullptr), S_OK) << "another thread counts on its own";
        CoUninitialize();
    }).join();
    EXPECT_EQ(comInitializationCount(), 2);
    for (int i = 0; i < 3; ++i) // one too many
        CoUninitialize();
    EXPECT_EQ(comInitializationCount(), 0);
}

// Creating needs no initialisation; the last registration wins, a null one
// removes the class, and a failure leaves neither an object nor a pointer.
TEST(ComClassTable, CreatesWhatWasRegisteredLastAndReportsEachFailure)
{
    ASSERT_EQ(comInitializationCount(), 0);
    CLSID replaced = CLSID_TestProbe;
    replaced.Data2 = 0x8000;
    registerComClass(replaced, &createComInstance<Probe<1>>);
    registerComClass(replaced, &createComInstance<Probe<2>>);
    {
        ComPtr<IProbe> probe;
        ASSERT_EQ(createProbe(replaced, probe.putVoid()), S_OK);
        EXPECT_EQ(probe->kind(), 2);
        EXPECT_EQ(probe->AddRef(), 2u); // the caller's reference was the only one
        EXPECT_EQ(probe->Release(), 1u);
    }
    registerComClass(replaced, nullptr);
    const ComPtr<Probe<1>> outer = makeComObject<Probe<1>>();
    // Aggregation, a removed class, the null class, an interface not offered.
    const std::tuple<CLSID, IUnknown*, IID, HRESULT> cases[] = {
        {replaced, outer.get(), IID_IProbe, CLASS_E_NOAGGREGATION},
        {replaced, nullptr, IID_IProbe, REGDB_E_CLASSNOTREG},
        {GUID_NULL, nullptr, IID_IUnknown, REGDB_E_CLASSNOTREG},
        {CLSID_TestProbe, nullptr, IID_INotOffered, E_NOINTERFACE},
    };
    registerComClass(CLSID_TestProbe, &createComInstance<Probe<1>>);
    for (const auto& [clsid, outerObject, iid, expected] : cases) {
        void* object = &object;
        EXPECT_EQ(createProbe(clsid, &object, outerObject, iid), expected) << guidToString(clsid);
        EXPECT_EQ(object, nullptr) << guidToString(clsid);
    }
    EXPECT_EQ(createProbe(CLSID_TestProbe, nullptr), E_POINTER);
    EXPECT_EQ(liveProbes, 1) << "only the outer object is alive";
}

// Registry form: upper-case hex, every field at its full width, and the last
// eight bytes split two and six.
TEST(GuidText, PrintsRegistryForm)
{
    const struct {
        GUID guid;
        const char* text;
    } cases[] = {
        {CLSID_FilterGraph, "{E436EBB3-524F-11CE-9F53-0020AF0BA770}"},
        {IID_IUnknown, "{00000000-0000-0000-C000-000000000046}"}, // leading zeros kept
        {GUID{0xFFFFFFFF, 0xFFFF, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
            "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(guidToString(c.guid), c.text);
}

TEST(ErrorText, GivesThePublishedDescriptionOrNotAvailable)
{
    const struct {
        HRESULT code;
        const char* text;
    } cases[] = {
        {S_OK, "The function completed successfully"}, {E_FAIL, "An undetermined error occurred"},
        {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "The system cannot find the file specified."},
        {VFW_S_ESTIMATED, "The value returned had to be estimated.  Its accuracy cannot be guaranteed."},
        {VFW_E_INVALIDMEDIATYPE,
            "Unable to IDirectInputJoyConfig_Acquire because the user does not have sufficient "
            "privileges to change the joystick configuration. & An invalid media type was specified"},
        {VFW_E_BAD_KEY, "A registry entry is corrupt."},
        {hresult(0x8004023C), "n/a"}, // in a gap between described codes
        {hresult(0x80000000), "n/a"}, // below every described code
        {hresult(0x7FFFFFFF), "n/a"}, // above every described code
    };
    for (const auto& c : cases)
        EXPECT_STREQ(DXGetErrorDescriptionA(c.code), c.text) << std::hex << static_cast<uint32_t>(c.code);
    // The lookup is a binary search: an entry out of order or twice could be
    // missed, and then a described code would print as "n/a".
    const auto table = describedErrors();
    ASSERT_FALSE(table.empty());
    for (size_t i = 1; i < table.size(); ++i)
        EXPECT_LT(table[i - 1].code, table[i].code) << "entry " << i;
    for (const ErrorDescription& entry : table) {
        EXPECT_EQ(DXGetErrorDescriptionA(entry.code), entry.text) << std::hex << static_cast<uint32_t>(entry.code);
        EXPECT_STRNE(entry.text, "n/a");
    }
}

TEST(Bstr, KeepsItsLengthAndTerminator)
{
    for (const auto& [text, expected] : {std::pair{SysAllocString(u"Stéréo"), u"Stéréo"sv},
             {SysAllocString(u""), u""sv}, {SysAllocStringLen(u"a\0b\0", 4), u"a\0b\0"sv},
             {SysAllocStringLen(u"abcdef", 2), u"ab"sv}, {SysAllocStringLen(nullptr, 3), u"\0\0\0"sv}}) {
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::u16string_view(text, SysStringLen(text)), expected);
        EXPECT_EQ(text[expected.size()], u'\0');
        SysFreeString(text);
    }
    // Null is the empty string; a length the prefix cannot hold is refused.
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
}

// The owner frees, moves and hands over its string; a VARIANT frees the one
// it owns, once, and refuses a kind it cannot free.
TEST(Bstr, OwnersFreeWhatTheyHold)
{
    BstrString name(u"take\0two"sv);
    BstrString moved = std::move(name);
    EXPECT_EQ(name.get(), nullptr);
    EXPECT_EQ(moved.view(), u"take\0two"sv);
    name = BstrString(u"other");
    EXPECT_EQ(name.view(), u"other");
    *moved.put() = SysAllocString(u"filled by a call");
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = moved.detach();
    EXPECT_EQ(moved.get(), nullptr);
    EXPECT_EQ(std::u16string_view(text.bstrVal), u"filled by a call");
    EXPECT_EQ(VariantClear(&text), S_OK);
    EXPECT_EQ(text.vt, VT_EMPTY);
    EXPECT_EQ(VariantClear(&text), S_OK); // clearing twice frees nothing twice
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
    text.vt = 9; // an interface pointer, which this layer never stores
    EXPECT_EQ(VariantClear(&text), DISP_E_BADVARTYPE);
    EXPECT_EQ(text.vt, 9);
}
