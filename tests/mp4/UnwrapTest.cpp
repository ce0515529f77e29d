// unwrapMP4 on files built in memory: what each kind of file gives, and what
// files whose tables, sizes, counts and offsets cannot be trusted give. On
// files made by the ffmpeg command line: the WAV holds what ffmpeg decodes
// from them, rounded to 16 bits; Extract reaches the unwrapper for an ".mp4"
// that no other back end reads.
#include "Mp4Builder.h"
#include "support/MediaFixtures.h"

#include <cmath>
#include <functional>
#include <optional>

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

SoundTrack edited(const std::function<void(SoundTrack&)>& edit)
{
    SoundTrack track;
    edit(track);
    return track;
}

using UnwrapTest = Mp4Test;
using Mp4FilesTest = Mp4Test;

// A format code that FFmpeg has no decoder for.
const std::string kUnknownCode = "qzpc";

// The bytes of the fixture `name` with its sound's "twos" code set to the unknown one.
std::string withUnknownCode(const std::string& name)
{
    std::string bytes = fileBytes(mediaFixture(name));
    // The entry's code follows the sample description's header and count and
    // the entry's size.
    for (size_t at = bytes.find("stsd"); at != std::string::npos; at = bytes.find("stsd", at + 4))
        if (bytes.compare(at + 16, 4, "twos") == 0)
            return bytes.replace(at + 16, 4, kUnknownCode);
    throw std::runtime_error("no sample entry twos in " + name);
}

// The sound of the file as ffmpeg decodes it to 32 bits, rounded to the
// nearest 16-bit value (halves up, clamped). Samples of up to 16 bits come out
// exactly; ffmpeg's own 16-bit output would truncate wider ones.
std::vector<int16_t> ffmpegDecodeRounded(const std::string& path)
{
    const std::string bytes = commandOutput(
        {"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:a:0", "-f", "s32le", "-acodec", "pcm_s32le", "-"});
    std::vector<int16_t> samples(bytes.size() / 4);
    for (size_t i = 0; i < samples.size(); ++i) {
        uint32_t value = 0;
        for (int b = 3; b >= 0; --b)
            value = value << 8 | static_cast<uint8_t>(bytes[4 * i + static_cast<size_t>(b)]);
        const double rounded = std::floor(static_cast<int32_t>(value) / 65536.0 + 0.5);
        samples[i] = static_cast<int16_t>(std::clamp(rounded, -32768.0, 32767.0));
    }
    return samples;
}

} // namespace

