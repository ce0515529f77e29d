// The box classes as the parser builds them from bytes, and their dump texts.
#include "Mp4Builder.h"
#include "mp4/ContainerBoxes.h"
#include "mp4/Diagnostics.h"
#include "mp4/drefBox.h"
#include "mp4/elstBox.h"
#include "mp4/hdlrBox.h"
#include "mp4/mdhdBox.h"
#include "mp4/mvhdBox.h"
#include "mp4/stsdBox.h"
#include "mp4/stszBox.h"
#include "mp4/sttsBox.h"
#include "mp4/urlBox.h"
#include "mp4/urnBox.h"
#include "mp4/videoSampleEntryBox.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

using namespace zuktest::mp4;

namespace {

struct BoxTreeTest : ::testing::Test {
    std::ostringstream text;
    BoxTreeTest() { MP4Box::setDiagnostics(&text); }
    ~BoxTreeTest() override { MP4Box::setDiagnostics(&std::cout); }

    // `bytes` parsed as a box of class Box, standing alone.
    template <class Box>
    std::unique_ptr<Box> parse(const std::string& bytes)
    {
        std::istringstream in(bytes);
        auto parsed = std::make_unique<Box>();
        EXPECT_EQ(parsed->readBox(in, bytes.size()), 0);
        return parsed;
    }

