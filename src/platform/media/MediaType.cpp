#include "platform/media/MediaType.h"

#include "platform/com/TaskMemory.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <utility>
#include <vector>

namespace {

constexpr AM_MEDIA_TYPE emptyType()
{
    return AM_MEDIA_TYPE{GUID_NULL, GUID_NULL, 0, 0, 0, GUID_NULL, nullptr, 0, nullptr};
}

// The base GUID that WAVE tags and FOURCCs are laid into.
constexpr GUID subtypeWithData1(uint32_t data1)
{
    return GUID{data1, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

// Values beyond a DWORD field (or below zero) cannot be told; the field saturates.
DWORD clampToDword(int64_t value)
{
    return static_cast<DWORD>(std::clamp<int64_t>(value, 0, std::numeric_limits<DWORD>::max()));
}

// width * height * bits / 8 bytes, saturating: a file may claim any of the three.
DWORD imageSize(int width, int height, int bitsPerPixel)
{
    const __int128 bytes = static_cast<__int128>(width) * height * bitsPerPixel / 8;
    return static_cast<DWORD>(std::clamp<__int128>(bytes, 0, std::numeric_limits<DWORD>::max()));
}

bool isUncompressedAudio(uint16_t tag)
{
    return tag == WAVE_FORMAT_PCM || tag == WAVE_FORMAT_IEEE_FLOAT;
}

bool equalOrAny(REFGUID have, REFGUID wanted)
{
    return wanted == GUID_NULL || have == wanted;
}

// A format block: the structure `format`, then the codec's own data, as
// files and format blocks lay them out.
template <class Format>
std::vector<BYTE> formatBlock(const Format& format, std::span<const uint8_t> codecData = {})
{
    std::vector<BYTE> block(sizeof format + codecData.size());
    std::memcpy(block.data(), &format, sizeof format);
    std::copy(codecData.begin(), codecData.end(), block.begin() + sizeof format);
    return block;
}

// A type whose format block is `block`: the builders fill one locally and let
// MediaType copy it into its own.
AM_MEDIA_TYPE describing(REFGUID major, REFGUID subtype, REFGUID formatType, std::vector<BYTE>& block)
{
    AM_MEDIA_TYPE type = emptyType();
    type.majortype = major;
    type.subtype = subtype;
    type.formattype = formatType;
    type.cbFormat = static_cast<ULONG>(block.size());
    type.pbFormat = block.data();
    return type;
}

// The structure at the start of a format block of `formatType`, and the
// bytes behind it; nothing when the block is of another type or too short.
template <class Format>
std::optional<std::pair<Format, std::span<const BYTE>>> readFormatBlock(const AM_MEDIA_TYPE& type, REFGUID formatType)
{
    if (type.formattype != formatType || type.pbFormat == nullptr || type.cbFormat < sizeof(Format))
        return std::nullopt;
    Format format;
    std::memcpy(&format, type.pbFormat, sizeof format); // a block has no alignment to rely on
    return std::pair{format, std::span<const BYTE>(type.pbFormat + sizeof format, type.cbFormat - sizeof format)};
}

// 10^7 * den / num, to the nearest 100 ns; 0 when the rate is unknown.
REFERENCE_TIME timePerFrame(int numerator, int denominator)
{
    if (numerator <= 0 || denominator <= 0)
        return 0;
    constexpr int64_t unitsPerSecond = 10'000'000;
    return (unitsPerSecond * denominator + numerator / 2) / numerator;
}

} // namespace

void FreeMediaType(AM_MEDIA_TYPE& type)
{
    // As the platform does, cbFormat tells whether the block was allocated.
    if (type.cbFormat != 0)
        CoTaskMemFree(type.pbFormat);
    type.cbFormat = 0;
    type.pbFormat = nullptr;
    if (IUnknown* unknown = std::exchange(type.pUnk, nullptr))
        unknown->Release();
}

void DeleteMediaType(AM_MEDIA_TYPE* type)
{
    if (type == nullptr)
        return;
    FreeMediaType(*type);
    CoTaskMemFree(type);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source)
{
    if (target == nullptr || source == nullptr)
        return E_POINTER;
    if (target == source)
        return E_INVALIDARG; // the copy would lose the block it was made from
    *target = *source;
    target->pbFormat = nullptr;
    target->cbFormat = 0;
    if (source->cbFormat != 0) {
        target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
        if (target->pbFormat == nullptr) {
            target->pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
        target->cbFormat = source->cbFormat;
    }
    if (target->pUnk != nullptr)
        target->pUnk->AddRef();
    return S_OK;
}

namespace zuk::media {

MediaType::MediaType() : type(emptyType()) { }

MediaType::MediaType(const AM_MEDIA_TYPE& source) : type(emptyType())
{
    if (FAILED(CopyMediaType(&type, &source)))
        throw std::bad_alloc();
}

MediaType::MediaType(const MediaType& other) : MediaType(other.type) { }

MediaType::MediaType(MediaType&& other) noexcept : type(std::exchange(other.type, emptyType())) { }

MediaType& MediaType::operator=(const MediaType& other)
{
    if (this != &other)
        *this = MediaType(other);
    return *this;
}

MediaType& MediaType::operator=(MediaType&& other) noexcept
{
    if (this != &other) {
        FreeMediaType(type);
        type = std::exchange(other.type, emptyType());
    }
    return *this;
}

MediaType::~MediaType()
{
    FreeMediaType(type);
}

AM_MEDIA_TYPE* MediaType::put()
{
    FreeMediaType(type);
    type = emptyType();
    return &type;
}

void MediaType::copyTo(AM_MEDIA_TYPE* target) const
{
    if (FAILED(CopyMediaType(target, &type)))
        throw std::bad_alloc();
}

AM_MEDIA_TYPE* MediaType::newCopy() const
{
    auto* copy = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (copy == nullptr)
        throw std::bad_alloc();
    if (FAILED(CopyMediaType(copy, &type))) {
        CoTaskMemFree(copy);
        throw std::bad_alloc();
    }
    return copy;
}

const WAVEFORMATEX* MediaType::waveFormat() const
{
    if (type.formattype != FORMAT_WaveFormatEx || type.cbFormat < sizeof(WAVEFORMATEX) || type.pbFormat == nullptr)
        return nullptr;
    return reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat); // packed: any address will do
}

bool MediaType::matches(const AM_MEDIA_TYPE& wanted) const
{
    return equalOrAny(type.majortype, wanted.majortype) && equalOrAny(type.subtype, wanted.subtype) &&
        equalOrAny(type.formattype, wanted.formattype);
}

GUID subtypeForWaveTag(uint16_t tag)
{
    return subtypeWithData1(tag);
}

GUID subtypeForFourcc(uint32_t fourcc)
{
    return subtypeWithData1(fourcc);
}

REFERENCE_TIME referenceTimeAfter(REFERENCE_TIME origin, int64_t frames, int64_t rate)
{
    constexpr __int128 kUnitsPerSecond = 10'000'000;
    const __int128 time = origin + frames * kUnitsPerSecond / rate;
    return static_cast<REFERENCE_TIME>(std::clamp<__int128>(
        time, std::numeric_limits<REFERENCE_TIME>::min(), std::numeric_limits<REFERENCE_TIME>::max()));
}

MediaType pcmAudioType(int rate, int channels)
{
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(channels * 2);
    format.nAvgBytesPerSec = static_cast<DWORD>(rate) * format.nBlockAlign;
    std::vector<BYTE> block = formatBlock(format);
    AM_MEDIA_TYPE type = describing(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, block);
    type.bFixedSizeSamples = 1;
    type.lSampleSize = format.nBlockAlign;
    return MediaType(type);
}

MediaType audioStreamType(const AudioStreamInfo& stream, std::span<const uint8_t> codecData)
{
    // cbSize counts the codec data; more than it can count is not described.
    codecData = codecData.first(std::min<size_t>(codecData.size(), std::numeric_limits<WORD>::max()));
    const bool uncompressed = isUncompressedAudio(stream.waveFormatTag);
    WAVEFORMATEX format{};
    format.wFormatTag = stream.waveFormatTag;
    format.nChannels = static_cast<WORD>(stream.channels);
    format.nSamplesPerSec = clampToDword(stream.sampleRate);
    // Readers divide by the block size; a stream without one is byte-aligned.
    format.nBlockAlign = static_cast<WORD>(std::max(stream.blockAlign, 1));
    format.wBitsPerSample = static_cast<WORD>(stream.bitsPerSample);
    // Uncompressed streams have an exact byte rate; the bit rate may be rounded.
    format.nAvgBytesPerSec =
        uncompressed ? clampToDword(int64_t{stream.sampleRate} * stream.blockAlign) : clampToDword(stream.bitRate / 8);
    format.cbSize = static_cast<WORD>(codecData.size());
    std::vector<BYTE> block = formatBlock(format, codecData);
    AM_MEDIA_TYPE type =
        describing(MEDIATYPE_Audio, subtypeForWaveTag(stream.waveFormatTag), FORMAT_WaveFormatEx, block);
    type.bFixedSizeSamples = uncompressed ? 1 : 0;
    type.lSampleSize = uncompressed ? format.nBlockAlign : 0;
    return MediaType(type);
}

MediaType videoStreamType(const VideoStreamInfo& stream, std::span<const uint8_t> codecData)
{
    VIDEOINFOHEADER format{};
    format.rcSource = RECT{0, 0, stream.width, stream.height};
    format.rcTarget = format.rcSource;
    format.dwBitRate = clampToDword(stream.bitRate);
    format.AvgTimePerFrame = timePerFrame(stream.frameRateNumerator, stream.frameRateDenominator);
    BITMAPINFOHEADER& bitmap = format.bmiHeader;
    // As in a file's stream format, the header's size counts the codec data behind it.
    bitmap.biSize = clampToDword(int64_t{sizeof(BITMAPINFOHEADER)} + static_cast<int64_t>(codecData.size()));
    bitmap.biWidth = stream.width;
    bitmap.biHeight = stream.height;
    bitmap.biPlanes = 1;
    bitmap.biBitCount = static_cast<WORD>(stream.bitsPerPixel);
    bitmap.biCompression = stream.fourcc;
    bitmap.biSizeImage = imageSize(stream.width, stream.height, stream.bitsPerPixel);
    std::vector<BYTE> block = formatBlock(format, codecData);
    AM_MEDIA_TYPE type = describing(MEDIATYPE_Video, subtypeForFourcc(stream.fourcc), FORMAT_VideoInfo, block);
    type.bTemporalCompression = 1;
    return MediaType(type);
}

std::optional<WaveFormatBlock> readWaveFormat(const AM_MEDIA_TYPE& type)
{
    const auto block = readFormatBlock<WAVEFORMATEX>(type, FORMAT_WaveFormatEx);
    if (!block || block->second.size() < block->first.cbSize)
        return std::nullopt;
    return WaveFormatBlock{block->first, block->second.first(block->first.cbSize)};
}

std::optional<VideoInfoBlock> readVideoInfo(const AM_MEDIA_TYPE& type)
{
    const auto block = readFormatBlock<VIDEOINFOHEADER>(type, FORMAT_VideoInfo);
    if (!block)
        return std::nullopt;
    return VideoInfoBlock{block->first, block->second};
}

} // namespace zuk::media
