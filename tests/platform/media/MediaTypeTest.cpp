// Media types own their format blocks and pUnk references: copies are deep,
// every block is freed once (ASan finds double frees and leaks), and the
// builders lay out WAVEFORMATEX and VIDEOINFOHEADER as the platform does.
#include "platform/media/MediaType.h"
#include "platform/com/Com.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

using zuk::media::MediaType;

namespace {

// An IUnknown that only counts its references.
struct CountedUnknown final : IUnknown {
    ULONG references = 1;
    HRESULT QueryInterface(REFIID, void** object) override
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++references; }
    ULONG Release() override { return --references; }
};

WAVEFORMATEX stereoCd()
{
    return WAVEFORMATEX{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
}

// A type whose format block is `format` itself, not allocated: copy it.
AM_MEDIA_TYPE pointingAt(WAVEFORMATEX& format, IUnknown* unknown = nullptr)
{
    AM_MEDIA_TYPE type{};
    type.majortype = MEDIATYPE_Audio;
    type.subtype = MEDIASUBTYPE_PCM;
    type.formattype = FORMAT_WaveFormatEx;
    type.pUnk = unknown;
    type.cbFormat = sizeof format;
    type.pbFormat = reinterpret_cast<BYTE*>(&format);
    return type;
}

std::vector<BYTE> formatBytes(const AM_MEDIA_TYPE& type)
{
    return {type.pbFormat, type.pbFormat + type.cbFormat};
}

WAVEFORMATEX waveFormatOf(const MediaType& type)
{
    const WAVEFORMATEX* format = type.waveFormat();
    EXPECT_NE(format, nullptr);
    return format ? *format : WAVEFORMATEX{};
}

VIDEOINFOHEADER videoInfoOf(const MediaType& type)
{
    VIDEOINFOHEADER info{};
    EXPECT_EQ(type.get().formattype, FORMAT_VideoInfo);
    EXPECT_EQ(type.get().cbFormat, sizeof info);
    if (type.get().cbFormat == sizeof info)
        std::memcpy(&info, type.get().pbFormat, sizeof info);
    return info;
}

} // namespace

TEST(MediaTypeFunctions, CopyMakesItsOwnFormatBlockAndReference)
{
    WAVEFORMATEX format = stereoCd();
    CountedUnknown unknown;
    AM_MEDIA_TYPE noFormat{};
    noFormat.majortype = MEDIATYPE_Stream;
    for (const AM_MEDIA_TYPE& source : {pointingAt(format, &unknown), noFormat}) {
        AM_MEDIA_TYPE copy{};
        ASSERT_EQ(CopyMediaType(&copy, &source), S_OK);
        EXPECT_EQ(copy.majortype, source.majortype);
        EXPECT_EQ(copy.pbFormat == nullptr, source.pbFormat == nullptr);
        EXPECT_EQ(formatBytes(copy), formatBytes(source));
        EXPECT_EQ(copy.pUnk, source.pUnk);
        FreeMediaType(copy);
        EXPECT_EQ(copy.pbFormat, nullptr);
        EXPECT_EQ(copy.cbFormat, 0u);
        EXPECT_EQ(copy.pUnk, nullptr);
    }
    EXPECT_EQ(unknown.references, 1u) << "the copy's reference was taken and given back";
    AM_MEDIA_TYPE type{};
    EXPECT_EQ(CopyMediaType(nullptr, &type), E_POINTER);
    EXPECT_EQ(CopyMediaType(&type, nullptr), E_POINTER);
    EXPECT_EQ(CopyMediaType(&type, &type), E_INVALIDARG);
}

