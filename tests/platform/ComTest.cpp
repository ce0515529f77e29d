// COM initialisation counts per thread, and objects are created by class id
// from the process-wide class table, with the platform's result codes.
#include "platform/com/Com.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

inline constexpr IID IID_IProbe{0x5A1E0001, 0x7C3D, 0x4E10, {0x9A, 0x61, 0x2B, 0x8F, 0x10, 0x44, 0xC7, 0x01}};
inline constexpr IID IID_INotOffered{0x5A1E0002, 0x7C3D, 0x4E10, {0x9A, 0x61, 0x2B, 0x8F, 0x10, 0x44, 0xC7, 0x02}};
inline constexpr CLSID CLSID_TestProbe{0x5A1E1001, 0x7C3D, 0x4E10, {0x9A, 0x61, 0x2B, 0x8F, 0x10, 0x44, 0xC7, 0x11}};
inline constexpr CLSID CLSID_TestReplaced{0x5A1E1002, 0x7C3D, 0x4E10, {0x9A, 0x61, 0x2B, 0x8F, 0x10, 0x44, 0xC7, 0x12}};
inline constexpr CLSID CLSID_TestNeverRegistered{
    0x5A1E1003, 0x7C3D, 0x4E10, {0x9A, 0x61, 0x2B, 0x8F, 0x10, 0x44, 0xC7, 0x13}};

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

using FirstProbe = Probe<1>;
using SecondProbe = Probe<2>;

ComPtr<IProbe> createProbe(REFCLSID clsid)
{
    ComPtr<IProbe> probe;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IProbe, probe.putVoid()), S_OK);
    return probe;
}

CLSID threadClass(int thread)
{
    CLSID clsid = CLSID_TestProbe;
    clsid.Data2 = static_cast<uint16_t>(0x8000 + thread);
    return clsid;
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

TEST(ComClassTable, CreatesWhatWasRegisteredLastWithOneReference)
{
    ASSERT_EQ(comInitializationCount(), 0); // creating needs no initialisation
    registerComClass(CLSID_TestReplaced, &createComInstance<FirstProbe>);
    {
        ComPtr<IProbe> probe = createProbe(CLSID_TestReplaced);
        ASSERT_TRUE(probe);
        EXPECT_EQ(probe->kind(), 1);
        EXPECT_EQ(probe->AddRef(), 2u); // the caller's reference was the only one
        EXPECT_EQ(probe->Release(), 1u);
    }
    EXPECT_EQ(liveProbes, 0);
    registerComClass(CLSID_TestReplaced, &createComInstance<SecondProbe>);
    EXPECT_EQ(createProbe(CLSID_TestReplaced)->kind(), 2);

    registerComClass(CLSID_TestReplaced, nullptr);
    void* object = nullptr;
    EXPECT_EQ(
        CoCreateInstance(CLSID_TestReplaced, nullptr, CLSCTX_INPROC_SERVER, IID_IProbe, &object), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(liveProbes, 0);
}

TEST(ComClassTable, ReportsEachFailureAndLeavesNoObject)
{
    registerComClass(CLSID_TestProbe, &createComInstance<FirstProbe>);
    const ComPtr<FirstProbe> outer = makeComObject<FirstProbe>();
    const int liveBefore = liveProbes;
    const struct {
        const char* what;
        CLSID clsid;
        IUnknown* outer;
        IID iid;
        HRESULT expected;
    } cases[] = {
        {"aggregation", CLSID_TestProbe, outer.get(), IID_IProbe, CLASS_E_NOAGGREGATION},
        {"unknown class", CLSID_TestNeverRegistered, nullptr, IID_IProbe, REGDB_E_CLASSNOTREG},
        {"null class", GUID_NULL, nullptr, IID_IUnknown, REGDB_E_CLASSNOTREG},
        {"interface not offered", CLSID_TestProbe, nullptr, IID_INotOffered, E_NOINTERFACE},
    };
    for (const auto& c : cases) {
        int garbage = 0;
        void* object = &garbage;
        EXPECT_EQ(CoCreateInstance(c.clsid, c.outer, CLSCTX_INPROC_SERVER, c.iid, &object), c.expected) << c.what;
        EXPECT_EQ(object, nullptr) << c.what;
        EXPECT_EQ(liveProbes, liveBefore) << c.what;
    }
    EXPECT_EQ(CoCreateInstance(CLSID_TestProbe, nullptr, CLSCTX_INPROC_SERVER, IID_IProbe, nullptr), E_POINTER);
    EXPECT_EQ(liveProbes, liveBefore);
}

TEST(ComClassTable, RegistersAndCreatesFromManyThreads)
{
    registerComClass(CLSID_TestProbe, &createComInstance<FirstProbe>);
    constexpr int threadCount = 4;
    constexpr int rounds = 50;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([t, &failures] {
            const CLSID own = threadClass(t);
            for (int round = 0; round < rounds; ++round) {
                registerComClass(own, round % 2 ? &createComInstance<SecondProbe> : &createComInstance<FirstProbe>);
                for (const CLSID& clsid : {CLSID_TestProbe, own}) {
                    void* object = nullptr;
                    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IProbe, &object)))
                        ++failures;
                    else
                        static_cast<IProbe*>(object)->Release();
                }
            }
            registerComClass(own, nullptr);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(liveProbes, 0);
}
