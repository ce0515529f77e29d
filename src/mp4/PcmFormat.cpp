#include "mp4/PcmFormat.h"

#include <string_view>

namespace zuk {

std::optional<PcmFormat> pcmFormatOf(const MP4Box::audioSampleEntryBox& entry)
{
    const std::string_view code(entry.code.data(), entry.code.size());
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
    return std::nullopt;
}

namespace {

// The top two bytes of each N-byte sample, as a signed 16-bit value.
template <unsigned N, bool LittleEndian, bool Unsigned>
size_t convert(std::span<const uint8_t> bytes, std::span<int16_t> out)
{
    const size_t count = bytes.size() / N;
    const uint8_t* sample = bytes.data();
    for (size_t i = 0; i < count; ++i, sample += N) {
        uint8_t high = LittleEndian ? sample[N - 1] : sample[0];
        const uint8_t low = N == 1 ? 0 : (LittleEndian ? sample[N - 2] : sample[1]);
        if (Unsigned)
            high ^= 0x80;
        out[i] = static_cast<int16_t>(static_cast<uint16_t>(high << 8 | low));
    }
    return count;
}

} // namespace

size_t toShorts(std::span<const uint8_t> bytes, const PcmFormat& format, std::span<int16_t> out)
{
    if (format.isUnsigned)
        return convert<1, false, true>(bytes, out);
    switch (format.bytesPerSample * 2 + (format.littleEndian ? 1 : 0)) {
    case 2: case 3: return convert<1, false, false>(bytes, out);
    case 4: return convert<2, false, false>(bytes, out);
    case 5: return convert<2, true, false>(bytes, out);
    case 6: return convert<3, false, false>(bytes, out);
    case 7: return convert<3, true, false>(bytes, out);
    case 8: return convert<4, false, false>(bytes, out);
    case 9: return convert<4, true, false>(bytes, out);
    default: return 0;
    }
}

} // namespace zuk
