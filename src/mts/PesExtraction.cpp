#include "mts/PesExtraction.h"

#include "mts/MtsLog.h"
#include "mts/OutputFile.h"
#include "mts/PesPacket.h"
#include "mts/ReadAhead.h"

#include <zuk/zuk.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <limits>
#include <optional>

namespace zuk {

namespace {

constexpr size_t kSearchChunk = 3072;
constexpr size_t kPesStartBytes = 6;
constexpr size_t kLargestPes = kPesStartBytes + 0xFFFF;
constexpr std::array<uint8_t, 3> kStartCode{0, 0, 1};

// The offset of the first start code in `bytes` from `from` on; the size of
// `bytes` when there is none.
size_t startCodeFrom(std::span<const uint8_t> bytes, size_t from)
{
    const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(std::min(from, bytes.size()));
    return static_cast<size_t>(std::search(begin, bytes.end(), kStartCode.begin(), kStartCode.end()) - bytes.begin());
}

// Steps over the bytes before the next start code, all of them when there is
// none; returns how many.
uint64_t skipToStartCode(ReadAhead& window)
{
    uint64_t skipped = 0;
    while (true) {
        const auto bytes = window.ahead(kSearchChunk);
        const size_t at = startCodeFrom(bytes, 0);
        const bool found = at < bytes.size();
        const bool last = bytes.size() < kSearchChunk;
        // The last two bytes stay: a start code may begin there.
        const size_t passed = found || last ? at : at - (kStartCode.size() - 1);
        window.skip(passed);
        skipped += passed;
        if (found || last)
            return skipped;
    }
}

// How many of `bytes`, which begin with a PES header announcing `length`,
// make its packet; nothing when the end of the file cuts the packet short. A
// packet whose length leads to the next start code, or to the end of the
// file, is whole. Otherwise its length is open (0) or wrong, or bytes were
// lost or added inside it: it then runs to the next start code, but no
// further than its length says.
std::optional<size_t> packetSize(std::span<const uint8_t> bytes, size_t length)
{
    const size_t announced = kPesStartBytes + length;
    const auto startsAt = [&](size_t at) {
        return at + kStartCode.size() <= bytes.size() &&
            std::equal(kStartCode.begin(), kStartCode.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    };
    if (length > 0 && (bytes.size() == announced || startsAt(announced)))
        return announced;
    const size_t next = startCodeFrom(bytes, kStartCode.size());
    if (length == 0)
        return next;
    if (next == bytes.size() && bytes.size() < announced)
        return std::nullopt;
    return std::min(next, announced);
}

} // namespace

int64_t findStartCode(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return -1;
    ReadAhead window(in, kSearchChunk);
    const uint64_t offset = skipToStartCode(window);
    if (window.ahead(kStartCode.size()).empty())
        return -1;
    return static_cast<int64_t>(offset);
}

int32_t extractPesPayloads(const std::filesystem::path& pesPath, const std::filesystem::path& mp2Path)
{
    std::ifstream in(pesPath, std::ios::binary);
    if (!in)
        return ZUK_E_OPEN;
    ReadAhead window(in, kLargestPes + kStartCode.size());
    skipToStartCode(window);
    if (window.ahead(kStartCode.size()).empty())
        return ZUK_E_OPEN;
    auto mp2 = OutputFile::create(mp2Path);
    if (!mp2)
        return ZUK_E_WRITE;

    int32_t count = 0;
    uint64_t skipped = 0;
    while (true) {
        // Enough for the largest packet and the start code after it.
        const auto bytes = window.ahead(kLargestPes + kStartCode.size());
        if (bytes.size() < kPesStartBytes)
            break;
        const auto length = static_cast<size_t>(pesPacketLength(bytes));
        const auto size = packetSize(bytes, length);
        if (!size)
            break;
        if (*size != kPesStartBytes + length)
            mtsLog("Error Parsing PES Header");
        PesPacket packet;
        parsePesPacket(bytes.first(*size), packet);
        if (!mp2->write(packet.payload))
            return ZUK_E_WRITE;
        if (count < std::numeric_limits<int32_t>::max())
            ++count;
        window.skip(*size);
        skipped += skipToStartCode(window);
    }
    mtsLogSkipped(skipped);
    // A walk that stopped short of the end would pass a cut stream off as whole.
    if (!window.readToTheEnd())
        return ZUK_E_OPEN;
    return mp2->close() ? count : ZUK_E_WRITE;
}

} // namespace zuk
