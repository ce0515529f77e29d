// MP4 files built in memory, box by box, for tests of the unwrapper: a sound
// track whose tables, sample entry and layout each test can bend; and what
// the MP4 tests share: a private folder, the unwrapper's log captured, the box
// parser's commentary kept out of the test output.
#pragma once

#include "mp4/Diagnostics.h"
#include "mp4/Mp4Log.h"
#include "mp4/UnwrapMP4.h"
#include "support/LogCapture.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace zuktest::mp4 {

inline std::string bigEndian(uint64_t value, int bytes)
{
    std::string text;
    for (int i = bytes - 1; i >= 0; --i)
        text += static_cast<char>(value >> (8 * i) & 0xFF);
    return text;
}
inline std::string be16(uint16_t value)
{
    return bigEndian(value, 2);
}
inline std::string be32(uint32_t value)
{
    return bigEndian(value, 4);
}
inline std::string be64(uint64_t value)
{
    return bigEndian(value, 8);
}

inline std::string box(std::string_view code, const std::string& payload)
{
    return be32(static_cast<uint32_t>(8 + payload.size())) + std::string(code) + payload;
}

inline std::string fullBox(std::string_view code, const std::string& payload, uint8_t version = 0, uint32_t flags = 0)
{
    return box(code, std::string(1, static_cast<char>(version)) + bigEndian(flags, 3) + payload);
}

struct Run {
    uint32_t firstChunk;
    uint32_t samplesPerChunk;
};

struct SoundTrack {
    std::string format = "twos";
    uint16_t channels = 2;
    uint16_t bits = 16;
    uint32_t rate = 48000;
    std::vector<Run> runs; // empty: runs fitting the chunks, unless deriveRuns is false
    bool deriveRuns = true;
    std::vector<uint32_t> offsets; // empty: where pcmFile puts the chunks
    uint32_t descriptions = 1;     // sample entries, stated and present
    std::string handler = "soun";
    bool chunkOffsets = true; // false: no stco (extraStbl may hold a co64)
    std::string extraStbl;    // more boxes inside stbl
    std::string stts = fullBox("stts", be32(0));
    std::string stsz = fullBox("stsz", be32(1) + be32(0));
};

inline std::string soundEntry(const SoundTrack& track)
{
    return box(track.format,
        std::string(6, '\0') + be16(1) + std::string(8, '\0') + be16(track.channels) + be16(track.bits) +
            std::string(4, '\0') + be32(track.rate << 16));
}

inline std::string soundTrak(const SoundTrack& track)
{
    std::string entries, runs, offsets;
    for (uint32_t i = 0; i < track.descriptions; ++i)
        entries += soundEntry(track);
    for (const Run& run : track.runs)
        runs += be32(run.firstChunk) + be32(run.samplesPerChunk) + be32(1);
    for (const uint32_t offset : track.offsets)
        offsets += be32(offset);
    const std::string stco = fullBox("stco", be32(static_cast<uint32_t>(track.offsets.size())) + offsets);
    const std::string stbl = box("stbl",
        fullBox("stsd", be32(track.descriptions) + entries) + track.stts +
            fullBox("stsc", be32(static_cast<uint32_t>(track.runs.size())) + runs) + track.stsz +
            (track.chunkOffsets ? stco : std::string()) + track.extraStbl);
    const std::string minf = box(
        "minf", fullBox("smhd", be32(0)) + box("dinf", fullBox("dref", be32(1) + fullBox("url ", "", 0, 1))) + stbl);
    const std::string hdlr = fullBox("hdlr", be32(0) + track.handler + std::string(12, '\0') + "Sound");
    const std::string mdhd = fullBox("mdhd", std::string(16, '\0') + be32(0));
    return box("trak", fullBox("tkhd", std::string(80, '\0')) + box("mdia", mdhd + hdlr + minf));
}

inline std::string movie(const std::string& traks)
{
    return box("moov", fullBox("mvhd", std::string(96, '\0')) + traks);
}

inline const std::string kFtyp = box("ftyp", "qt  " + be32(0) + "qt  ");

// ftyp, then the movie and the media data in the order asked, the chunks
// back to back in the media data. Offsets and runs not given by `track` are
// made to fit: one run of the first chunk's length.
inline std::string pcmFile(SoundTrack track, const std::vector<std::string>& chunks, bool movieFirst = false)
{
    const uint32_t frameBytes = std::max<uint32_t>(track.channels * (track.bits / 8), 1);
    if (track.runs.empty() && track.deriveRuns)
        track.runs = {{1, static_cast<uint32_t>(chunks[0].size() / frameBytes)}};
    std::string data;
    for (const std::string& chunk : chunks)
        data += chunk;
    const std::string mdat = box("mdat", data);
    const bool placeOffsets = track.offsets.empty();
    if (placeOffsets)
        track.offsets.assign(chunks.size(), 0);
    const size_t movieSize = movie(soundTrak(track)).size();
    if (placeOffsets) {
        uint64_t at = kFtyp.size() + (movieFirst ? movieSize : 0) + 8;
        for (size_t i = 0; i < chunks.size(); ++i) {
            track.offsets[i] = static_cast<uint32_t>(at);
            at += chunks[i].size();
        }
    }
    const std::string moov = movie(soundTrak(track));
    return movieFirst ? kFtyp + moov + mdat : kFtyp + mdat + moov;
}

// 16-bit big-endian samples as the bytes of a chunk.
inline std::string samples16(const std::vector<int16_t>& values)
{
    std::string bytes;
    for (const int16_t value : values)
        bytes += be16(static_cast<uint16_t>(value));
    return bytes;
}

// `bytes` parsed as a box of class Box, standing alone.
template <class Box>
std::unique_ptr<Box> parsed(const std::string& bytes)
{
    std::istringstream in(bytes);
    auto box = std::make_unique<Box>();
    EXPECT_EQ(box->readBox(in, bytes.size()), 0);
    return box;
}

struct Mp4Test : ::testing::Test {
    TempDir dir;
    CapturingSink log;
    std::string wav = dir.file("out.wav");

    Mp4Test()
    {
        zuk::setMP4LogFunction(LogString);
        MP4Box::setDiagnostics(nullptr);
    }
    ~Mp4Test() override
    {
        MP4Box::setDiagnostics(&std::cout);
        zuk::setMP4LogFunction(nullptr);
    }

    std::string file(const std::string& bytes, const std::string& name = "in.mov")
    {
        const std::string path = dir.file(name);
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    int32_t unwrapFile(const std::string& path, const std::string& output)
    {
        std::ifstream stream(path, std::ios::binary);
        return zuk::unwrapMP4(wide(output).c_str(), stream);
    }

    int32_t unwrap(const std::string& bytes) { return unwrapFile(file(bytes), wav); }

    bool logged(const std::string& line) const
    {
        const auto& pieces = log.pieces();
        return std::find(pieces.begin(), pieces.end(), line) != pieces.end();
    }
};

} // namespace zuktest::mp4
