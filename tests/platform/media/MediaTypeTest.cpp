// Media types own their format blocks and pUnk references: copies are deep,
// every block is freed once (ASan finds double frees and leaks), and the
// builders lay out WAVEFORMATEX and VIDEOINFOHEADER as the platform does.
#include "platform/media/MediaType.h"
#include "platform/com/Com.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>
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

} // namespace

// Every copy owns its block and reference: ASan sees a block freed twice or never.
TEST(MediaType, EveryCopyOwnsItsBlockAndReference)
{
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    CountedUnknown unknown;
    const AM_MEDIA_TYPE source = pointingAt(format, &unknown);
    {
        const MediaType original(source);
        const MediaType copied(original);
        MediaType assigned;
        assigned = original;
        AM_MEDIA_TYPE filled{};
        original.copyTo(&filled);
        AM_MEDIA_TYPE* allocated = original.newCopy();
        EXPECT_EQ(unknown.references, 6u);
        const AM_MEDIA_TYPE* copies[] = {&original.get(), &copied.get(), &assigned.get(), &filled, allocated};
        for (const AM_MEDIA_TYPE* type : copies) {
            EXPECT_EQ(formatBytes(*type), formatBytes(source));
            EXPECT_TRUE(type == &original.get() || type->pbFormat != original.get().pbFormat);
        }
        FreeMediaType(filled);
        EXPECT_TRUE(filled.pbFormat == nullptr && filled.cbFormat == 0 && filled.pUnk == nullptr);
        DeleteMediaType(allocated);
        DeleteMediaType(nullptr);
    }
    EXPECT_EQ(unknown.references, 1u);

    MediaType type(source);
    AM_MEDIA_TYPE* slot = type.put();
    EXPECT_EQ(unknown.references, 1u);
    EXPECT_EQ(slot->pbFormat, nullptr);
    ASSERT_EQ(CopyMediaType(slot, &source), S_OK);
    EXPECT_EQ(type.waveFormat()->nAvgBytesPerSec, 176400u);
    AM_MEDIA_TYPE noFormat{}, copy{};
    ASSERT_EQ(CopyMediaType(&copy, &noFormat), S_OK);
    EXPECT_EQ(copy.pbFormat, nullptr);
    EXPECT_EQ(CopyMediaType(nullptr, &copy), E_POINTER);
    EXPECT_EQ(CopyMediaType(&copy, nullptr), E_POINTER);
    EXPECT_EQ(CopyMediaType(&copy, &copy), E_INVALIDARG);
}

TEST(MediaType, WaveFormatOnlyForAWholeWaveFormatBlockAndMatchesWhatEachNonNullFieldAsks)
{
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    AM_MEDIA_TYPE whole = pointingAt(format), shortBlock = whole, videoBlock = whole;
    shortBlock.cbFormat = sizeof(WAVEFORMATEX) - 1;
    videoBlock.formattype = FORMAT_VideoInfo;
    for (const auto& [type, hasWaveFormat] :
        {std::pair{whole, true}, {shortBlock, false}, {videoBlock, false}, {AM_MEDIA_TYPE{}, false}})
        EXPECT_EQ(MediaType(type).waveFormat() != nullptr, hasWaveFormat) << type.cbFormat;

    const MediaType pcm = zuk::media::pcmAudioType(44100, 2);
    const GUID anything = GUID_NULL;
    const struct {
        GUID major, subtype, formatType;
        bool matches;
    } cases[] = {
        {anything, anything, anything, true},
        {MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, true},
        {anything, MEDIASUBTYPE_PCM, anything, true},
        {MEDIATYPE_Video, anything, anything, false},
        {MEDIATYPE_Audio, MEDIASUBTYPE_IEEE_FLOAT, anything, false},
        {anything, anything, FORMAT_VideoInfo, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pcm.matches({c.major, c.subtype, 0, 0, 0, c.formatType, nullptr, 0, nullptr}), c.matches)
            << &c - cases;
}

TEST(MediaType, AudioStreamKeepsItsStoredFormat)
{
    // A stream (index, rate, channels, frames, tag, bits, block size, bit rate)
    // and its format: a container may round PCM's bit rate, and may give a
    // compressed stream no block size.
    const struct {
        zuk::media::AudioStreamInfo stream;
        WAVEFORMATEX format;
        BOOL fixedSize;
    } cases[] = {
        {{-1, 22050, 2, 0, WAVE_FORMAT_PCM, 16, 4, 705601, false, "", ""}, {WAVE_FORMAT_PCM, 2, 22050, 88200, 4, 16, 0},
            1},
        {{-1, 48000, 2, 0, 0xFF, 0, 0, 128000, false, "", ""}, {0xFF, 2, 48000, 16000, 1, 0, 0}, 0},
    };
    for (const auto& c : cases) {
        const MediaType type = zuk::media::audioStreamType(c.stream);
        EXPECT_EQ(type.get().majortype, MEDIATYPE_Audio);
        EXPECT_EQ(type.get().subtype, zuk::media::subtypeForWaveTag(c.format.wFormatTag));
        EXPECT_EQ(type.get().bFixedSizeSamples, c.fixedSize);
        const auto* bytes = reinterpret_cast<const BYTE*>(&c.format);
        EXPECT_EQ(formatBytes(type.get()), std::vector<BYTE>(bytes, bytes + sizeof c.format)) << c.format.wFormatTag;
    }
}

TEST(MediaType, TimePerFrameRoundsToTheNearestHundredNanoseconds)
{
    const struct {
        int numerator, denominator;
        REFERENCE_TIME expected;
    } cases[] = {{25, 1, 400000}, {30000, 1001, 333667}, {24000, 1001, 417083}, {0, 0, 0}, {0, 1, 0}};
    for (const auto& c : cases) {
        const MediaType type = zuk::media::videoStreamType({-1, 16, 16, c.numerator, c.denominator, 0, 24, 0, ""});
        ASSERT_EQ(type.get().cbFormat, sizeof(VIDEOINFOHEADER));
        VIDEOINFOHEADER info;
        std::memcpy(&info, type.get().pbFormat, sizeof info);
        EXPECT_EQ(info.AvgTimePerFrame, c.expected) << c.numerator << "/" << c.denominator;
    }
}
