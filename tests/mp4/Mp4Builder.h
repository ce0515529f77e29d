// MP4 files built in memory, box by box, for tests of the unwrapper: a sound
// track whose tables, sample entry and layout each test can bend.
#pragma once

#include <algorithm>
#include <cstdint>
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

// The same box with its 32-bit size field replaced.
inline std::string withSize(std::string bytes, uint32_t size)
{
    return be32(size) + bytes.substr(4);
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

inline std::string stsc(const std::vector<Run>& runs)
{
    std::string rows;
    for (const Run& run : runs)
        rows += be32(run.firstChunk) + be32(run.samplesPerChunk) + be32(1);
    return fullBox("stsc", be32(static_cast<uint32_t>(runs.size())) + rows);
}

inline std::string stco(const std::vector<uint32_t>& offsets)
{
    std::string rows;
    for (const uint32_t offset : offsets)
        rows += be32(offset);
    return fullBox("stco", be32(static_cast<uint32_t>(offsets.size())) + rows);
}

inline std::string soundTrak(const SoundTrack& track)
{
    std::string entries;
    for (uint32_t i = 0; i < track.descriptions; ++i)
        entries += soundEntry(track);
    const std::string stbl = box("stbl",
        fullBox("stsd", be32(track.descriptions) + entries) + track.stts + stsc(track.runs) + track.stsz +
            (track.chunkOffsets ? stco(track.offsets) : std::string()) + track.extraStbl);
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
// made to fit: one run per distinct chunk length.
inline std::string pcmFile(SoundTrack track, const std::vector<std::string>& chunks, bool movieFirst = false)
{
    const uint32_t frameBytes = std::max<uint32_t>(track.channels * (track.bits / 8), 1);
    if (track.runs.empty() && track.deriveRuns)
        for (size_t i = 0; i < chunks.size(); ++i) {
            const auto samples = static_cast<uint32_t>(chunks[i].size() / frameBytes);
            if (track.runs.empty() || track.runs.back().samplesPerChunk != samples)
                track.runs.push_back({static_cast<uint32_t>(i + 1), samples});
        }
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

} // namespace zuktest::mp4
