// How stored samples become 16-bit samples: the format each sample entry
// names, and the conversion of each width and byte order.
#include "Mp4Builder.h"
#include "mp4/Diagnostics.h"
#include "mp4/PcmFormat.h"

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
        {{0x12, 0x34, 0x7F, 0x12, 0x34, 0x80, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xC0, 0x80, 0x00, 0x00},
         {3, false, false},
         {0x1234, 0x1235, 0, 32767, -32768}},
        {{0x7F, 0x34, 0x12, 0x80, 0x34, 0x12, 0x00, 0x00, 0x80}, {3, true, false}, {0x1234, 0x1235, -32768}},
        {{0x12, 0x34, 0x7F, 0xFF, 0x12, 0x34, 0x80, 0x00, 0xFF, 0xFF, 0x80, 0x00, 0x7F, 0xFF, 0xFF, 0xFF},
         {4, false, false},
         {0x1234, 0x1235, 0, 32767}},
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

TEST_F(PcmFormat, TheFormatCodeAndSizeNameTheLayout)
{
    SoundTrack track;
    const auto formatOf = [&](const std::string& code, uint16_t bits) {
        track.format = code;
        track.bits = bits;
        return zuk::pcmFormatOf(*entry(soundEntry(track)));
    };
    const auto expect = [](std::optional<zuk::PcmFormat> got, unsigned bytes, bool little, bool isUnsigned) {
        ASSERT_TRUE(got);
        EXPECT_EQ(got->bytesPerSample, bytes);
        EXPECT_EQ(got->littleEndian, little);
        EXPECT_EQ(got->isUnsigned, isUnsigned);
    };
    expect(formatOf("twos", 16), 2, false, false);
    expect(formatOf("twos", 8), 1, false, false);
    expect(formatOf("twos", 24), 3, false, false);
    expect(formatOf("sowt", 16), 2, true, false);
    expect(formatOf("sowt", 32), 4, true, false);
    expect(formatOf("raw ", 8), 1, false, true);
    expect(formatOf("raw ", 16), 2, false, false);
    // Version 1 descriptions state 16 bits for these; their width is fixed.
    expect(formatOf("in24", 16), 3, false, false);
    expect(formatOf("in32", 16), 4, false, false);
    // Unspecified formats, and codes not known here, are "raw " at 8 bits and
    // "twos" above.
    const std::string zero(4, '\0');
    expect(formatOf("NONE", 8), 1, false, true);
    expect(formatOf("NONE", 16), 2, false, false);
    expect(formatOf(zero, 8), 1, false, true);
    expect(formatOf(zero, 24), 3, false, false);
    expect(formatOf("abcd", 8), 1, false, true);
    expect(formatOf("abcd", 32), 4, false, false);
    for (const auto& [code, bits] : std::vector<std::pair<std::string, uint16_t>>{
             {"twos", 0}, {"twos", 12}, {"twos", 40}, {"raw ", 24}, {"NONE", 12}, {"abcd", 20}, {"mp4a", 16},
             {"lpcm", 16}, {"fl32", 32}, {"ulaw", 16}, {"ima4", 16}, {"alac", 16}, {std::string("ms\0\1", 4), 16}})
        EXPECT_FALSE(formatOf(code, bits)) << code << " " << bits;
}

TEST_F(PcmFormat, AnEndianFlagInTheWaveExtensionMakesWideSamplesLittleEndian)
{
    const std::string header = std::string(6, '\0') + be16(1) + be16(1) + std::string(6, '\0') + be16(2) +
                               be16(16) + std::string(4, '\0') + be32(48000u << 16);
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
