// unwrapMP4 on files built in memory: the sample-to-chunk cases, the failure
// table, and files whose sizes, counts and offsets cannot be trusted.
#include "Mp4Builder.h"
#include "Mp4Test.h"

using namespace zuktest;
using namespace zuktest::mp4;

namespace {

std::vector<int16_t> ramp(size_t count, int16_t from)
{
    std::vector<int16_t> values(count);
    for (size_t i = 0; i < count; ++i)
        values[i] = static_cast<int16_t>(from + static_cast<int>(i) * 37);
    return values;
}

std::vector<int16_t> joined(const std::vector<std::vector<int16_t>>& parts)
{
    std::vector<int16_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

SoundTrack mono()
{
    SoundTrack track;
    track.channels = 1;
    return track;
}

// Chunks of mono samples, `frames[i]` in chunk i, numbered through.
std::vector<std::vector<int16_t>> monoChunks(const std::vector<size_t>& frames)
{
    std::vector<std::vector<int16_t>> chunks;
    int16_t next = -3000;
    for (const size_t count : frames) {
        chunks.push_back(ramp(count, next));
        next = static_cast<int16_t>(next + 1000);
    }
    return chunks;
}

std::vector<std::string> asBytes(const std::vector<std::vector<int16_t>>& chunks)
{
    std::vector<std::string> bytes;
    for (const auto& chunk : chunks)
        bytes.push_back(samples16(chunk));
    return bytes;
}

using UnwrapTest = Mp4Test;

} // namespace

// The scan ends at the end of the file; the run is logged in order.
TEST_F(UnwrapTest, StereoChunksOfOneRunComeOutAsTheirBigEndianValues)
{
    auto first = ramp(2048, 0x1234); // 1024 stereo frames: 4096 bytes
    const auto second = ramp(2048, -20000);
    ASSERT_EQ(samples16(first).substr(0, 2), "\x12\x34");
    for (const bool movieFirst : {false, true}) {
        log.captured.pieces.clear();
        ASSERT_EQ(unwrap(pcmFile(SoundTrack{}, {samples16(first), samples16(second)}, movieFirst)), 0);
        const Sound sound = readShorts(wav);
        EXPECT_EQ(sound.info.samplerate, 48000);
        EXPECT_EQ(sound.info.channels, 2);
        EXPECT_EQ(sound.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        EXPECT_EQ(sound.samples, joined({first, second})) << "movie first: " << movieFirst;
    }
    EXPECT_EQ(log.pieces(),
        (std::vector<std::string>{"Error parsing box\n", "In Makewavfile\n", "Examining sample description box\n",
            "Constructing Offset Table\n", "Writing Audio File\n", "Finished\n"}));
}

TEST_F(UnwrapTest, EachChunkTakesTheSampleCountOfItsRun)
{
    const auto chunks = monoChunks({2, 2, 3, 3, 3});
    SoundTrack track = mono();
    track.runs = {{1, 2}, {3, 3}};
    ASSERT_EQ(unwrap(pcmFile(track, asBytes(chunks))), 0);
    EXPECT_EQ(readShorts(wav).samples, joined(chunks));

    // Runs naming chunks that no offset names, and runs of no chunk at all,
    // change nothing.
    track.runs = {{1, 2}, {3, 7}, {3, 3}, {6, 9}, {40, 5}};
    ASSERT_EQ(unwrap(pcmFile(track, asBytes(chunks))), 0);
    EXPECT_EQ(readShorts(wav).samples, joined(chunks));
}

// Sample tables that leave chunks uncounted, or hold fewer rows than they
// state, or lack what the writer needs: -1, and no WAV made.
TEST_F(UnwrapTest, SampleTablesThatCannotBeTrustedFailBeforeTheWavIsMade)
{
    const auto chunks = asBytes(monoChunks({2, 2, 3, 3, 3}));
    const auto withRuns = [&](std::vector<mp4::Run> runs) {
        SoundTrack track = mono();
        track.runs = std::move(runs);
        track.deriveRuns = false;
        return pcmFile(track, chunks);
    };
    const std::string stereo = samples16(ramp(32, -7)); // 16 stereo frames
    const std::string good = pcmFile(SoundTrack{}, {stereo}, true);
    const auto withCount = [&](const char* code, uint32_t count) {
        std::string bytes = good;
        bytes.replace(bytes.rfind(code) + 8, 4, be32(count));
        return bytes;
    };
    SoundTrack sizes;
    sizes.stsz = fullBox("stsz", be32(0) + be32(17) + std::string(16 * 4, '\0'));
    SoundTrack co64;
    co64.chunkOffsets = false;
    co64.extraStbl = fullBox("co64", be32(1) + be64(44));
    SoundTrack noOffsets;
    noOffsets.chunkOffsets = false;
    const std::string uncovered = "Sample-to-chunk table does not cover every chunk\n";
    const std::string outOfOrder = "Sample-to-chunk runs out of order\n";
    const std::string fewerOffsets = "Chunk offset table holds fewer rows than its count\n";
    const struct {
        std::string bytes;
        std::string line;
    } cases[] = {
        {withRuns({}), uncovered},
        {withRuns({{2, 2}}), uncovered},
        {withRuns({{0, 2}, {1, 2}}), uncovered},
        {withRuns({{1, 2}, {4, 3}, {2, 3}}), outOfOrder},
        {withRuns({{1, 2}, {0, 3}}), outOfOrder},
        {withCount("stco", 2), fewerOffsets},
        {withCount("stco", 0xFFFFFFFF), fewerOffsets},
        {withCount("stsc", 0x7FFFFFFF), "Sample-to-chunk table holds fewer rows than its count\n"},
        {pcmFile(sizes, {stereo}, true), "Sample size table holds fewer rows than its count\n"},
        {pcmFile(co64, {stereo}), "64-bit chunk offsets are not supported\n"},
        {pcmFile(noOffsets, {stereo}), "Sample table lacks chunk offsets or sample-to-chunk runs\n"},
    };
    for (const auto& c : cases) {
        log.captured.pieces.clear();
        EXPECT_EQ(unwrap(c.bytes), -1) << c.line;
        EXPECT_TRUE(logged(c.line)) << c.line;
        EXPECT_FALSE(std::filesystem::exists(wav)) << c.line;
    }
}

TEST_F(UnwrapTest, AChunkPastTheEndOfTheFileKeepsTheWholeFramesBeforeItAndFails)
{
    const auto chunks = monoChunks({4, 4, 4});
    // The media data last, cut inside the last frame of the last chunk.
    SoundTrack track;
    std::vector<std::string> stereo = {samples16(chunks[0]), samples16(chunks[1]), samples16(chunks[2])};
    std::string bytes = pcmFile(track, stereo, true);
    bytes.resize(bytes.size() - 3);
    EXPECT_EQ(unwrap(bytes), -1);
    EXPECT_TRUE(logged("Chunk runs past the end of the file, audio is incomplete\n"));
    const auto all = joined(chunks);
    EXPECT_EQ(readShorts(wav).samples, std::vector<int16_t>(all.begin(), all.end() - 2));

    // An offset far beyond the file: the chunks before it are kept.
    log.captured.pieces.clear();
    track = mono();
    track.runs = {{1, 4}};
    const std::string good = pcmFile(track, asBytes(chunks));
    const size_t offsets = good.rfind("stco") + 8;
    std::string bad = good;
    bad.replace(offsets + 4 + 4, 4, be32(0xFFFFFF00));
    EXPECT_EQ(unwrap(bad), -1);
    EXPECT_TRUE(logged("Chunk runs past the end of the file, audio is incomplete\n"));
    EXPECT_EQ(readShorts(wav).samples, chunks[0]);
}

TEST_F(UnwrapTest, SampleDescriptionsTheWriterCannotCopyFail)
{
    const auto change = [](auto edit) {
        SoundTrack track;
        edit(track);
        return track;
    };
    const struct {
        SoundTrack track;
        std::string line;
    } cases[] = {
        {change([](SoundTrack& t) { t.descriptions = 2; }), "More than 1 sample type, probably not wav encoding.\n"},
        {change([](SoundTrack& t) { t.descriptions = 0; }), "No description of audio samples\n"},
        {change([](SoundTrack& t) { t.bits = 0; }), "Samples are not integer PCM of 8, 16, 24 or 32 bits\n"},
        {change([](SoundTrack& t) { t.bits = 12; }), "Samples are not integer PCM of 8, 16, 24 or 32 bits\n"},
        {change([](SoundTrack& t) { t.format = "mp4a"; }), "Samples are not integer PCM of 8, 16, 24 or 32 bits\n"},
        {change([](SoundTrack& t) { t.channels = 0; }), "Sample rate or channel count is 0\n"},
        {change([](SoundTrack& t) { t.rate = 0; }), "Sample rate or channel count is 0\n"},
        // A sound media header on a track whose handler says video.
        {change([](SoundTrack& t) { t.handler = "vide"; }), "Sample description is not an audio sample entry\n"},
    };
    for (const auto& c : cases) {
        log.captured.pieces.clear();
        EXPECT_EQ(unwrap(pcmFile(c.track, {samples16(ramp(8, 1))})), -1) << c.line;
        EXPECT_TRUE(logged(c.line)) << c.line;
        EXPECT_TRUE(logged("Error getting wav stream information\n")) << c.line;
        EXPECT_FALSE(std::filesystem::exists(wav)) << c.line;
    }
}

TEST_F(UnwrapTest, AnUnknownFormatCodeIsCopiedOnlyWhenItsTablesShowOneFramePerSample)
{
    const auto samples = ramp(64, 300); // 32 stereo frames of 4 bytes
    const std::string frames = fullBox("stts", be32(1) + be32(32) + be32(1));
    const std::string frameSizes = fullBox("stsz", be32(4) + be32(32));
    const auto track = [](const char* code, const std::string& stts, const std::string& stsz) {
        SoundTrack t;
        t.format = code;
        t.stts = stts;
        t.stsz = stsz;
        return t;
    };
    ASSERT_EQ(unwrap(pcmFile(track("abcd", frames, frameSizes), {samples16(samples)})), 0);
    EXPECT_EQ(readShorts(wav).samples, samples);

    const std::string unproven = "Unknown sample format, and the sample tables do not show uncompressed frames\n";
    const struct {
        SoundTrack track;
        std::string line;
    } cases[] = {
        {track("abcd", fullBox("stts", be32(1) + be32(16) + be32(2)), frameSizes), unproven},
        {track("abcd", fullBox("stts", be32(2) + be32(32) + be32(1)), frameSizes), unproven}, // a run missing
        {track("abcd", fullBox("stts", be32(0)), frameSizes), unproven},
        {track("abcd", "", frameSizes), unproven},
        {track("abcd", frames, fullBox("stsz", be32(2) + be32(64))), unproven},
        {track("abcd", frames, fullBox("stsz", be32(0) + be32(1) + be32(128))), unproven},
        {track("abcd", frames, ""), unproven},
        // Known compressed sound is refused whatever its tables say.
        {track("ulaw", frames, frameSizes), "Samples are not integer PCM of 8, 16, 24 or 32 bits\n"},
    };
    for (const auto& c : cases) {
        log.captured.pieces.clear();
        std::filesystem::remove(wav);
        EXPECT_EQ(unwrap(pcmFile(c.track, {samples16(samples)})), -1) << c.line;
        EXPECT_TRUE(logged(c.line)) << c.line;
        EXPECT_FALSE(std::filesystem::exists(wav)) << c.line;
    }
}

TEST_F(UnwrapTest, NoMovieNoSoundTrackOrNoWritableOutputFail)
{
    EXPECT_EQ(unwrap(kFtyp + box("mdat", samples16(ramp(8, 1)))), -1);
    EXPECT_TRUE(logged("No Movie Found \n"));

    const std::string videoOnly =
        kFtyp + movie(box("trak", box("mdia", box("minf", fullBox("vmhd", std::string(8, '\0'))))));
    EXPECT_EQ(unwrap(videoOnly), -1);
    EXPECT_TRUE(logged("No Audio Track \n"));
    EXPECT_FALSE(std::filesystem::exists(wav));

    const std::string input = file(pcmFile(SoundTrack{}, {samples16(ramp(8, 1))}));
    EXPECT_EQ(unwrapFile(input, dir.file("missing/out.wav")), -4);
    EXPECT_TRUE(logged("Error opening sound file for writing\n"));
}

TEST_F(UnwrapTest, HeadersOfEveryFormAreSkippedByTheirSize)
{
    const auto chunk = ramp(16, 5);
    std::string before;
    for (int i = 0; i < 60; ++i) // more top-level boxes than a fixed table would hold
        before += box("free", std::string(static_cast<size_t>(i), 'x'));
    before += be32(1) + "skip" + be64(16 + 5) + "12345"; // 64-bit size
    before += box("uuid", std::string(16, 'u') + "payload");
    SoundTrack track;
    track.runs = {{1, 8}};
    track.offsets = {0};
    const size_t movieSize = movie(soundTrak(track)).size();
    track.offsets = {static_cast<uint32_t>(kFtyp.size() + before.size() + movieSize + 8)};
    // A size of 0 runs to the end of the file.
    const std::string bytes = kFtyp + before + movie(soundTrak(track)) + box("mdat", samples16(chunk)) + be32(0) +
        "free" + std::string(100, 'z');
    ASSERT_EQ(unwrap(bytes), 0);
    EXPECT_EQ(readShorts(wav).samples, chunk);
}

TEST_F(UnwrapTest, SizesBeyondWhatTheBytesHoldAreCutToThem)
{
    const auto chunk = ramp(32, -7);
    const std::string good = pcmFile(SoundTrack{}, {samples16(chunk)}, true);
    const size_t stco = good.rfind("stco") - 4;

    const auto expectGood = [&](std::string bytes, const char* what) {
        std::filesystem::remove(wav);
        EXPECT_EQ(unwrap(bytes), 0) << what;
        EXPECT_EQ(readShorts(wav).samples, chunk) << what;
    };
    std::string bytes = good;
    bytes.replace(stco, 4, be32(0x7FFFFFF0)); // the last box of stbl, larger than stbl
    expectGood(bytes, "box larger than its container");
    bytes = good;
    const size_t mdat = good.rfind("mdat") - 4;
    bytes.replace(mdat, 8, be32(1) + "mdat");
    bytes.insert(mdat + 8, be64(uint64_t{1} << 40)); // far larger than the file
    bytes.replace(stco + 16, 4, be32(static_cast<uint32_t>(good.find(samples16(chunk)) + 8)));
    expectGood(bytes, "top-level box larger than the file");
}

TEST_F(UnwrapTest, BoxesThatCannotBeReadEndTheirContainerWithoutLooping)
{
    const std::string good = pcmFile(SoundTrack{}, {samples16(ramp(8, 1))});
    // A header smaller than itself ends the top-level scan before the movie.
    EXPECT_EQ(unwrap(kFtyp + be32(4) + "free" + good.substr(kFtyp.size())), -1);
    EXPECT_TRUE(logged("No Movie Found \n"));

    // A box of size 0 inside the sample table swallows the tables after it.
    std::string bytes = good;
    const size_t stts = bytes.rfind("stts") - 4;
    bytes.replace(stts, 4, be32(0));
    EXPECT_EQ(unwrap(bytes), -1);
    EXPECT_TRUE(logged("Sample table lacks chunk offsets or sample-to-chunk runs\n"));

    // Containers nested far deeper than any real file, or any stack, allows.
    constexpr uint32_t kLevels = 200000;
    std::string nested;
    for (uint32_t level = 0; level < kLevels; ++level)
        nested += be32(8 * (kLevels - level)) + "trak";
    EXPECT_EQ(unwrap(kFtyp + movie(nested)), -1);
    EXPECT_TRUE(logged("No Audio Track \n"));
}

TEST_F(UnwrapTest, AWavThatCannotBeWrittenFailsWithTheWriteCode)
{
    const std::string input = file(pcmFile(SoundTrack{}, {samples16(ramp(200000, 1))}));
    FileSizeLimit limit(64 * 1024); // as a full disk would
    EXPECT_EQ(unwrapFile(input, wav), -7);
    EXPECT_TRUE(logged("Error writing sound file\n"));
    EXPECT_FALSE(logged("Finished\n"));
}
