// How stored samples become 16-bit samples: the format each sample entry
// names, and the conversion of each width and byte order.
#include "mp4/PcmFormat.h"
#include "Mp4Builder.h"
#include "mp4/Diagnostics.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

using namespace zuktest::mp4;

namespace {

struct PcmFormat : ::testing::Test {
    PcmFormat() { MP4Box::setDiagnostics(nullptr); }
    ~PcmFormat() override { MP4Box::setDiagnostics(&std::cout); }
};

std::vector<int16_t> converted(const std::vector<uint8_t>& bytes, zuk::PcmFormat format)
{
    std::vector<int16_t> out(bytes.size());
    out.resize(zuk::toShorts(bytes, format, out));
    return out;
}

// The entry parsed from a sample entry's bytes.
std::unique_ptr<MP4Box::audioSampleEntryBox> entry(const std::string& bytes)
{
    std::istringstream in(bytes);
    auto parsed = std::make_unique<MP4Box::audioSampleEntryBox>();
    EXPECT_EQ(parsed->readBox(in, bytes.size()), 0);
    return parsed;
}

} // namespace

TEST_F(PcmFormat, WiderSamplesAreRoundedToSixteenBitsAndNarrowerOnesScaledUp)
{
    const struct {
        std::vector<uint8_t> bytes;
        zuk::PcmFormat format;
        std::vector<int16_t> expected;
    } cases[] = {
        {{0x12, 0x34, 0xFF, 0xFE}, {2, false, false}, {0x1234, -2}},
        {{0x34, 0x12, 0xFE, 0xFF}, {2, true, false}, {0x1234, -2}},
        // Less than half a step rounds down, half a step up; -1 becomes 0; full scale stays.
        {{0x12, 0x34, 0x7F, 0x12, 0x34, 0x80, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xC0, 0x80, 0x00, 0x00}, {3, false, false},
            {0x1234, 0x1235, 0, 32767, -32768}},
        {{0x7F, 0x34, 0x12, 0x80, 0x34, 0x12, 0x00, 0x00, 0x80}, {3, true, false}, {0x1234, 0x1235, -32768}},
        {{0x12, 0x34, 0x7F, 0xFF, 0x12, 0x34, 0x80, 0x00, 0xFF, 0xFF, 0x80, 0x00, 0x7F, 0xFF, 0xFF, 0xFF},
            {4, false, false}, {0x1234, 0x1235, 0, 32767}},
        {{0xFF, 0x7F, 0x34, 0x12, 0x00, 0x80, 0x34, 0x12}, {4, true, false}, {0x1234, 0x1235}},
        {{0x00, 0x80, 0xFF}, {1, false, true}, {-32768, 0, 0x7F00}},
        {{0x80, 0x00, 0xFF}, {1, false, false}, {-32768, 0, -256}},
        // A partial sample at the end is not converted.
        {{0x12, 0x34, 0x56}, {2, false, false}, {0x1234}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(converted(c.bytes, c.format), c.expected)
            << c.format.bytesPerSample << " bytes, little-endian " << c.format.littleEndian;
}

// Version 1 descriptions state 16 bits for in24 and in32, whose width is
// fixed; unspecified formats and codes not known here are "raw " at 8 bits
// and "twos" above; compressed sound and odd widths have no layout.
TEST_F(PcmFormat, TheFormatCodeAndSizeNameTheLayout)
{
    const std::string zero(4, '\0');
    const struct {
        std::string code;
        uint16_t bits;
        unsigned bytes; // 0: not PCM that can be copied
        bool little, isUnsigned;
    } cases[] = {
        {"twos", 16, 2, false, false},
        {"twos", 8, 1, false, false},
        {"twos", 24, 3, false, false},
        {"sowt", 16, 2, true, false},
        {"sowt", 32, 4, true, false},
        {"raw ", 8, 1, false, true},
        {"raw ", 16, 2, false, false},
        {"in24", 16, 3, false, false},
        {"in32", 16, 4, false, false},
        {"NONE", 8, 1, false, true},
        {"NONE", 16, 2, false, false},
        {zero, 8, 1, false, true},
        {zero, 24, 3, false, false},
        {"abcd", 8, 1, false, true},
        {"abcd", 32, 4, false, false},
        {"twos", 0, 0, false, false},
        {"twos", 12, 0, false, false},
        {"twos", 40, 0, false, false},
        {"raw ", 24, 0, false, false},
        {"NONE", 12, 0, false, false},
        {"abcd", 20, 0, false, false},
        {"mp4a", 16, 0, false, false},
        {"lpcm", 16, 0, false, false},
        {"fl32", 32, 0, false, false},
        {"ulaw", 16, 0, false, false},
        {"ima4", 16, 0, false, false},
        {"alac", 16, 0, false, false},
        {std::string("ms\0\1", 4), 16, 0, false, false},
    };
    for (const auto& c : cases) {
        SoundTrack track;
        track.format = c.code;
        track.bits = c.bits;
        const auto got = zuk::pcmFormatOf(*entry(soundEntry(track)));
        ASSERT_EQ(got.has_value(), c.bytes != 0) << c.code << " " << c.bits;
        if (!got)
            continue;
        EXPECT_EQ(got->bytesPerSample, c.bytes) << c.code << " " << c.bits;
        EXPECT_EQ(got->littleEndian, c.little) << c.code << " " << c.bits;
        EXPECT_EQ(got->isUnsigned, c.isUnsigned) << c.code << " " << c.bits;
    }
}

TEST_F(PcmFormat, AnEndianFlagInTheWaveExtensionMakesWideSamplesLittleEndian)
{
    const std::string header = std::string(6, '\0') + be16(1) + be16(1) + std::string(6, '\0') + be16(2) + be16(16) +
        std::string(4, '\0') + be32(48000u << 16);
    const std::string versionOne = be32(1) + be32(3) + be32(6) + be32(2);
    const std::string wave = box("wave", box("frma", "in24") + box("enda", be16(1)) + be32(0));
    auto parsed = entry(box("in24", header + versionOne + wave));
    EXPECT_TRUE(parsed->littleEndian);
    EXPECT_EQ(parsed->versionOne.bytesPerFrame, 6u);
    EXPECT_TRUE(zuk::pcmFormatOf(*parsed)->littleEndian);

    parsed = entry(box("in24", header + versionOne + box("wave", box("enda", be16(0)))));
    EXPECT_FALSE(zuk::pcmFormatOf(*parsed)->littleEndian);
    // An extension whose size overruns the entry is not followed.
    parsed = entry(box("in24", header + versionOne + withSize(box("enda", be16(1)), 4000)));
    EXPECT_FALSE(parsed->littleEndian);
}
