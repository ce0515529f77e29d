// libavformat's AVI muxer, writing a file into a seekable stream of bytes
// that its owner takes, each write at its byte offset.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <variant>

namespace zuk::media {

// A video stream as a VIDEOINFOHEADER describes it.
struct AviVideoFormat {
    uint32_t compression = 0; // FOURCC
    int32_t width = 0;
    int32_t height = 0; // negative: rows top-down
    uint16_t bitsPerPixel = 0;
    uint32_t bitRate = 0;
    int64_t timePerFrame = 0; // 100-ns units, rounded; 0 unknown
    std::span<const uint8_t> codecData;
};

// A sound stream as a WAVEFORMATEX describes it.
struct AviAudioFormat {
    uint16_t formatTag = 0; // WAVE tag: 1 integer PCM, 3 floating-point PCM, others compressed
    uint16_t channels = 0;
    uint32_t samplesPerSecond = 0;
    uint32_t bytesPerSecond = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    std::span<const uint8_t> codecData;
};

using AviStreamFormat = std::variant<AviVideoFormat, AviAudioFormat>;

// Whether an AVI file can hold a stream of this format.
bool aviCanStore(const AviStreamFormat& format);

class AviWriter {
public:
    // Takes `bytes` of the file at byte `offset`; false when it cannot, which
    // fails whatever write caused it.
    using Sink = std::function<bool(std::span<const uint8_t> bytes, int64_t offset)>;

    enum class Result { Ok, OutOfMemory, InvalidArgument, Failed };

    // A muxer with no streams yet, writing into `sink`; null when memory runs out.
    static std::unique_ptr<AviWriter> open(Sink sink);

    virtual ~AviWriter() = default;

    // Adds a stream, in the order of the file's stream headers; its index,
    // or -1 when the file cannot hold it or memory runs out.
    virtual int addStream(const AviStreamFormat& format) = 0;
    // Once every stream is added.
    virtual Result writeHeader() = 0;
    // One buffer of stream `stream`, starting at `start` (100-ns units).
    // Uncompressed sound is timed by the samples before it instead.
    virtual Result writePacket(int stream, const uint8_t* data, long length, int64_t start, bool syncPoint) = 0;
    // Writes what is still interleaved, the index and the final headers.
    virtual Result finish() = 0;
};

} // namespace zuk::media
