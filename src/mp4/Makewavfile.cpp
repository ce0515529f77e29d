#include "mp4/Makewavfile.h"

#include "mp4/ChunkTable.h"
#include "mp4/Mp4Log.h"
#include "mp4/WavStreamInfo.h"
#include "platform/SoundFile.h"

#include <algorithm>
#include <vector>

namespace zuk {

namespace {

// Chunks are copied through a buffer of about this size, whatever they
// claim to hold, so memory stays flat.
constexpr uint64_t kBlockBytes = 1 << 20;

class ChunkCopier {
public:
    ChunkCopier(std::istream& input, SNDFILE* output, const WavStreamInfo& stream)
        : in(input),
          out(output),
          format(stream.format),
          frameBytes(uint64_t{stream.format.bytesPerSample} * static_cast<uint64_t>(stream.channels)),
          bytes(std::max<uint64_t>(1, kBlockBytes / frameBytes) * frameBytes),
          shorts(bytes.size())
    {
    }

    // 0, -1 when the chunk runs past the end of the input, -7 on a failed write.
    int32_t copy(const ChunkEntry& chunk)
    {
        uint64_t left = uint64_t{chunk.samples} * frameBytes;
        in.clear();
        in.seekg(static_cast<std::streamoff>(chunk.position));
        while (left > 0) {
            const uint64_t wanted = std::min<uint64_t>(left, bytes.size());
            in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(wanted));
            const auto got = static_cast<uint64_t>(std::max<std::streamsize>(in.gcount(), 0));
            // A partial frame at the end of the input is dropped with the rest.
            const size_t count = toShorts(std::span(bytes).first(got / frameBytes * frameBytes), format, shorts);
            if (sf_write_short(out, shorts.data(), static_cast<sf_count_t>(count)) != static_cast<sf_count_t>(count)) {
                mp4Log("Error writing sound file\n");
                return ZUK_E_WRITE;
            }
            if (got < wanted) {
                mp4Log("Chunk runs past the end of the file, audio is incomplete\n");
                return ZUK_E_OPEN;
            }
            left -= wanted;
        }
        return ZUK_OK;
    }

private:
    std::istream& in;
    SNDFILE* out;
    PcmFormat format;
    uint64_t frameBytes;
    std::vector<uint8_t> bytes;
    std::vector<int16_t> shorts;
};

// The log line for the first table of the track that states more rows than
// its box holds, or null when none does. The rows it lacks would leave chunks
// or samples without an offset or a count, and the copy would be cut short.
const char* shortTableLine(const AudioTrackBoxes& track)
{
    if (track.stco != nullptr && track.stco->chunk_offset.size() < track.stco->entry_count)
        return "Chunk offset table holds fewer rows than its count\n";
    if (track.stsc != nullptr && track.stsc->rows.size() < track.stsc->entry_count)
        return "Sample-to-chunk table holds fewer rows than its count\n";
    if (track.stsz != nullptr && track.stsz->sample_size == 0 &&
        track.stsz->entry_size.size() < track.stsz->sample_count)
        return "Sample size table holds fewer rows than its count\n";
    return nullptr;
}

// The chunk table of the track, or nothing (logged) when it has none.
std::optional<std::vector<ChunkEntry>> chunksOf(const AudioTrackBoxes& track, uint64_t base)
{
    if (track.stco == nullptr && track.stbl != nullptr && findChildBox(*track.stbl, "co64") != nullptr) {
        mp4Log("64-bit chunk offsets are not supported\n");
        return std::nullopt;
    }
    if (track.stco == nullptr || track.stsc == nullptr) {
        mp4Log("Sample table lacks chunk offsets or sample-to-chunk runs\n");
        return std::nullopt;
    }
    if (const char* line = shortTableLine(track)) {
        mp4Log(line);
        return std::nullopt;
    }
    mp4Log("Constructing Offset Table\n");
    return buildChunkTable(track.stsc->rows, track.stco->chunk_offset, base);
}

// The frames the chunks hold together, as far as int64 counts.
int64_t framesIn(const std::vector<ChunkEntry>& chunks)
{
    uint64_t frames = 0;
    for (const ChunkEntry& chunk : chunks)
        frames = std::min<uint64_t>(frames + chunk.samples, INT64_MAX);
    return static_cast<int64_t>(frames);
}

} // namespace

int32_t Makewavfile(const zuk_char* output, const AudioTrackBoxes& track, std::istream& in, uint64_t base)
{
    mp4Log("In Makewavfile\n");
    WavStreamInfo stream;
    if (getWavStreamInfo(track, stream) != 0) {
        mp4Log("Error getting wav stream information\n");
        return ZUK_E_OPEN;
    }
    const auto chunks = chunksOf(track, base);
    if (!chunks)
        return ZUK_E_OPEN;

    SF_INFO info{};
    SoundFilePtr wav = createPcm16Wav(output, stream.sampleRate, stream.channels, framesIn(*chunks), info);
    if (!wav) {
        mp4Log("Error opening sound file for writing\n");
        return ZUK_E_EXTRACT;
    }
    mp4Log("Writing Audio File\n");
    ChunkCopier copier(in, wav.get(), stream);
    for (const ChunkEntry& chunk : *chunks)
        if (const int32_t result = copier.copy(chunk); result != ZUK_OK) {
            closeSoundFile(wav); // what was copied stays readable
            return result;
        }
    if (!closeSoundFile(wav)) {
        mp4Log("Error writing sound file\n");
        return ZUK_E_WRITE;
    }
    mp4Log("Finished\n");
    return ZUK_OK;
}

} // namespace zuk