// Each row's result and log line, and the samples of the WAV left (none: no WAV).
TEST_F(UnwrapTest, EachKindOfFileHasItsResultLogLineAndSamples)
{
    const auto mono = ramp(13, -3000);
    const std::string bytes = samples16(mono);
    // Chunks of 2, 2, 3, 3 and 3 mono frames.
    const std::vector<std::string> chunks{
        bytes.substr(0, 4), bytes.substr(4, 4), bytes.substr(8, 6), bytes.substr(14, 6), bytes.substr(20)};
    const auto withRuns = [&](std::vector<mp4::Run> runs) {
        return pcmFile(edited([&](SoundTrack& t) {
            t.channels = 1;
            t.runs = std::move(runs);
            t.deriveRuns = false;
        }),
            chunks);
    };
    const auto stereo = ramp(32, 0x1234); // 16 stereo frames of 4 bytes, 64 bytes
    const auto stereoFile = [&](const std::function<void(SoundTrack&)>& edit, bool movieFirst = false) {
        return pcmFile(edited(edit), {samples16(stereo)}, movieFirst);
    };
    const auto unchanged = [](SoundTrack&) {};
    const std::string good = stereoFile(unchanged, true);
    // `good` with the bytes of the box `code` from `at`, its size field at 0, replaced.
    const auto replaced = [&](const char* code, size_t at, const std::string& with) {
        std::string changed = good;
        return changed.replace(changed.rfind(code) - 4 + at, with.size(), with);
    };
    const auto unknown = [&](const std::string& stts, const std::string& stsz) {
        return stereoFile([&](SoundTrack& t) {
            t.format = "abcd";
            t.stts = stts;
            t.stsz = stsz;
        });
    };
    const std::string frames = fullBox("stts", be32(1) + be32(16) + be32(1));
    const std::string frameSizes = fullBox("stsz", be32(4) + be32(16));

    // Boxes of every header form before the movie; a size of 0 after the
    // media data runs to the end of the file.
    std::string before;
    for (int i = 0; i < 60; ++i) // more top-level boxes than a fixed table would hold
        before += box("free", std::string(static_cast<size_t>(i), 'x'));
    before += be32(1) + "skip" + be64(16 + 5) + "12345"; // 64-bit size
    before += box("uuid", std::string(16, 'u') + "payload");
    SoundTrack placed;
    placed.runs = {{1, 16}};
    placed.offsets = {0};
    placed.offsets = {static_cast<uint32_t>(kFtyp.size() + before.size() + movie(soundTrak(placed)).size() + 8)};
    const std::string headers =
        kFtyp + before + movie(soundTrak(placed)) + box("mdat", samples16(stereo)) + be32(0) + "free" + "zzz";

    std::string cut = good;
    cut.resize(cut.size() - 3); // inside the last frame
    std::string beyond = withRuns({{1, 2}, {3, 3}});
    beyond.replace(beyond.rfind("stco") + 16, 4, be32(0xFFFFFF00)); // the second chunk's offset

    // 400 chunks of 1500 mono frames, over a megabyte, the first and last
    // offsets swapped: the copy jumps ahead, goes back, then runs on through
    // chunks that lie 0 to 2 bytes apart, or further than their own size,
    // past where any one read of the input ends; chunk 103 starts halfway
    // into chunk 102, so it runs on past the end of the read that took 102.
    const auto longMono = ramp(600000, -30000);
    std::vector<std::string> pieces;
    for (size_t at = 0; at < longMono.size(); at += 1500)
        pieces.push_back(samples16({longMono.begin() + static_cast<ptrdiff_t>(at),
                             longMono.begin() + static_cast<ptrdiff_t>(at + 1500)}) +
            std::string(at % 7500 == 6000 ? 3001 : at / 1500 % 3, '\x55'));
    std::string swapped = pcmFile(edited([](SoundTrack& t) {
        t.channels = 1;
        t.runs = {{1, 1500}};
    }),
        pieces, true);
    const size_t firstOffset = swapped.rfind("stco") + 12, lastOffset = firstOffset + 4 * (pieces.size() - 1);
    const std::string first = swapped.substr(firstOffset, 4);
    swapped.replace(firstOffset, 4, swapped.substr(lastOffset, 4)).replace(lastOffset, 4, first);
    uint32_t offset102 = 0;
    for (const char byte : swapped.substr(firstOffset + 4 * 102, 4))
        offset102 = offset102 << 8 | static_cast<uint8_t>(byte);
    swapped.replace(firstOffset + 4 * 103, 4, be32(offset102 + 1500));
    std::vector<int16_t> swappedMono(longMono.end() - 1500, longMono.end());
    swappedMono.insert(swappedMono.end(), longMono.begin() + 1500, longMono.end() - 1500);
    swappedMono.insert(swappedMono.end(), longMono.begin(), longMono.begin() + 1500);
    std::copy_n(longMono.begin() + 102 * 1500 + 750, 1500, swappedMono.begin() + 103 * 1500);

    std::string nested; // deeper than any real file, or any stack, allows
    for (uint32_t level = 0; level < 200000; ++level)
        nested += be32(8 * (200000 - level)) + "trak";

    const std::string uncovered = "Sample-to-chunk table does not cover every chunk\n";
    const std::string notPcm = "Samples are not integer PCM of 8, 16, 24 or 32 bits\n";
    const std::string noRate = "Sample rate or channel count is 0\n";
    const std::string unproven = "Unknown sample format, and the sample tables do not show uncompressed frames\n";
    const std::string pastEnd = "Chunk runs past the end of the file, audio is incomplete\n";
    const struct {
        const char* what;
        std::string bytes;
        int32_t result;
        std::string line;
        std::optional<std::vector<int16_t>> samples;
    } rows[] = {
        // The scan ends at the end of the file, after a movie behind the media data.
        {"movie last", stereoFile(unchanged), 0, "Error parsing box\n", stereo},
        {"movie first", good, 0, "Finished\n", stereo},
        {"runs of 2, then 3", withRuns({{1, 2}, {3, 3}}), 0, "Finished\n", mono},
        {"runs of no chunk", withRuns({{1, 2}, {3, 7}, {3, 3}, {6, 9}, {40, 5}}), 0, "Finished\n", mono},
        {"headers of every form", headers, 0, "Finished\n", stereo},
        {"a box larger than its container", replaced("stco", 0, be32(0x7FFFFFF0)), 0, "Finished\n", stereo},
        {"chunks apart and out of file order, over a megabyte", swapped, 0, "Finished\n", swappedMono},
        {"a chunk cut by the end", cut, -1, pastEnd, std::vector<int16_t>(stereo.begin(), stereo.end() - 2)},
        {"a chunk beyond the end", beyond, -1, pastEnd, std::vector<int16_t>(mono.begin(), mono.begin() + 2)},
        {"no runs", withRuns({}), -1, uncovered, {}},
        {"runs from chunk 2", withRuns({{2, 2}}), -1, uncovered, {}},
        {"runs out of order", withRuns({{1, 2}, {4, 3}, {2, 3}}), -1, "Sample-to-chunk runs out of order\n", {}},
        {"short stco", replaced("stco", 12, be32(0xFFFFFFFF)), -1,
            "Chunk offset table holds fewer rows than its count\n", {}},
        {"short stsc", replaced("stsc", 12, be32(0x7FFFFFFF)), -1,
            "Sample-to-chunk table holds fewer rows than its count\n", {}},
        {"short stsz", stereoFile([](SoundTrack& t) { t.stsz = fullBox("stsz", be32(0) + be32(17) + be32(4)); }), -1,
            "Sample size table holds fewer rows than its count\n", {}},
        {"co64", stereoFile([](SoundTrack& t) {
             t.chunkOffsets = false;
             t.extraStbl = fullBox("co64", be32(1) + be64(44));
         }),
            -1, "64-bit chunk offsets are not supported\n", {}},
        {"no stco", stereoFile([](SoundTrack& t) { t.chunkOffsets = false; }), -1,
            "Sample table lacks chunk offsets or sample-to-chunk runs\n", {}},
        {"a size 0 box swallowing the tables", replaced("stts", 0, be32(0)), -1,
            "Sample table lacks chunk offsets or sample-to-chunk runs\n", {}},
        {"two entries", stereoFile([](SoundTrack& t) { t.descriptions = 2; }), -1,
            "More than 1 sample type, probably not wav encoding.\n", {}},
        {"two entries, the caller's line", stereoFile([](SoundTrack& t) { t.descriptions = 2; }), -1,
            "Error getting wav stream information\n", {}},
        {"no entry", stereoFile([](SoundTrack& t) { t.descriptions = 0; }), -1, "No description of audio samples\n",
            {}},
        {"12 bits", stereoFile([](SoundTrack& t) { t.bits = 12; }), -1, notPcm, {}},
        {"no channels", stereoFile([](SoundTrack& t) { t.channels = 0; }), -1, noRate, {}},
        {"no rate", stereoFile([](SoundTrack& t) { t.rate = 0; }), -1, noRate, {}},
        {"a video handler", stereoFile([](SoundTrack& t) { t.handler = "vide"; }), -1,
            "Sample description is not an audio sample entry\n", {}},
        // Known compressed sound is refused whatever its tables say.
        {"ulaw in tables of frames", stereoFile([&](SoundTrack& t) {
             t.format = "ulaw";
             t.stts = frames;
             t.stsz = frameSizes;
         }),
            -1, notPcm, {}},
        {"unknown, samples of 2 ticks", unknown(fullBox("stts", be32(1) + be32(8) + be32(2)), frameSizes), -1, unproven,
            {}},
        {"unknown, a time run missing", unknown(fullBox("stts", be32(2) + be32(16) + be32(1)), frameSizes), -1,
            unproven, {}},
        {"unknown, no time runs", unknown(fullBox("stts", be32(0)), frameSizes), -1, unproven, {}},
        {"unknown, no stts", unknown("", frameSizes), -1, unproven, {}},
        {"unknown, samples of 2 bytes", unknown(frames, fullBox("stsz", be32(2) + be32(32))), -1, unproven, {}},
        {"unknown, a size table", unknown(frames, fullBox("stsz", be32(0) + be32(1) + be32(64))), -1, unproven, {}},
        {"unknown, no stsz", unknown(frames, ""), -1, unproven, {}},
        {"no movie", kFtyp + box("mdat", bytes), -1, "No Movie Found \n", {}},
        {"video only", kFtyp + movie(box("trak", box("mdia", box("minf", fullBox("vmhd", std::string(8, '\0')))))), -1,
            "No Audio Track \n", {}},
        {"containers nested deep", kFtyp + movie(nested), -1, "No Audio Track \n", {}},
    };
    for (const auto& row : rows) {
        log.captured.pieces.clear();
        std::filesystem::remove(wav);
        EXPECT_EQ(unwrap(row.bytes), row.result) << row.what;
        EXPECT_TRUE(logged(row.line)) << row.what;
        ASSERT_EQ(std::filesystem::exists(wav), row.samples.has_value()) << row.what;
        if (row.samples) {
            EXPECT_EQ(readShorts(wav).samples, *row.samples) << row.what;
        }
    }
}

