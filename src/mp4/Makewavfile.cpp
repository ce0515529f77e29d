#include "mp4/Makewavfile.h"

#include "mp4/ChunkTable.h"
#include "mp4/Mp4Log.h"
#include "mp4/WavStreamInfo.h"
#include "platform/SoundFile.h"

#include <algorithm>
#include <span>
#include <vector>

namespace zuk {

namespace {

// Chunks hold a few kilobytes each and mostly lie close together in the file,
// between those of other tracks, so a seek, a read and a write for each would
// cost more than the copy: the input is read through a window of this size
// and the WAV written in blocks of about this size, whatever the chunks claim
// to hold, so memory stays flat.
constexpr uint64_t kBlockBytes = 1 << 20;

// Reads the input through one window. A read that starts inside the window is
// served from it; any other refills it from where the read starts, with as
// much as the caller expects to want from there.
class WindowReader {
public:
    explicit WindowReader(std::istream& input) : in(input), window(kBlockBytes) { }

    // Fills `out` with the bytes from `position` on; fewer only at the end of
    // the input. A refill reads up to `until`: no less than `out` needs, no
    // more than the window holds.
    size_t read(uint64_t position, std::span<uint8_t> out, uint64_t until)
    {
        size_t done = 0;
        while (done < out.size()) {
            const std::span<uint8_t> rest = out.subspan(done);
            if (!holds(position)) {
                // A read of half a window or more would gain nothing from it.
                if (rest.size() >= window.size() / 2)
                    return done + readAt(position, rest);
                if (!refill(position, std::max<uint64_t>(rest.size(), until > position ? until - position : 0)))
                    break;
            }
            const auto from = static_cast<size_t>(position - start);
            const size_t count = std::min(out.size() - done, filled - from);
            std::ranges::copy(std::span(window).subspan(from, count), out.begin() + static_cast<std::ptrdiff_t>(done));
            done += count;
            position += count;
        }
        return done;
    }

    bool holds(uint64_t position) const { return position >= start && position - start < filled; }

private:
    // Reads `wanted` bytes from `position` into the window, as many as it
    // holds. False when nothing is left to read there.
    bool refill(uint64_t position, uint64_t wanted)
    {
        filled = readAt(position, std::span(window).first(std::min<uint64_t>(wanted, window.size())));
        start = position;
        return filled > 0;
    }

    // The number of bytes read from `position` into `out`, fewer only at the end of the input.
    size_t readAt(uint64_t position, std::span<uint8_t> out)
    {
        in.clear();
        in.seekg(static_cast<std::streamoff>(position));
        in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
        return static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0));
    }

    std::istream& in;
    std::vector<uint8_t> window;
    uint64_t start = 0; // the input position of the window's first byte
    size_t filled = 0;  // bytes of the window read
};

class ChunkCopier {
public:
    ChunkCopier(std::istream& input, SNDFILE* output, const WavStreamInfo& stream)
        : reader(input),
          out(output),
          format(stream.format),
          frameBytes(uint64_t{stream.format.bytesPerSample} * static_cast<uint64_t>(stream.channels)),
          bytes(std::max<uint64_t>(1, kBlockBytes / frameBytes) * frameBytes),
          shorts(bytes.size() / stream.format.bytesPerSample)
    {
    }

    // Copies the first of `chunks`, those after it telling how far to read
    // ahead: 0, -1 when the chunk runs past the end of the input, -7 on a
    // failed write.
    int32_t copy(std::span<const ChunkEntry> chunks)
    {
        const ChunkEntry& chunk = chunks.front();
        uint64_t left = sizeOf(chunk);
        uint64_t position = chunk.position;
        // Worked out only when the window is refilled for the chunk, so the
        // table is walked about once in all.
        const uint64_t until = left == 0 || reader.holds(position) ? position : readAheadEnd(chunks);
        while (left > 0) {
            const uint64_t wanted = std::min<uint64_t>(left, bytes.size());
            const size_t got = reader.read(position, std::span(bytes).first(wanted), until);
            // A partial frame at the end of the input is dropped with the rest.
            if (!add(std::span(bytes).first(got / frameBytes * frameBytes)))
                return writeFailed();
            if (got < wanted) {
                // What was read goes out first, as a write failing there fails the copy.
                if (!flush())
                    return writeFailed();
                mp4Log("Chunk runs past the end of the file, audio is incomplete\n");
                return ZUK_E_OPEN;
            }
            left -= wanted;
            position += wanted;
        }
        return ZUK_OK;
    }

    // Writes the samples still held: 0, or -7 (logged).
    int32_t finish() { return flush() ? ZUK_OK : writeFailed(); }

private:
    uint64_t sizeOf(const ChunkEntry& chunk) const { return uint64_t{chunk.samples} * frameBytes; }

    // Where a read for the first of `chunks` had best end: with the chunks
    // after it, as long as each starts no further past the end of the one
    // before than its own size, and all lie within a window of the first.
    // Beside the track's chunks, such a read takes in no more bytes of others
    // than of its own, and saves a seek and a read for each.
    uint64_t readAheadEnd(std::span<const ChunkEntry> chunks) const
    {
        const uint64_t first = chunks.front().position;
        uint64_t end = first + sizeOf(chunks.front());
        for (const ChunkEntry& next : chunks.subspan(1)) {
            const uint64_t size = sizeOf(next);
            if (next.position < end || next.position - end > size || next.position + size - first > kBlockBytes)
                break;
            end = next.position + size;
        }
        return end;
    }

    // Converts the whole frames of `frames` behind the samples held, writing
    // those out first when there is no room for them.
    bool add(std::span<const uint8_t> frames)
    {
        if (held + frames.size() / format.bytesPerSample > shorts.size() && !flush())
            return false;
        held += toShorts(frames, format, std::span(shorts).subspan(held));
        return true;
    }

    bool flush()
    {
        const auto count = static_cast<sf_count_t>(held);
        held = 0;
        return sf_write_short(out, shorts.data(), count) == count;
    }

    static int32_t writeFailed()
    {
        mp4Log("Error writing sound file\n");
        return ZUK_E_WRITE;
    }

    WindowReader reader;
    SNDFILE* out;
    PcmFormat format;
    uint64_t frameBytes;
    std::vector<uint8_t> bytes;
    std::vector<int16_t> shorts;
    size_t held = 0; // samples converted and not yet written
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
    int32_t result = ZUK_OK;
    for (size_t at = 0; at < chunks->size() && result == ZUK_OK; ++at)
        result = copier.copy(std::span(*chunks).subspan(at));
    if (result == ZUK_OK)
        result = copier.finish();
    if (result != ZUK_OK) {
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
