// PES packets: the start code and length, the streams with and without the
// optional header, and lengths that disagree with the bytes read.
#include "mts/PesPacket.h"
#include "TsBuilder.h"

#include <gtest/gtest.h>

using namespace zuk;
using namespace zuktest::mts;

namespace {

// An MPEG audio packet with a PTS and three bytes of data, with byte `at` set
// to `value`.
Bytes audioPes(size_t at = 0, uint8_t value = 0)
{
    Bytes bytes{0x00, 0x00, 0x01, 0xC0, 0x00, 0x0B, 0x80, 0x80, 0x05, 0x21, 0x00, 0x01, 0x00, 0x01, 0xAA, 0xBB, 0xCC};
    if (at > 0)
        bytes[at] = value;
    return bytes;
}

// A packet of a stream without the optional header; `length` -1 means the
// real one.
Bytes headerless(uint8_t streamId, const Bytes& data, int length = -1)
{
    const auto announced = static_cast<uint8_t>(length < 0 ? static_cast<int>(data.size()) : length);
    return joined({{0x00, 0x00, 0x01, streamId, 0x00, announced}, data});
}

} // namespace

TEST(PesPacketTest, TheLengthIsReadOnlyAfterAStartCode)
{
    EXPECT_EQ(pesPacketLength(audioPes()), 11);
    EXPECT_EQ(pesPacketLength(Bytes{0, 0, 1, 0xE0, 0xFF, 0xFE}), 0xFFFE);
    EXPECT_EQ(pesPacketLength(Bytes{0, 0, 1, 0xE0, 0, 0}), 0);
    EXPECT_EQ(pesPacketLength(Bytes{0, 0, 2, 0xC0, 0, 11}), -2);
    EXPECT_EQ(pesPacketLength(Bytes{1, 0, 1, 0xC0, 0, 11}), -2);
    EXPECT_EQ(pesPacketLength(Bytes{0, 0, 1, 0xC0, 0}), -2);
}

TEST(PesPacketTest, ThePayloadLiesBetweenTheHeaderAndTheLengthOrTheBytesRead)
{
    const Bytes abc{0xAA, 0xBB, 0xCC};
    const Bytes data = counting(1000, 7);
    const struct {
        const char* what;
        Bytes bytes;
        int result;
        Bytes payload;
    } cases[] = {
        {"audio", audioPes(), 0, abc},
        {"bytes beyond the length", joined({audioPes(), {0xDD, 0xEE}}), 0, abc},
        {"cut short by the end", audioPes(5, 200), 0, abc},
        {"video of open length", joined({{0, 0, 1, 0xE0, 0, 0, 0x80, 0, 0}, data}), 0, data},
        {"padding", headerless(0xBE, {0xFF, 0xFF}), 0, {}},
        {"no optional header, cut short", headerless(0xBF, {1, 2, 3}, 100), 0, {1, 2, 3}},
        {"no optional header, length 0", headerless(0xBF, {1, 2, 3}, 0), 0, {}},
        {"marker bits 00", audioPes(6, 0x00), -4, {}},
        {"marker bits 01", audioPes(6, 0x40), -4, {}},
        {"marker bits 11", audioPes(6, 0xC0), -4, {}},
        {"a header longer than the packet", audioPes(8, 9), -4, {}},
        {"a header longer than the bytes", {0, 0, 1, 0xC0, 0x10, 0x0B, 0x80, 0x80, 9, 0x21, 0, 1, 0, 1}, -4, {}},
        {"fewer bytes than a start", {0, 0, 1, 0xC0, 0}, -4, {}},
        {"fewer bytes than the flags", {0, 0, 1, 0xC0, 0, 3, 0x80, 0x80}, -4, {}},
    };
    for (const auto& c : cases) {
        PesPacket pes;
        EXPECT_EQ(parsePesPacket(c.bytes, pes), c.result) << c.what;
        EXPECT_EQ(Bytes(pes.payload.begin(), pes.payload.end()), c.payload) << c.what;
    }
    for (const uint8_t id : {0xBC, 0xBF, 0xF0, 0xF1, 0xF2, 0xF8, 0xFF}) {
        PesPacket pes;
        ASSERT_EQ(parsePesPacket(headerless(id, {0x3F, 1, 2, 3}), pes), 0) << int{id};
        EXPECT_EQ(pes.payload.size(), 4u) << int{id} << " has no optional header";
        EXPECT_EQ(pes.stream_id, id);
    }
}