TEST_F(UnwrapTest, AWavThatCannotBeOpenedOrWrittenFailsWithItsCode)
{
    const std::string input = file(pcmFile(SoundTrack{}, {samples16(ramp(200000, 1))}));
    EXPECT_EQ(unwrapFile(input, dir.file("missing/out.wav")), -4);
    EXPECT_TRUE(logged("Error opening sound file for writing\n"));
    FileSizeLimit limit(64 * 1024); // as a full disk would
    EXPECT_EQ(unwrapFile(input, wav), -7);
    EXPECT_TRUE(logged("Error writing sound file\n"));
    EXPECT_FALSE(logged("Finished\n"));
}

// The unspecified and unknown format codes are the format table's; an
// unknown one in real tables is in the Extract test below.
TEST_F(Mp4FilesTest, UncompressedSoundIsCopiedAsFfmpegDecodesIt)
{
    const struct {
        const char* name;
        int rate;
        int channels;
    } files[] = {
        {"mov-s16be-mono.mov", 48000, 1},
        {"mov-s16be-stereo-front.mov", 44100, 2},
        {"mov-s16le.mov", 32000, 2},
        {"mov-s24be.mov", 32000, 2},
        {"mov-s24le.mov", 32000, 2},
        {"mov-s32be.mov", 32000, 2},
        {"mov-s32le.mov", 32000, 2},
        {"mov-s8.mov", 32000, 2},
        {"mov-u8.mov", 32000, 2},
    };
    for (const auto& row : files) {
        const std::string path = mediaFixture(row.name);
        ASSERT_EQ(unwrapFile(path, wav), 0) << row.name;
        const Sound sound = readShorts(wav);
        EXPECT_EQ(sound.info.samplerate, row.rate) << row.name;
        EXPECT_EQ(sound.info.channels, row.channels) << row.name;
        EXPECT_EQ(sound.samples, ffmpegDecodeRounded(path)) << row.name;
    }
}

