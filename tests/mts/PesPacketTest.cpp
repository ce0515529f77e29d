// PES packets: the start code and length, the streams with and without the
// optional header, and lengths that disagree with the bytes read.
#include "TsBuilder.h"
#include "mts/PesPacket.h"

#include <gtest/gtest.h>

using namespace zuk;
using namespace zuktest::mts;

namespace {

Bytes audioPes()
{
    return joined({{0x00, 0x00, 0x01, 0xC0, 0x00, 0x0B, 0x80, 0x80, 0x05},
                   {0x21, 0x00, 0x01, 0x00, 0x01}, // PTS
                   {0xAA, 0xBB, 0xCC}});
}

Bytes headerless(uint8_t streamId, const Bytes& data)
{
    return joined({{0x00, 0x00, 0x01, streamId, 0x00, static_cast<uint8_t>(data.size())}, data});
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

TEST(PesPacketTest, AnAudioPacketGivesItsHeaderAndItsData)
{
    PesPacket pes;
    ASSERT_EQ(parsePesPacket(audioPes(), pes), 0);
    EXPECT_EQ(pes.startCodePrefix, 1u);
    EXPECT_EQ(pes.stream_id, 0xC0);
    EXPECT_EQ(pes.PES_packet_length, 11);
    EXPECT_EQ(pes.PES_header_data_length, 5);
    EXPECT_EQ(pes.PTS_DTS_flags, 2);
    EXPECT_EQ(pes.payloadLength, 3);
    EXPECT_EQ(pes.payload, (Bytes{0xAA, 0xBB, 0xCC}));
}

TEST(PesPacketTest, TheFlagBytesAreEachTheirOwn)
{
    Bytes bytes = audioPes();
    bytes[6] = 0b10'10'1010;
    bytes[7] = 0b01'101010;
    PesPacket pes;
    ASSERT_EQ(parsePesPacket(bytes, pes), 0);
    EXPECT_EQ(pes.PES_scrambling_control, 2);
    EXPECT_TRUE(pes.PES_priority);
    EXPECT_FALSE(pes.data_alignment_indicator);
    EXPECT_TRUE(pes.copyright);
    EXPECT_FALSE(pes.original_or_copy);
    EXPECT_EQ(pes.PTS_DTS_flags, 1);
    EXPECT_TRUE(pes.ESCR_flag);
    EXPECT_FALSE(pes.ES_rate_flag);
    EXPECT_TRUE(pes.DSM_trick_mode_flag);
    EXPECT_FALSE(pes.additional_copy_info_flag);
    EXPECT_TRUE(pes.PES_CRC_flag);
}

TEST(PesPacketTest, StreamsWithoutTheOptionalHeaderCarryTheirWholeLength)
{
    for (const uint8_t id : {0xBC, 0xBF, 0xF0, 0xF1, 0xF2, 0xF8, 0xFF}) {
        PesPacket pes;
        ASSERT_EQ(parsePesPacket(headerless(id, {0x3F, 1, 2, 3}), pes), 0) << int{id};
        EXPECT_EQ(pes.payload, (Bytes{0x3F, 1, 2, 3})) << int{id};
        EXPECT_EQ(pes.payloadLength, 4);
    }
    PesPacket padding;
    ASSERT_EQ(parsePesPacket(headerless(0xBE, {0xFF, 0xFF, 0xFF}), padding), 0);
    EXPECT_EQ(padding.payloadLength, 0);
    EXPECT_TRUE(padding.payload.empty());
}

TEST(PesPacketTest, WrongMarkerBitsGiveMinusFourAndNoPayload)
{
    for (const uint8_t marker : {0x00, 0x40, 0xC0}) {
        Bytes bytes = audioPes();
        bytes[6] = marker;
        PesPacket pes;
        EXPECT_EQ(parsePesPacket(bytes, pes), -4) << int{marker};
        EXPECT_EQ(pes.payloadLength, 0);
        EXPECT_EQ(pes.PTS_DTS_flags, 0);
    }
}

TEST(PesPacketTest, LengthsAreBoundByTheBytesRead)
{
    PesPacket pes;
    // A header longer than the announced packet: no negative payload.
    Bytes longHeader = audioPes();
    longHeader[8] = 9;
    EXPECT_EQ(parsePesPacket(longHeader, pes), -4);
    EXPECT_EQ(pes.payloadLength, 0);
    // A header longer than the bytes read.
    longHeader[4] = 0x10;
    EXPECT_EQ(parsePesPacket(longHeader, pes), -4);
    // Fewer bytes than a start, or than the flag bytes.
    EXPECT_EQ(parsePesPacket(Bytes{0, 0, 1, 0xC0, 0}, pes), -4);
    EXPECT_EQ(parsePesPacket(Bytes{0, 0, 1, 0xC0, 0, 3, 0x80, 0x80}, pes), -4);

    // The last packet of a file, cut short: what was read.
    Bytes truncated = audioPes();
    truncated[5] = 200;
    ASSERT_EQ(parsePesPacket(truncated, pes), 0);
    EXPECT_EQ(pes.payload, (Bytes{0xAA, 0xBB, 0xCC}));
    PesPacket cutHeaderless;
    Bytes cutPrivate = headerless(0xBF, {1, 2, 3});
    cutPrivate[5] = 100;
    ASSERT_EQ(parsePesPacket(cutPrivate, cutHeaderless), 0);
    EXPECT_EQ(cutHeaderless.payload, (Bytes{1, 2, 3}));
    // Bytes beyond the announced length are not part of the packet.
    const Bytes longer = joined({audioPes(), {0xDD, 0xEE}});
    ASSERT_EQ(parsePesPacket(longer, pes), 0);
    EXPECT_EQ(pes.payloadLength, 3);
}

TEST(PesPacketTest, AVideoPacketOfOpenLengthRunsToTheEndOfTheBytes)
{
    const Bytes data = counting(1000, 7);
    const Bytes video = joined({{0x00, 0x00, 0x01, 0xE0, 0x00, 0x00, 0x80, 0x00, 0x00}, data});
    PesPacket pes;
    ASSERT_EQ(parsePesPacket(video, pes), 0);
    EXPECT_EQ(pes.PES_packet_length, 0);
    EXPECT_EQ(pes.payload, data);
}
