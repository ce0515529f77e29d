#include "mts/PesExtraction.h"

#include "mts/MtsLog.h"
#include "mts/OutputFile.h"
#include "mts/PesPacket.h"

#include <zuk/zuk.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <limits>
#include <memory>
#include <vector>

namespace zuk {

namespace {

constexpr size_t kSearchChunk = 3072;
constexpr size_t kReadBufferBytes = 1 << 16;
constexpr size_t kPesStartBytes = 6;
constexpr std::array<uint8_t, 3> kStartCode{0, 0, 1};

size_t readUpTo(std::istream& in, std::span<uint8_t> into)
{
    in.read(reinterpret_cast<char*>(into.data()), static_cast<std::streamsize>(into.size()));
    return static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0));
}

} // namespace

int64_t findStartCode(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return -1;
    // The last two bytes of a chunk are kept in front of the next one, so a
    // start code that straddles two chunks is seen whole.
    std::array<uint8_t, kSearchChunk + kStartCode.size() - 1> window{};
    size_t carried = 0;
    int64_t windowStart = 0;
    while (true) {
        const size_t got = readUpTo(in, std::span(window).subspan(carried, kSearchChunk));
        const auto bytes = std::span(window).first(carried + got);
        const auto found = std::search(bytes.begin(), bytes.end(), kStartCode.begin(), kStartCode.end());
        if (found != bytes.end())
            return windowStart + (found - bytes.begin());
        if (got < kSearchChunk)
            return -1;
        carried = std::min(bytes.size(), kStartCode.size() - 1);
        std::copy(bytes.end() - static_cast<std::ptrdiff_t>(carried), bytes.end(), window.begin());
        windowStart += static_cast<int64_t>(bytes.size() - carried);
    }
}

int32_t extractPesPayloads(const std::filesystem::path& pesPath, const std::filesystem::path& mp2Path)
{
    const int64_t offset = findStartCode(pesPath);
    if (offset < 0)
        return ZUK_E_OPEN;
    // PES packets are read a few bytes at a time: a large buffer saves most of
    // the reads.
    const auto readBuffer = std::make_unique_for_overwrite<char[]>(kReadBufferBytes);
    std::ifstream in;
    in.rdbuf()->pubsetbuf(readBuffer.get(), kReadBufferBytes);
    in.open(pesPath, std::ios::binary);
    if (!in || !in.seekg(offset))
        return ZUK_E_OPEN;
    auto mp2 = OutputFile::create(mp2Path);
    if (!mp2)
        return ZUK_E_WRITE;

    int32_t count = 0;
    std::vector<uint8_t> bytes(kPesStartBytes);
    PesPacket packet;
    while (true) {
        packet.payloadLength = 0;
        packet.payload.clear();
        bytes.resize(kPesStartBytes);
        if (readUpTo(in, bytes) < kPesStartBytes)
            break;
        const int32_t length = pesPacketLength(bytes);
        if (length <= 0) {
            mtsLog("Error Parsing PES Header");
            return ZUK_E_OPEN;
        }
        bytes.resize(kPesStartBytes + static_cast<size_t>(length));
        if (readUpTo(in, std::span(bytes).subspan(kPesStartBytes)) < static_cast<size_t>(length))
            break;
        parsePesPacket(bytes, packet);
        if (!mp2->write(packet.payload))
            return ZUK_E_WRITE;
        if (count < std::numeric_limits<int32_t>::max())
            ++count;
    }
    return mp2->close() ? count : ZUK_E_WRITE;
}

} // namespace zuk