// Hosts choose where the box diagnostics go, and may switch them off again.
TEST_F(Mp4FilesTest, ExtractUnwrapsAnMp4ThatNoBackEndReadsAndResamplesIt)
{
    const std::string original = mediaFixture("mov-s16be-video.mov");
    const std::string input = file(withUnknownCode("mov-s16be-video.mov"), "take.MP4");
    // FFmpeg has no decoder for the sound, so every back end that decodes
    // through it fails, and the chain reaches the unwrapper.
    EXPECT_THROW(ffmpegDecode(input), std::runtime_error);

    const std::string output = dir.file("take.wav");
    std::unique_ptr<FILE, int (*)(FILE*)> text(std::tmpfile(), std::fclose);
    ASSERT_TRUE(text);
    zuk_set_mp4_diagnostics(text.get());
    ASSERT_EQ(Extract(wide(input).c_str(), wide(output).c_str(), nullptr), 0);
    zuk_set_mp4_diagnostics(nullptr);
    ASSERT_EQ(Extract(wide(input).c_str(), wide(dir.file("again.wav")).c_str(), nullptr), 0);
    std::string written(size_t(std::ftell(text.get())), '\0');
    std::rewind(text.get());
    ASSERT_EQ(std::fread(written.data(), 1, written.size(), text.get()), written.size());
    EXPECT_NE(written.find("Found stco Box, parsing\n"), std::string::npos);
    EXPECT_EQ(written.find("moovBox getBoxData \n"), written.rfind("moovBox getBoxData \n")) << "one run's";

    writeShorts(dir.file("decoded.wav"), 48000, 2, ffmpegDecode(original));
    ASSERT_EQ(resampleAudio(wide(dir.file("decoded.wav")).c_str(), wide(dir.file("expected.wav")).c_str(), nullptr), 0);
    EXPECT_EQ(fileBytes(output), fileBytes(dir.file("expected.wav")));
    EXPECT_EQ(readShorts(output + "2.wav").samples, ffmpegDecode(original)); // the intermediate stays
    const std::string all = log.joined();
    EXPECT_NE(all.find("ZUK: Could not extract audio. \nZUK:  Trying MP4 unwrapper\n"), std::string::npos) << all;
    EXPECT_NE(all.find("Finished\nZUK:Resampling audio file\n"), std::string::npos) << all;

    // Only an ".mp4" reaches the unwrapper, which would read this one; its failure is then the result.
    EXPECT_EQ(
        Extract(wide(file(withUnknownCode("mov-s16be-mono.mov"), "take.mov")).c_str(), wide(wav).c_str(), nullptr), -4);
    EXPECT_EQ(Extract(wide(dir.file("gone.mp4")).c_str(), wide(wav).c_str(), nullptr), -4);
    EXPECT_EQ(log.pieces().back(), "ZUK: Could not open MP4 file with ifstream\n");
}
