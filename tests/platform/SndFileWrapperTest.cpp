// The LibSndFileWrapper module as callers use it: found by class id in a
// library of its own, loaded with a sound file and run in a graph to its end.
#include "platform/SharedLibrary.h"
#include "platform/WideText.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/Com.h"
#include "platform/com/ComModules.h"
#include "platform/media/GraphRig.h"
#include "platform/media/MediaType.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

using namespace zuktest;
using zuk::media::MediaType;

namespace {

const std::string kModuleDir = ZUK_MODULE_DIR;
const std::string kModuleWithoutFactoryDir = std::string(ZUK_FAKES_DIR) + "/sndfilewrapper-bare";
constexpr int64_t kBlockFrames = 4096; // what the filter reads per buffer

std::vector<BYTE> formatBlock(const MediaType& type)
{
    return {type.get().pbFormat, type.get().pbFormat + type.get().cbFormat};
}

// The module is taken from its build folder for the length of each test, and
// forgotten after it, when none of its objects are left.
class SndFileWrapper : public ::testing::Test {
protected:
    void SetUp() override { setComModuleFolderForTesting(kModuleDir); }
    void TearDown() override { setComModuleFolderForTesting(""); }

    TempDir dir;
};

// Every frame of the file comes through, with its time, until the stream
// ends or a read error aborts the graph.
TEST_F(SndFileWrapper, DeliversTheFramesWithTheirTimesUntilTheEndOrAReadError)
{
    const int64_t frames = 2 * kBlockFrames + 1808; // the last buffer is a short one
    const struct {
        const char* name;
        int rate, channels, format;
        int64_t frames;
        bool damaged;
    } cases[] = {
        {"tone.wav", 44100, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16, frames, false},
        {"tone.flac", 48000, 1, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, frames, false},
        {"damaged.flac", 8000, 1, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 4 * kBlockFrames, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = dir.file(c.name);
        const auto written = testSignal(c.frames, c.channels, c.rate);
        writeShorts(file, c.rate, c.channels, written, c.format);
        if (c.damaged) { // garbage in the last quarter: the decoder loses its way there
            std::string bytes = fileBytes(file);
            for (size_t i = bytes.size() * 3 / 4; i < bytes.size() * 3 / 4 + 64; ++i)
                bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
            std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        }

        // LibSndFileWrapper -> Sample Grabber (PCM) -> Null Renderer, run to its
        // end and stopped as graph code does it.
        const auto source = create<IBaseFilter>(CLSID_LibSndFileWrapper);
        ASSERT_EQ(source.as<IFileSourceFilter>()->Load(wide(file).c_str(), nullptr), S_OK);
        const auto delivery = makeComObject<Collector>();
        const auto graph = grabbingGraph(source.get(), u"Output", delivery.get());
        ComPtr<IBaseFilter> grabber;
        ASSERT_EQ(graph->FindFilterByName(u"Sample Grabber", grabber.put()), S_OK);
        const RunEnd end = runToEnd(graph.get());
        MediaType connected;
        grabber.as<ISampleGrabber>()->GetConnectedMediaType(connected.put());

        EXPECT_EQ(end.code, c.damaged ? EC_ERRORABORT : EC_COMPLETE);
        EXPECT_EQ(end.abortReason, c.damaged ? VFW_E_INVALID_FILE_FORMAT : S_OK);
        ASSERT_GE(delivery->samples.size(), c.damaged ? static_cast<size_t>(kBlockFrames) : written.size());
        ASSERT_LE(delivery->samples.size(), written.size() - c.damaged) << "all frames, or those before the damage";
        EXPECT_TRUE(std::equal(delivery->samples.begin(), delivery->samples.end(), written.begin()))
            << "the PCM differs from the file's frames";
        EXPECT_EQ(formatBlock(connected), formatBlock(zuk::media::pcmAudioType(c.rate, c.channels)));
        EXPECT_TRUE(c.damaged || delivery->times.size() == 3u) << delivery->times.size();
        for (size_t i = 0; i < delivery->times.size(); ++i) {
            const int64_t start = static_cast<int64_t>(i) * kBlockFrames * 10'000'000 / c.rate;
            EXPECT_DOUBLE_EQ(delivery->times[i], static_cast<double>(start) / 1e7) << "buffer " << i;
        }
    }
}

// Graph code's own tests show a missing or unreadable file refused; here the
// rest of the refusals, through one filter, which none of them leaves loaded.
TEST_F(SndFileWrapper, LoadRefusesWhatItCannotReadThenTakesOneFileOnly)
{
    const std::string tooWide = dir.file("65-channels.wav"), widest = dir.file("64-channels.wav");
    writeShorts(tooWide, 8000, 65, constantFrames(16, std::vector<int16_t>(65, 1)));
    writeShorts(widest, 8000, 64, constantFrames(16, std::vector<int16_t>(64, 1)));
    const char16_t loneSurrogate[] = {u'/', 0xD800, u'x', 0};
    const std::u16string folderName = wide(dir.path().string()), tooWideName = wide(tooWide);
    const auto source = create<IFileSourceFilter>(CLSID_LibSndFileWrapper);
    for (const auto& [name, expected] : {std::pair{static_cast<const char16_t*>(nullptr), E_POINTER},
             {loneSurrogate, HRESULT_FROM_WIN32(ERROR_INVALID_NAME)},
             {folderName.c_str(), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)},
             {tooWideName.c_str(), VFW_E_UNSUPPORTED_STREAM}})
        EXPECT_EQ(source->Load(name, nullptr), expected) << (name ? zuk::utf16ToUtf8(name).value_or("?") : "null");

    // The widest file loads; a second file is refused and the first stays.
    ASSERT_EQ(source->Load(wide(widest).c_str(), nullptr), S_OK);
    EXPECT_EQ(source->Load(tooWideName.c_str(), nullptr), E_UNEXPECTED);
    LPOLESTR name = nullptr;
    MediaType offered;
    ASSERT_EQ(source->GetCurFile(&name, offered.put()), S_OK);
    EXPECT_EQ(std::u16string(name), wide(widest));
    CoTaskMemFree(name);
    EXPECT_TRUE(offered.matches(zuk::media::pcmAudioType(8000, 64).get()));
    EXPECT_EQ(formatBlock(offered), formatBlock(zuk::media::pcmAudioType(8000, 64)));
}

// Each test sets where the module is looked for; none is left set after it.
class SndFileWrapperModule : public ::testing::Test {
protected:
    void TearDown() override { setComModuleFolderForTesting(""); }
};

// Absent, or without its factory, the class is not registered; once there,
// the module is loaded at first use, from any thread. Its export and factory
// make its own class only, never aggregated.
TEST_F(SndFileWrapperModule, IsFoundOnlyWhereItIsWholeAndMakesItsOwnClassOnly)
{
    const TempDir nothingThere;
    void* object = &object;
    for (const std::string& folder : {nothingThere.path().string(), kModuleWithoutFactoryDir}) {
        setComModuleFolderForTesting(folder);
        EXPECT_EQ(CoCreateInstance(CLSID_LibSndFileWrapper, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, &object),
            REGDB_E_CLASSNOTREG);
        EXPECT_EQ(object, nullptr);
    }
    setComModuleFolderForTesting(kModuleDir);
    std::atomic<int> created{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 25; ++i)
                created += static_cast<bool>(create<IFileSourceFilter>(CLSID_LibSndFileWrapper));
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(created, 100);

    const auto module = zuk::SharedLibrary::loadFromFolders("sndfilewrapper.dll", {kModuleDir});
    ASSERT_TRUE(module);
    auto* entry = module->entryPoint<DllGetClassObjectFunction>(kDllGetClassObjectName);
    ASSERT_NE(entry, nullptr);
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(entry(CLSID_FilterGraph, IID_IClassFactory, factory.putVoid()), CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(entry(CLSID_LibSndFileWrapper, IID_IClassFactory, factory.putVoid()), S_OK);
    const auto source = create<IFileSourceFilter>(CLSID_LibSndFileWrapper);
    EXPECT_EQ(factory->CreateInstance(source.get(), IID_IBaseFilter, &object), CLASS_E_NOAGGREGATION);
}

} // namespace