// Every copy owns its block and reference: ASan sees a block freed twice or never.
TEST(MediaTypeOwner, CopiesPutAndHandedOutCopiesEachOwnTheirBlock)
{
    WAVEFORMATEX format = stereoCd();
    CountedUnknown unknown;
    const AM_MEDIA_TYPE source = pointingAt(format, &unknown);
    {
        const MediaType original(source);
        const MediaType copied(original);
        MediaType assigned;
        assigned = original;
        EXPECT_EQ(unknown.references, 4u);
        for (const MediaType* type : std::initializer_list<const MediaType*>{&original, &copied, &assigned})
            EXPECT_EQ(formatBytes(type->get()), formatBytes(source));
        EXPECT_NE(copied.get().pbFormat, original.get().pbFormat);
        EXPECT_NE(assigned.get().pbFormat, original.get().pbFormat);

        AM_MEDIA_TYPE filled{};
        original.copyTo(&filled);
        EXPECT_NE(filled.pbFormat, original.get().pbFormat);
        FreeMediaType(filled);
        AM_MEDIA_TYPE* allocated = original.newCopy();
        EXPECT_EQ(formatBytes(*allocated), formatBytes(source));
        DeleteMediaType(allocated);
        DeleteMediaType(nullptr);
    }
    EXPECT_EQ(unknown.references, 1u);

    MediaType type(source);
    AM_MEDIA_TYPE* slot = type.put();
    EXPECT_EQ(unknown.references, 1u);
    EXPECT_EQ(slot->pbFormat, nullptr);
    ASSERT_EQ(CopyMediaType(slot, &source), S_OK);
    EXPECT_EQ(type.waveFormat()->nSamplesPerSec, 44100u);
}

