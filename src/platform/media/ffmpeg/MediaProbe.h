// What a media file holds, read by libavformat: its streams and their formats.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zuk::media {

// Why a media file could not be opened.
enum class OpenError { None, NotFound, AccessDenied, UnknownFormat, NoDecodableStream, Unreadable };

struct AudioStreamInfo {
    int index = -1;     // stream index in the container
    int sampleRate = 0; // Hz
    int channels = 0;
    int64_t frames = 0;         // the stream's own length in frames at sampleRate; 0 unknown (rule: StreamLength.h)
    uint16_t waveFormatTag = 0; // WAVE_FORMAT tag of the codec, 0 when none fits
    int bitsPerSample = 0;      // of the coded samples: PCM's width, a lossless codec's depth, 0 for lossy codecs
    int blockAlign = 0;         // bytes per block as the container says (PCM: channels * bits / 8)
    int64_t bitRate = 0;        // bits per second, 0 unknown
    bool decodable = false;     // a decoder exists and opens
    std::string codecName;
    std::string channelLayout; // as FFmpeg names it ("stereo", "5.1(side)"), empty when unknown
};

struct VideoStreamInfo {
    int index = -1;
    int width = 0, height = 0;
    int frameRateNumerator = 0, frameRateDenominator = 0; // average frame rate; 0/0 when the container gives none
    double framesPerSecond() const;                       // 0 when unknown
    uint32_t fourcc = 0;   // compression FOURCC as a BITMAPINFOHEADER carries it, 0 when none fits
    int bitsPerPixel = 24; // 24 when unknown
    int64_t bitRate = 0;   // bits per second, 0 unknown
    std::string codecName;
};

struct StreamInfo {
    enum class Kind { Audio, Video, Other } kind = Kind::Other;
    AudioStreamInfo audio;  // meaningful for Kind::Audio
    VideoStreamInfo video;  // meaningful for Kind::Video
    int64_t durationUs = 0; // as the container gives it for this stream; 0 unknown
};

struct MediaProbe {
    std::vector<StreamInfo> streams; // in container order
    int64_t containerDurationUs = 0; // 0 unknown
};

// Opens `path` (UTF-8), reads the stream information and closes it again.
// Empty with `why` set when the file cannot be used: NotFound, AccessDenied,
// UnknownFormat (not a media file), NoDecodableStream (no stream has a
// decoder), Unreadable (any other failure to read it).
std::optional<MediaProbe> probeMedia(const std::string& path, OpenError& why);

// Whether the bytes of `path` are an AC-3 elementary stream (frames one after
// another, no container), by libavformat's probe of its content; its name
// plays no part. An empty file, or one shorter than a whole frame, is not.
bool isAc3Stream(const std::string& path);

} // namespace zuk::media
