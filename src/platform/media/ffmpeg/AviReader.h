// The streams and packets of an AVI file as the file stores them, read with
// libavformat's AVI demuxer; nothing is decoded.
#pragma once

#include "platform/media/ffmpeg/MediaProbe.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zuk::media {

// A stream as its stream header describes it: the FOURCC and WAVE tag are
// the file's own, not the ones usual for the codec.
struct StoredStream {
    StreamInfo::Kind kind = StreamInfo::Kind::Other;
    VideoStreamInfo video;              // for Kind::Video
    AudioStreamInfo audio;              // for Kind::Audio; waveFormatTag: the low 16 bits of codecTag
    uint32_t codecTag = 0;              // as stored, which may be wider than a WAVE tag
    std::span<const uint8_t> codecData; // the codec's own data, valid while the reader lives
};

struct StoredPacket {
    int stream = -1;               // the stream's index as the file gives it (not checked)
    std::span<const uint8_t> data; // valid until the reader's next call
    std::optional<int64_t> start;  // from the start of its stream in 100-ns units; nothing when the file does not say
    bool keyFrame = false;
};

class AviReader {
public:
    // Null with `why` set when `path` cannot be opened and read as an AVI file.
    static std::unique_ptr<AviReader> open(const std::string& path, OpenError& why);

    virtual ~AviReader() = default;

    // One per stream of the file, in file order.
    virtual const std::vector<StoredStream>& streams() const = 0;

    enum class Status { Packet, End, OutOfMemory, Unreadable };
    // The next packet of the file, of whichever stream comes next.
    virtual Status next(StoredPacket& packet) = 0;
};

} // namespace zuk::media