TEST(MediaTypeOwner, WaveFormatOnlyForAWholeWaveFormatBlock)
{
    WAVEFORMATEX format = stereoCd();
    AM_MEDIA_TYPE whole = pointingAt(format);
    AM_MEDIA_TYPE shortBlock = whole;
    shortBlock.cbFormat = sizeof(WAVEFORMATEX) - 1;
    AM_MEDIA_TYPE videoBlock = whole;
    videoBlock.formattype = FORMAT_VideoInfo;
    const struct {
        const char* name;
        AM_MEDIA_TYPE type;
        bool hasWaveFormat;
    } cases[] = {
        {"WAVEFORMATEX", whole, true},
        {"a byte short", shortBlock, false},
        {"other format type", videoBlock, false},
        {"no format", AM_MEDIA_TYPE{}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MediaType(c.type).waveFormat() != nullptr, c.hasWaveFormat) << c.name;
    EXPECT_EQ(MediaType(whole).waveFormat()->nAvgBytesPerSec, 176400u);
}

TEST(MediaTypeOwner, MatchesWhatEachNonNullFieldAsks)
{
    const MediaType pcm = zuk::media::pcmAudioType(44100, 2);
    const auto wanted = [](GUID major, GUID subtype, GUID formatType) {
        AM_MEDIA_TYPE type{};
        type.majortype = major;
        type.subtype = subtype;
        type.formattype = formatType;
        return type;
    };
    const struct {
        const char* name;
        AM_MEDIA_TYPE wanted;
        bool matches;
    } cases[] = {
        {"anything", wanted(GUID_NULL, GUID_NULL, GUID_NULL), true},
        {"audio", wanted(MEDIATYPE_Audio, GUID_NULL, GUID_NULL), true},
        {"PCM audio", wanted(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, GUID_NULL), true},
        {"all three", wanted(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx), true},
        {"video", wanted(MEDIATYPE_Video, GUID_NULL, GUID_NULL), false},
        {"float audio", wanted(MEDIATYPE_Audio, MEDIASUBTYPE_IEEE_FLOAT, GUID_NULL), false},
        {"PCM subtype alone", wanted(GUID_NULL, MEDIASUBTYPE_PCM, GUID_NULL), true},
        {"video format", wanted(GUID_NULL, GUID_NULL, FORMAT_VideoInfo), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pcm.matches(c.wanted), c.matches) << c.name;
}

TEST(MediaTypeBuilders, SubtypesFollowThePlatformsConvention)
{
    const struct {
        const char* name;
        GUID built;
        GUID expected;
    } cases[] = {
        {"PCM tag", zuk::media::subtypeForWaveTag(WAVE_FORMAT_PCM), MEDIASUBTYPE_PCM},
        {"float tag", zuk::media::subtypeForWaveTag(WAVE_FORMAT_IEEE_FLOAT), MEDIASUBTYPE_IEEE_FLOAT},
        {"MPEG payload tag", zuk::media::subtypeForWaveTag(0x0050), MEDIASUBTYPE_MPEG1AudioPayload},
        {"AC-3 S/PDIF tag", zuk::media::subtypeForWaveTag(0x0092), MEDIASUBTYPE_DOLBY_AC3_SPDIF},
        {"FOURCC H264", zuk::media::subtypeForFourcc(0x34363248),
            GUID{0x34363248, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(guidToString(c.built), guidToString(c.expected)) << c.name;
}

TEST(MediaTypeBuilders, AudioStreamKeepsItsStoredFormat)
{
    zuk::media::AudioStreamInfo pcm{};
    pcm.sampleRate = 22050;
    pcm.channels = 2;
    pcm.waveFormatTag = WAVE_FORMAT_PCM;
    pcm.bitsPerSample = 16;
    pcm.blockAlign = 4;
    pcm.bitRate = 705601; // as a container may round it
    zuk::media::AudioStreamInfo aac = pcm;
    aac.sampleRate = 48000;
    aac.waveFormatTag = 0x00FF;
    aac.bitsPerSample = 0;
    aac.blockAlign = 0; // the container gave none
    aac.bitRate = 128000;
    const struct {
        const char* name;
        zuk::media::AudioStreamInfo stream;
        DWORD bytesPerSecond;
        WORD blockAlign;
        BOOL fixedSize;
    } cases[] = {
        {"PCM: exact byte rate", pcm, 22050 * 4, 4, 1},
        {"compressed: from the bit rate, byte-aligned", aac, 16000, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const MediaType type = zuk::media::audioStreamType(c.stream);
        EXPECT_EQ(type.get().majortype, MEDIATYPE_Audio);
        EXPECT_EQ(type.get().subtype, zuk::media::subtypeForWaveTag(c.stream.waveFormatTag));
        EXPECT_EQ(type.get().bFixedSizeSamples, c.fixedSize);
        const WAVEFORMATEX format = waveFormatOf(type);
        EXPECT_EQ(format.wFormatTag, c.stream.waveFormatTag);
        EXPECT_EQ(format.nChannels, c.stream.channels);
        EXPECT_EQ(format.nSamplesPerSec, static_cast<DWORD>(c.stream.sampleRate));
        EXPECT_EQ(format.nAvgBytesPerSec, c.bytesPerSecond);
        EXPECT_EQ(format.nBlockAlign, c.blockAlign);
        EXPECT_EQ(format.wBitsPerSample, c.stream.bitsPerSample);
        EXPECT_EQ(format.cbSize, 0);
    }
}

TEST(MediaTypeBuilders, TimePerFrameRoundsToTheNearestHundredNanoseconds)
{
    const struct {
        int numerator, denominator;
        REFERENCE_TIME expected;
    } cases[] = {
        {25, 1, 400000},
        {30000, 1001, 333667},
        {24000, 1001, 417083},
        {60, 1, 166667},
        {0, 0, 0},
        {0, 1, 0},
    };
    for (const auto& c : cases) {
        zuk::media::VideoStreamInfo stream{};
        stream.width = 16;
        stream.height = 16;
        stream.frameRateNumerator = c.numerator;
        stream.frameRateDenominator = c.denominator;
        EXPECT_EQ(videoInfoOf(zuk::media::videoStreamType(stream)).AvgTimePerFrame, c.expected)
            << c.numerator << "/" << c.denominator;
    }
}