    template <class Box>
    std::string dumped(const Box& parsed)
    {
        text.str("");
        parsed.dump();
        return text.str();
    }
};

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST_F(BoxTreeTest, AMovieDumpsEveryBoxOfItsSoundTrack)
{
    SoundTrack track;
    track.runs = {{1, 1024}};
    track.offsets = {36};
    const auto moov = parse<MP4Box::moovBox>(movie(soundTrak(track)));
    const std::string dump = dumped(*moov);
    for (const char* line : {"=========Box Dump=========\nCode :moov\n", "Boxes contained in moovBox:\nmoov:\n",
             "Code :mvhd\n", "trakBox:\n", "mdiaBox:\n", "handler_type :soun\nReserved :0 0 0\nName:Sound\n", "minf\n",
             "dinfBox\n", "Entries:1\ndref:\n", "Code :url \nBox Size :12\nVersion :0\nflags :0 0 1\nNo Location:\n",
             "stbl:\n", "Box Count:1\nstsd:\ntrak type: 2\n", "Code :twos\n",
             "Channel Count:2\nsample size :16\nsample rate :3145728000 , 48000:0\n",
             "Entry_count:1\nEntry: 0\nFirstChunk:1\nsamples per chunk:1024\nsample description index:1\n",
             "sample_size:1\nsample_count:0\n", "Entry Count1\nChunk1:36\n"})
        EXPECT_TRUE(contains(dump, line)) << line << "\nnot in:\n" << dump;
}

TEST_F(BoxTreeTest, VersionOneHeadersLineUpWithVersionZero)
{
    const std::string rest = be32(0x00010000) + be16(0x0100) + std::string(10, '\0') + std::string(36, '\0') +
        std::string(24, '\0') + be32(7);
    const auto zero = parse<MP4Box::mvhdBox>(fullBox("mvhd", be32(11) + be32(12) + be32(1000) + be32(5000) + rest));
    const auto one = parse<MP4Box::mvhdBox>(
        fullBox("mvhd", be64(11) + be64(12) + be32(1000) + be64(uint64_t{5000} << 32) + rest, 1));
    EXPECT_EQ(zero->duration, 5000u);
    EXPECT_EQ(one->duration, uint64_t{5000} << 32);
    for (const auto* box : {zero.get(), one.get()}) {
        EXPECT_EQ(box->creation_time, 11u);
        EXPECT_EQ(box->timescale, 1000u);
        EXPECT_EQ(box->volume, 0x0100);
        EXPECT_EQ(box->next_track_ID, 7u);
    }
    const auto mdhd =
        parse<MP4Box::mdhdBox>(fullBox("mdhd", be64(1) + be64(2) + be32(48000) + be64(9) + "\x15\xc7" + be16(0), 1));
    EXPECT_EQ(mdhd->timescale, 48000u);
    EXPECT_EQ(mdhd->duration, 9u);
    EXPECT_TRUE(contains(dumped(*mdhd), "language:5575\n"));
}

TEST_F(BoxTreeTest, EditListEntriesKeepTheSignOfTheirMediaTime)
{
    const auto elst = parse<MP4Box::elstBox>(fullBox(
        "elst", be32(2) + be32(100) + be32(0xFFFFFFFF) + be16(1) + be16(0) + be32(200) + be32(50) + be16(1) + be16(0)));
    ASSERT_EQ(elst->entries.size(), 2u);
    EXPECT_EQ(elst->entries[0].media_time, -1);
    EXPECT_EQ(elst->entries[1].segment_duration, 200u);
    EXPECT_TRUE(contains(dumped(*elst), "Entry 0\nSegment Duration :100\nMedia Time :-1\n"));
    // More entries stated than the box holds: only those present.
    EXPECT_EQ(parse<MP4Box::elstBox>(fullBox("elst", be32(0x7FFFFFFF) + std::string(12, '\0')))->entries.size(), 1u);
}

TEST_F(BoxTreeTest, NamesAndLocationsAreBoundedByTheirBox)
{
    // A name that fills the box without a NUL.
    const auto named = parse<MP4Box::hdlrBox>(fullBox("hdlr", be32(0) + "soun" + std::string(12, '\0') + "Track"));
    EXPECT_EQ(named->name, "Track");
    // A box too short even for its fields: no name, and nothing read past it.
    const std::string shortHdlr = withSize(fullBox("hdlr", be32(0) + "soun" + std::string(12, '\0')), 14);
    const auto dref = parse<MP4Box::drefBox>(fullBox("dref",
        be32(3) + be32(10) + "url " + std::string(2, '\0') + fullBox("urn ", std::string("name\0loc", 8)) +
            fullBox("urn ", "only")));
    ASSERT_EQ(dref->children.size(), 3u);
    const auto* url = dynamic_cast<MP4Box::urlBox*>(dref->children[0].get());
    const auto* both = dynamic_cast<MP4Box::urnBox*>(dref->children[1].get());
    const auto* nameOnly = dynamic_cast<MP4Box::urnBox*>(dref->children[2].get());
    ASSERT_TRUE(url && both && nameOnly);
    EXPECT_FALSE(url->location);
    EXPECT_EQ(both->name, "name");
    EXPECT_EQ(both->location, "loc");
    EXPECT_EQ(nameOnly->name, "only");
    EXPECT_FALSE(nameOnly->location);
    EXPECT_TRUE(contains(dumped(*nameOnly), "Name:only\nNo Location:\n"));

    std::istringstream in(shortHdlr + box("free", ""));
    MP4Box::hdlrBox cut;
    cut.readBox(in, shortHdlr.size() + 8);
    EXPECT_TRUE(cut.name.empty());
    EXPECT_EQ(in.tellg(), 14);
}

TEST_F(BoxTreeTest, SampleDescriptionsHoldTheEntriesPresentTypedByTheirTrack)
{
    const std::string video = box("avc1",
        std::string(6, '\0') + be16(1) + std::string(16, '\0') + be16(320) + be16(240) + be32(72u << 16) +
            be32(72u << 16) + be32(0) + be16(1) +
            "\x05"
            "codec" +
            std::string(26, '\0') + be16(24) + be16(0xFFFF));
    const std::string stsd = fullBox("stsd", be32(2) + video); // states two, holds one
    const std::string bytes =
        box("mdia", fullBox("hdlr", be32(0) + "vide" + std::string(13, '\0')) + box("minf", box("stbl", stsd)));
    const auto mdia = parse<MP4Box::mdiaBox>(bytes);
    const auto* stbl = MP4Box::findChildBox(*MP4Box::findChildBox(*mdia, "minf"), "stbl");
    const auto* description = dynamic_cast<const MP4Box::stsdBox*>(MP4Box::findChildBox(*stbl, "stsd"));
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(description->entry_count, 2u);
    ASSERT_EQ(description->children.size(), 1u);
    const auto* entry = dynamic_cast<const MP4Box::videoSampleEntryBox*>(description->children[0].get());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->width, 320);
    EXPECT_EQ(entry->depth, 24);
    EXPECT_TRUE(contains(dumped(*entry), "frame cout:1\ncompressor name:codec\ndepth:24\n"));

    // Outside a track the entries stay plain boxes.
    const auto alone = parse<MP4Box::stsdBox>(stsd);
    ASSERT_EQ(alone->children.size(), 1u);
    EXPECT_EQ(typeid(*alone->children[0]), typeid(MP4Box::MP4Box));
}

TEST_F(BoxTreeTest, SampleSizesAreATableOnlyWhenTheyDiffer)
{
    EXPECT_TRUE(parse<MP4Box::stszBox>(fullBox("stsz", be32(4) + be32(3)))->entry_size.empty());
    const auto table = parse<MP4Box::stszBox>(fullBox("stsz", be32(0) + be32(3) + be32(5) + be32(6) + be32(7)));
    EXPECT_EQ(table->entry_size, (std::vector<uint32_t>{5, 6, 7}));
    EXPECT_TRUE(contains(dumped(*table), "entry_size row 2:7\n"));
    const auto empty = parse<MP4Box::sttsBox>(fullBox("stts", be32(0)));
    EXPECT_EQ(dumped(*empty).substr(dumped(*empty).find("Entry_count")), "Entry_count:0\n");
}
