// COM initialisation counts per thread, and objects are created by class id
// from the process-wide class table, with the platform's result codes.
#include "platform/com/Com.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

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
    EXPECT_EQ(CoInitialize(&reserved), E_INVALIDARG);
    EXPECT_EQ(CoInitializeEx(&reserved, COINIT_MULTITHREADED), E_INVALIDARG);
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    HRESULT otherFirstInit = E_FAIL;
    std::thread other([&] {
        otherFirstInit = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        CoUninitialize();
    });
    other.join();
    EXPECT_EQ(otherFirstInit, S_OK);
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
    const struct {
        const char* what;
        CLSID clsid;
        IUnknown* outer;
        IID iid;
        HRESULT expected;
    } cases[] = {
        {"aggregation", replaced, outer.get(), IID_IProbe, CLASS_E_NOAGGREGATION},
        {"removed class", replaced, nullptr, IID_IProbe, REGDB_E_CLASSNOTREG},
        {"null class", GUID_NULL, nullptr, IID_IUnknown, REGDB_E_CLASSNOTREG},
        {"interface not offered", CLSID_TestProbe, nullptr, IID_INotOffered, E_NOINTERFACE},
    };
    registerComClass(CLSID_TestProbe, &createComInstance<Probe<1>>);
    for (const auto& c : cases) {
        void* object = &object;
        EXPECT_EQ(createProbe(c.clsid, &object, c.outer, c.iid), c.expected) << c.what;
        EXPECT_EQ(object, nullptr) << c.what;
    }
    EXPECT_EQ(createProbe(CLSID_TestProbe, nullptr), E_POINTER);
    EXPECT_EQ(liveProbes, 1) << "only the outer object is alive";
}
