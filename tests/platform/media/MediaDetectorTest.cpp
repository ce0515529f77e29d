// The media detector describes a file's audio and video streams, in
// container order, as stored: format blocks, lengths and frame rates, and
// says why a file cannot be opened with the platform's codes.
#include "platform/com/Com.h"
#include "platform/media/MediaDetector.h"
#include "platform/media/MediaInterfaces.h"
#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

ComPtr<IMediaDet> newDetector()
{
    ComPtr<IMediaDet> detector;
    EXPECT_EQ(CoCreateInstance(CLSID_MediaDet, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaDet, detector.putVoid()),
              S_OK);
    return detector;
}

HRESULT open(IMediaDet* detector, const std::string& path)
{
    const BstrString name(zuktest::wide(path));
    return detector->put_Filename(name.get());
}

// A detector with the fixture `name` open.
ComPtr<IMediaDet> detectorOn(const std::string& name)
{
    auto detector = newDetector();
    if (detector) {
        EXPECT_EQ(open(detector.get(), zuktest::mediaFixture(name)), S_OK) << name;
    }
    return detector;
}

long outputStreams(IMediaDet* detector)
{
    long count = -1;
    EXPECT_EQ(detector->get_OutputStreams(&count), S_OK);
    return count;
}

using zuk::media::MediaType;

WAVEFORMATEX waveFormatOf(const AM_MEDIA_TYPE& type)
{
    WAVEFORMATEX format{};
    EXPECT_EQ(type.formattype, FORMAT_WaveFormatEx);
    EXPECT_GE(type.cbFormat, sizeof format);
    if (type.formattype == FORMAT_WaveFormatEx && type.cbFormat >= sizeof format)
        std::memcpy(&format, type.pbFormat, sizeof format);
    return format;
}

VIDEOINFOHEADER videoInfoOf(const AM_MEDIA_TYPE& type)
{
    VIDEOINFOHEADER info{};
    EXPECT_EQ(type.formattype, FORMAT_VideoInfo);
    EXPECT_GE(type.cbFormat, sizeof info);
    if (type.formattype == FORMAT_VideoInfo && type.cbFormat >= sizeof info)
        std::memcpy(&info, type.pbFormat, sizeof info);
    return info;
}

// Major type of every output stream, in order, each read with its whole type.
std::vector<std::string> streamKinds(IMediaDet* detector)
{
    std::vector<std::string> kinds;
    const long count = outputStreams(detector);
    for (long i = 0; i < count; ++i) {
        EXPECT_EQ(detector->put_CurrentStream(i), S_OK);
        GUID major = GUID_NULL;
        EXPECT_EQ(detector->get_StreamType(&major), S_OK);
        MediaType type;
        EXPECT_EQ(detector->get_StreamMediaType(type.put()), S_OK);
        EXPECT_EQ(type.get().majortype, major);
        kinds.push_back(major == MEDIATYPE_Audio ? "audio" : major == MEDIATYPE_Video ? "video" : guidToString(major));
    }
    return kinds;
}

// The current stream's type, its format block freed by MediaType.
MediaType currentType(IMediaDet* detector)
{
    MediaType type;
    EXPECT_EQ(detector->get_StreamMediaType(type.put()), S_OK);
    return type;
}

double streamLength(IMediaDet* detector)
{
    double seconds = -1;
    EXPECT_EQ(detector->get_StreamLength(&seconds), S_OK);
    return seconds;
}

} // namespace

TEST(MediaDetector, ListsAudioAndVideoStreamsInContainerOrder)
{
    const struct {
        const char* file;
        std::vector<std::string> kinds;
    } cases[] = {
        {"mov-aac.mov", {"video", "audio"}},
        {"mp4-aac.mp4", {"video", "audio"}},
        {"mkv-vorbis.mkv", {"video", "audio"}},
        {"avi-pcm.avi", {"video", "audio"}},
        {"mpeg-ps.mpg", {"video", "audio"}},
        {"two-audio.mkv", {"video", "audio", "audio"}},
        {"video-only.mp4", {"video"}},
        {"mp3.mp3", {"audio"}},
        {"flac.flac", {"audio"}},
    };
    for (const auto& c : cases) {
        const auto detector = detectorOn(c.file);
        ASSERT_TRUE(detector);
        EXPECT_EQ(streamKinds(detector.get()), c.kinds) << c.file;
    }
}

