// The media detector lists a file's audio and video streams in container
// order, each typed as the probe describes it, and says why a file cannot be
// opened with the platform's codes.
#include "platform/media/MediaDetector.h"
#include "platform/com/Com.h"
#include "platform/media/MediaInterfaces.h"
#include "platform/media/ffmpeg/MediaProbe.h"
#include "support/GraphParts.h"
#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

using zuk::media::MediaType;
using zuk::media::StreamInfo;
using namespace zuktest;

namespace {

HRESULT open(IMediaDet* detector, const std::u16string& path)
{
    return detector->put_Filename(BstrString(path).get());
}

std::vector<BYTE> formatBytes(const AM_MEDIA_TYPE& type)
{
    return {type.pbFormat, type.pbFormat + type.cbFormat};
}

} // namespace

TEST(MediaDetector, TypesEachStreamAsTheProbeDescribesItInContainerOrder)
{
    for (const char* name : {"mov-aac.mov", "mp4-aac.mp4", "mkv-vorbis.mkv", "avi-pcm.avi", "mpeg-ps.mpg",
             "two-audio.mkv", "video-only.mp4", "mp3.mp3", "flac.flac"}) {
        SCOPED_TRACE(name);
        zuk::media::OpenError why{};
        const auto probe = zuk::media::probeMedia(mediaFixture(name), why);
        ASSERT_TRUE(probe);
        std::vector<StreamInfo> streams;
        std::ranges::copy_if(probe->streams, std::back_inserter(streams),
            [](const StreamInfo& stream) { return stream.kind != StreamInfo::Kind::Other; });
        const auto detector = create<IMediaDet>(CLSID_MediaDet);
        ASSERT_EQ(open(detector.get(), wide(mediaFixture(name))), S_OK);
        long count = -1;
        ASSERT_EQ(detector->get_OutputStreams(&count), S_OK);
        ASSERT_EQ(count, static_cast<long>(streams.size()));
        for (long i = 0; i < count; ++i) {
            const StreamInfo& stream = streams[static_cast<size_t>(i)];
            const bool audio = stream.kind == StreamInfo::Kind::Audio;
            ASSERT_EQ(detector->put_CurrentStream(i), S_OK);
            GUID major = GUID_NULL;
            EXPECT_EQ(detector->get_StreamType(&major), S_OK);
            EXPECT_EQ(major, audio ? MEDIATYPE_Audio : MEDIATYPE_Video);
            MediaType type;
            EXPECT_EQ(detector->get_StreamMediaType(type.put()), S_OK);
            const MediaType described =
                audio ? zuk::media::audioStreamType(stream.audio) : zuk::media::videoStreamType(stream.video);
            EXPECT_TRUE(type.matches(described.get()));
            EXPECT_EQ(formatBytes(type.get()), formatBytes(described.get()));
            double rate = -1, seconds = -1;
            EXPECT_EQ(detector->get_FrameRate(&rate), audio ? VFW_E_INVALIDMEDIATYPE : S_OK);
            EXPECT_EQ(rate, audio ? 0.0 : stream.video.framesPerSecond());
            // Sound lasts its own frames; video, and sound of unknown length, the container's duration.
            EXPECT_EQ(detector->get_StreamLength(&seconds), S_OK);
            EXPECT_DOUBLE_EQ(seconds,
                audio && stream.audio.frames > 0 ? static_cast<double>(stream.audio.frames) / stream.audio.sampleRate
                                                 : static_cast<double>(probe->containerDurationUs) / 1e6);
            long current = -1;
            EXPECT_EQ(detector->get_CurrentStream(&current), S_OK);
            EXPECT_EQ(current, i);
        }
        BstrString opened;
        EXPECT_EQ(detector->get_Filename(opened.put()), S_OK);
        EXPECT_EQ(std::u16string(opened.view()), wide(mediaFixture(name)));
        for (const long outside : {-1L, count})
            EXPECT_EQ(detector->put_CurrentStream(outside), E_INVALIDARG) << outside;
    }
}

// A file it cannot open leaves none open, not even the one before; calls
// before a file is open, or with nowhere to write the answer, are refused.
TEST(MediaDetector, RefusesFilesItCannotOpenAndCallsWithoutAFileOrAPlaceForTheAnswer)
{
    const auto detector = create<IMediaDet>(CLSID_MediaDet);
    EXPECT_EQ(detector->put_Filename(nullptr), E_INVALIDARG);
    EXPECT_EQ(open(detector.get(), u""), E_INVALIDARG);
    const std::u16string garbage = wide(mediaFixture("garbage.bin"));
    for (const auto& [path, result] : {std::pair{u"/nowhere/missing.mp4", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
             {u"/tmp/\xD800.mp4", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
             {garbage.c_str(), VFW_E_UNKNOWN_FILE_TYPE}}) {
        ASSERT_EQ(open(detector.get(), wide(mediaFixture("mov-aac.mov"))), S_OK);
        EXPECT_EQ(open(detector.get(), path), result);
        long count = -1;
        GUID major{};
        double value = -1;
        AM_MEDIA_TYPE type{};
        EXPECT_EQ(detector->get_OutputStreams(&count), E_INVALIDARG) << "the earlier file is gone too";
        EXPECT_EQ(count, 0);
        EXPECT_EQ(detector->put_CurrentStream(0), E_INVALIDARG);
        EXPECT_EQ(detector->get_StreamType(&major), E_INVALIDARG);
        EXPECT_EQ(detector->get_FrameRate(&value), E_INVALIDARG);
        EXPECT_EQ(detector->get_StreamLength(&value), E_INVALIDARG);
        EXPECT_EQ(detector->get_CurrentStream(&count), E_INVALIDARG);
        EXPECT_EQ(detector->get_Filename(BstrString().put()), E_INVALIDARG);
        EXPECT_EQ(detector->get_StreamMediaType(&type), E_INVALIDARG);
        EXPECT_EQ(type.pbFormat, nullptr);
    }
    ASSERT_EQ(open(detector.get(), wide(mediaFixture("mov-aac.mov"))), S_OK);
    EXPECT_EQ(detector->get_OutputStreams(nullptr), E_POINTER);
    EXPECT_EQ(detector->get_StreamType(nullptr), E_POINTER);
    EXPECT_EQ(detector->get_FrameRate(nullptr), E_POINTER);
    EXPECT_EQ(detector->get_StreamMediaType(nullptr), E_POINTER);
    EXPECT_EQ(detector->get_StreamLength(nullptr), E_POINTER);
    EXPECT_EQ(detector->get_CurrentStream(nullptr), E_POINTER);
    EXPECT_EQ(detector->get_Filename(nullptr), E_POINTER);
}
