// The media files made by tests/fixtures/make-fixtures.sh, and the ffmpeg
// command line's decode of them to compare with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zuktest {

// Path of the fixture `name` (e.g. "mov-aac.mov"). Throws std::runtime_error
// saying how to make the fixtures when it is missing.
std::string mediaFixture(const std::string& name);

// What `ffmpeg -i PATH -map 0:a:N -f s16le -acodec pcm_s16le -` writes:
// audio stream N of the file as interleaved signed 16-bit samples. Throws
// std::runtime_error when ffmpeg cannot be run or fails.
std::vector<int16_t> ffmpegDecode(const std::string& path, int audioStream = 0);

// The same resampled to `rate` Hz and mixed to `channels`, as the ffmpeg
// command line does it (-ar RATE -ac CHANNELS).
std::vector<int16_t> ffmpegDecodeAt(const std::string& path, int rate, int channels, int audioStream = 0);

// "TYPE:CODEC" of every stream of the file, in container order, as ffprobe
// sees them ("video:mpeg4", "audio:pcm_s16le").
std::vector<std::string> ffprobeStreams(const std::string& path);

// The MD5 of the packets of the streams `map` selects ("0:v"), copied
// without decoding: equal for two files that carry the same coded data.
std::string ffmpegPacketHash(const std::string& path, const std::string& map);

// `text` quoted for the shell.
std::string shellQuoted(const std::string& text);

// What `command` (its first word found on PATH, e.g. ffprobe) writes to
// stdout. Throws std::runtime_error when it cannot be run or fails.
std::string commandOutput(const std::vector<std::string>& command);

// Pearson correlation of two equally long sample runs; 0 when either is flat.
double correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b);

} // namespace zuktest