TEST(MediaDetector, DescribesAudioAsStoredInAWaveFormat)
{
    const struct {
        const char* file;
        long stream;
        WORD tag;
        WORD channels;
        DWORD rate;
        WORD blockAlign;
        WORD bits;
    } cases[] = {
        {"mov-aac.mov", 1, 0x00FF, 2, 44100, 1, 0}, // AAC: byte-aligned, no sample width
        {"avi-pcm.avi", 1, WAVE_FORMAT_PCM, 2, 48000, 4, 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto detector = detectorOn(c.file);
        ASSERT_TRUE(detector);
        ASSERT_EQ(detector->put_CurrentStream(c.stream), S_OK);
        const MediaType type = currentType(detector.get());
        EXPECT_EQ(type.get().majortype, MEDIATYPE_Audio);
        const WAVEFORMATEX format = waveFormatOf(type.get());
        EXPECT_EQ(format.wFormatTag, c.tag);
        EXPECT_EQ(format.nChannels, c.channels);
        EXPECT_EQ(format.nSamplesPerSec, c.rate);
        EXPECT_EQ(format.nBlockAlign, c.blockAlign);
        EXPECT_EQ(format.wBitsPerSample, c.bits);
    }
}

TEST(MediaDetector, GivesEachVideoStreamsFrameRate)
{
    const struct {
        const char* file;
        double framesPerSecond;
        REFERENCE_TIME timePerFrame;
    } cases[] = {
        {"mov-aac.mov", 25.0, 400000},
        {"mp4-aac.mp4", 30000.0 / 1001, 333667},
        {"mkv-vorbis.mkv", 24000.0 / 1001, 417083},
        {"video-only.mp4", 25.0, 400000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto detector = detectorOn(c.file);
        ASSERT_TRUE(detector);
        ASSERT_EQ(detector->put_CurrentStream(0), S_OK);
        double rate = -1;
        EXPECT_EQ(detector->get_FrameRate(&rate), S_OK);
        EXPECT_NEAR(rate, c.framesPerSecond, 1e-9);
        const VIDEOINFOHEADER info = videoInfoOf(currentType(detector.get()).get());
        EXPECT_EQ(info.AvgTimePerFrame, c.timePerFrame);
        EXPECT_EQ(info.bmiHeader.biWidth, 160);
        EXPECT_EQ(info.bmiHeader.biHeight, 120);
    }
}

TEST(MediaDetector, AudioStreamsHaveNoFrameRate)
{
    const auto detector = detectorOn("mov-aac.mov");
    ASSERT_TRUE(detector);
    ASSERT_EQ(detector->put_CurrentStream(1), S_OK);
    double rate = -1;
    EXPECT_EQ(detector->get_FrameRate(&rate), VFW_E_INVALIDMEDIATYPE);
    EXPECT_EQ(rate, 0.0);
}

TEST(MediaDetector, AudioLastsItsOwnFramesAndVideoTheFile)
{
    const auto detector = detectorOn("avi-pcm.avi");
    ASSERT_TRUE(detector);
    ASSERT_EQ(detector->put_CurrentStream(1), S_OK);
    EXPECT_NEAR(streamLength(detector.get()), 2.3, 1.0 / 48000);
    ASSERT_EQ(detector->put_CurrentStream(0), S_OK);
    EXPECT_NEAR(streamLength(detector.get()), 2.0, 0.05);
}

TEST(MediaDetector, SecondAudioStreamIsItsOwn)
{
    const auto detector = detectorOn("two-audio.mkv");
    ASSERT_TRUE(detector);
    ASSERT_EQ(outputStreams(detector.get()), 3);
    std::vector<DWORD> rates;
    for (long stream : {1, 2}) {
        ASSERT_EQ(detector->put_CurrentStream(stream), S_OK);
        rates.push_back(waveFormatOf(currentType(detector.get()).get()).nSamplesPerSec);
        EXPECT_NEAR(streamLength(detector.get()), 2.0, 0.05);
    }
    EXPECT_EQ(rates, (std::vector<DWORD>{44100, 48000}));
}

TEST(MediaDetector, CurrentStreamStaysInRangeAndRestartsWithEachFile)
{
    const auto detector = detectorOn("two-audio.mkv");
    ASSERT_TRUE(detector);
    for (long outside : {-1L, 3L, 1000L})
        EXPECT_EQ(detector->put_CurrentStream(outside), E_INVALIDARG) << outside;
    long current = -1;
    EXPECT_EQ(detector->get_CurrentStream(&current), S_OK);
    EXPECT_EQ(current, 0);

    ASSERT_EQ(detector->put_CurrentStream(2), S_OK);
    ASSERT_EQ(open(detector.get(), zuktest::mediaFixture("mp3.mp3")), S_OK);
    EXPECT_EQ(detector->get_CurrentStream(&current), S_OK);
    EXPECT_EQ(current, 0);
    EXPECT_EQ(outputStreams(detector.get()), 1);
}

TEST(MediaDetector, GivesBackTheNameItOpened)
{
    zuktest::TempDir folder;
    const std::string path = folder.file("Bjørk ♫ 日本.mp3");
    std::filesystem::copy_file(zuktest::mediaFixture("mp3.mp3"), path);
    const auto detector = newDetector();
    ASSERT_TRUE(detector);
    ASSERT_EQ(open(detector.get(), path), S_OK);
    BstrString name;
    ASSERT_EQ(detector->get_Filename(name.put()), S_OK);
    EXPECT_EQ(std::u16string(name.view()), zuktest::wide(path));
    EXPECT_EQ(outputStreams(detector.get()), 1);
}

TEST(MediaDetector, RefusesFilesItCannotOpen)
{
    zuktest::TempDir folder;
    const struct {
        const char* what;
        std::u16string path;
        HRESULT result;
    } cases[] = {
        {"missing", zuktest::wide(folder.file("missing.mp4")), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
        {"lone surrogate", u"/tmp/\xD800.mp4", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
        {"garbage", zuktest::wide(zuktest::mediaFixture("garbage.bin")), VFW_E_UNKNOWN_FILE_TYPE},
        {"empty", zuktest::wide(zuktest::mediaFixture("empty.mp4")), VFW_E_UNKNOWN_FILE_TYPE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto detector = detectorOn("mov-aac.mov");
        ASSERT_TRUE(detector);
        const BstrString name(c.path);
        EXPECT_EQ(detector->put_Filename(name.get()), c.result);
        long count = -1;
        EXPECT_EQ(detector->get_OutputStreams(&count), E_INVALIDARG); // the earlier file is gone too
        EXPECT_EQ(count, 0);
    }
}

TEST(MediaDetector, RefusesMissingNames)
{
    const auto detector = newDetector();
    ASSERT_TRUE(detector);
    const BstrString empty(u"");
    EXPECT_EQ(detector->put_Filename(nullptr), E_INVALIDARG);
    EXPECT_EQ(detector->put_Filename(empty.get()), E_INVALIDARG);
}

TEST(MediaDetector, NothingToDescribeBeforeAFileIsOpen)
{
    const auto detector = newDetector();
    ASSERT_TRUE(detector);
    long number = -1;
    GUID major{};
    double value = -1;
    BSTR name = nullptr;
    AM_MEDIA_TYPE type{};
    EXPECT_EQ(detector->get_OutputStreams(&number), E_INVALIDARG);
    EXPECT_EQ(detector->get_CurrentStream(&number), E_INVALIDARG);
    EXPECT_EQ(detector->put_CurrentStream(0), E_INVALIDARG);
    EXPECT_EQ(detector->get_StreamType(&major), E_INVALIDARG);
    EXPECT_EQ(detector->get_StreamLength(&value), E_INVALIDARG);
    EXPECT_EQ(detector->get_FrameRate(&value), E_INVALIDARG);
    EXPECT_EQ(detector->get_Filename(&name), E_INVALIDARG);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(detector->get_StreamMediaType(&type), E_INVALIDARG);
    EXPECT_EQ(type.pbFormat, nullptr);
}

TEST(MediaDetector, RefusesNullOutPointers)
{
    const auto detector = detectorOn("mov-aac.mov");
    ASSERT_TRUE(detector);
    EXPECT_EQ(detector->get_OutputStreams(nullptr), E_POINTER);
    EXPECT_EQ(detector->get_CurrentStream(nullptr), E_POINTER);
    EXPECT_EQ(detector->get_StreamType(nullptr), E_POINTER);
    EXPECT_EQ(detector->get_StreamLength(nullptr), E_POINTER);
    EXPECT_EQ(detector->get_FrameRate(nullptr), E_POINTER);
    EXPECT_EQ(detector->get_Filename(nullptr), E_POINTER);
    EXPECT_EQ(detector->get_StreamMediaType(nullptr), E_POINTER);
}
