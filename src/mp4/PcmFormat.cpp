#include "mp4/PcmFormat.h"

#include "platform/IntegerSample.h"

#include <algorithm>
#include <string_view>
#include <type_traits>

namespace zuk {

namespace {

using namespace std::string_view_literals;

// Uncompressed integer sound.
constexpr std::string_view kPcmCodes[] = {"twos", "sowt", "raw ", "in24", "in32", "NONE", "\0\0\0\0"sv};

// Compressed or floating-point sound, never copied whatever its tables say.
// "lpcm" is here too: the flags that say whether its samples are float,
// signed or little-endian are not read.
constexpr std::string_view kOtherCodes[] = {"mp4a", "ac-3", "ec-3", "ac-4", "alac", "samr", "sawb", "sawp", "Opus",
    "fLaC", ".mp3", "ima4", "ulaw", "alaw", "fl32", "fl64", "lpcm", "MAC3", "MAC6", "QDMC", "QDM2", "Qclp", "sqcp",
    "agsm", "dtsc", "dtsh", "dtsl", "dtse", "dtsx", "mlpa", "enca", "drms", "mha1", "mhm1", "spex", "vdva", "dvca"};

std::string_view text(const MP4Box::FourCC& code)
{
    return {code.data(), code.size()};
}

bool listed(std::span<const std::string_view> codes, std::string_view code)
{
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

} // namespace

bool isUnknownFormatCode(const MP4Box::FourCC& code)
{
    const std::string_view name = text(code);
    // "ms" and a WAVE format tag: compressed sound, or little-endian PCM and
    // float, which a big-endian reading would turn into noise.
    return !listed(kPcmCodes, name) && !listed(kOtherCodes, name) && !name.starts_with("ms");
}

std::optional<PcmFormat> pcmFormatOf(const MP4Box::audioSampleEntryBox& entry)
{
    const std::string_view code = text(entry.code);
    const unsigned bits = entry.samplesize;
    const bool wholeBytes = bits % 8 == 0 && bits >= 8 && bits <= 32;
    // "in24" and "in32" have a fixed width; a version 1 description states 16
    // bits for them. Only these two honour the little-endian flag.
    if (code == "in24")
        return PcmFormat{3, entry.littleEndian, false};
    if (code == "in32")
        return PcmFormat{4, entry.littleEndian, false};
    if (code == "twos" && wholeBytes)
        return PcmFormat{bits / 8, false, false};
    if (code == "sowt" && wholeBytes)
        return PcmFormat{bits / 8, true, false};
    if (code == "raw " && bits == 8)
        return PcmFormat{1, false, true};
    if (code == "raw " && bits == 16)
        return PcmFormat{2, false, false};
    // An unspecified format ("NONE", zero, or a code not known here) is "raw "
    // at 8 bits and "twos" above, as QuickTime reads it.
    if ((code == "NONE" || code == "\0\0\0\0"sv || isUnknownFormatCode(entry.code)) && wholeBytes)
        return PcmFormat{bits / 8, false, bits == 8};
    return std::nullopt;
}

namespace {

// Each N-byte sample as a signed 16-bit value.
template <unsigned N, bool LittleEndian, bool Unsigned>
size_t convert(std::span<const uint8_t> bytes, std::span<int16_t> out)
{
    // Samples of up to 16 bits are worked in 16 bits, which the compiler turns
    // into a few vector instructions for many samples at once.
    using Word = std::conditional_t<N <= 2, uint16_t, uint32_t>;
    constexpr unsigned kTop = 8 * sizeof(Word) - 8;
    const size_t count = bytes.size() / N;
    const uint8_t* sample = bytes.data();
    for (size_t i = 0; i < count; ++i, sample += N) {
        Word value = 0; // left-aligned
        for (unsigned b = 0; b < N; ++b)
            value = static_cast<Word>(value | Word{sample[LittleEndian ? N - 1 - b : b]} << (kTop - 8 * b));
        if (Unsigned)
            value ^= Word{1} << (kTop + 7);
        // Only wider samples have low bits to round away.
        if constexpr (N <= 2)
            out[i] = static_cast<int16_t>(value);
        else
            out[i] = static_cast<int16_t>(roundedToBits(static_cast<int32_t>(value), 16) >> 16);
    }
    return count;
}

} // namespace

size_t toShorts(std::span<const uint8_t> bytes, const PcmFormat& format, std::span<int16_t> out)
{
    if (format.isUnsigned)
        return convert<1, false, true>(bytes, out);
    switch (format.bytesPerSample * 2 + (format.littleEndian ? 1 : 0)) {
    case 2:
    case 3:
        return convert<1, false, false>(bytes, out);
    case 4:
        return convert<2, false, false>(bytes, out);
    case 5:
        return convert<2, true, false>(bytes, out);
    case 6:
        return convert<3, false, false>(bytes, out);
    case 7:
        return convert<3, true, false>(bytes, out);
    case 8:
        return convert<4, false, false>(bytes, out);
    case 9:
        return convert<4, true, false>(bytes, out);
    default:
        return 0;
    }
}

} // namespace zuk
