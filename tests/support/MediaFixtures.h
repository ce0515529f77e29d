// The media files made by tests/fixtures/make-fixtures.sh, and the ffmpeg
// command line's decode of them to compare with.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace zuktest {

// Path of the fixture `name` (e.g. "mov-aac.mov"). Throws std::runtime_error
// saying how to make the fixtures when it is missing.
inline std::string mediaFixture(const std::string& name)
{
    const std::filesystem::path path = std::filesystem::path(ZUK_MEDIA_DIR) / name;
    if (!std::filesystem::is_regular_file(path))
        throw std::runtime_error("media fixture " + path.string() +
            " is missing: run ctest, or tests/fixtures/make-fixtures.sh " ZUK_MEDIA_DIR);
    return path.string();
}

inline std::string shellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// What `command` (its first word found on PATH, e.g. ffprobe) writes to
// stdout. Throws std::runtime_error when it cannot be run or fails.
inline std::string commandOutput(const std::vector<std::string>& command)
{
    std::string line;
    for (const auto& argument : command)
        line += shellQuoted(argument) + " ";
    FILE* pipe = popen(line.c_str(), "r");
    if (pipe == nullptr)
        throw std::runtime_error("cannot run " + line);
    std::string output;
    char buffer[65536];
    for (size_t got = 0; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, got);
    if (pclose(pipe) != 0)
        throw std::runtime_error("failed: " + line);
    return output;
}

// Audio stream N of the file as `ffmpeg -map 0:a:N -ar RATE -ac CHANNELS` decodes
// it to interleaved 16-bit samples (rate 0: the stream's own). Throws
// std::runtime_error when ffmpeg cannot be run or fails.
inline std::vector<int16_t> ffmpegDecodeAt(const std::string& path, int rate, int channels, int audioStream = 0)
{
    std::vector<std::string> command{
        "ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:a:" + std::to_string(audioStream)};
    if (rate > 0)
        command.insert(command.end(), {"-ar", std::to_string(rate), "-ac", std::to_string(channels)});
    command.insert(command.end(), {"-f", "s16le", "-acodec", "pcm_s16le", "-"});
    const std::string bytes = commandOutput(command);
    std::vector<int16_t> samples(bytes.size() / 2); // little-endian, as this machine
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// The same at the stream's own rate and channels.
inline std::vector<int16_t> ffmpegDecode(const std::string& path, int audioStream = 0)
{
    return ffmpegDecodeAt(path, 0, 0, audioStream);
}

// "TYPE:CODEC" of every stream of the file, in container order, as ffprobe
// sees them ("video:mpeg4", "audio:pcm_s16le").
inline std::vector<std::string> ffprobeStreams(const std::string& path)
{
    std::istringstream lines(commandOutput(
        {"ffprobe", "-v", "error", "-show_entries", "stream=codec_type,codec_name", "-of", "csv=p=0", path}));
    std::vector<std::string> streams;
    for (std::string line; std::getline(lines, line);) {
        const size_t comma = line.find(','); // "codec_name,codec_type"
        if (comma != std::string::npos)
            streams.push_back(line.substr(comma + 1) + ":" + line.substr(0, comma));
    }
    return streams;
}

// The MD5 of the packets of the streams `map` selects ("0:v"), copied
// without decoding: equal for two files that carry the same coded data.
inline std::string ffmpegPacketHash(const std::string& path, const std::string& map)
{
    return commandOutput({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", map, "-c", "copy", "-f", "hash",
        "-hash", "md5", "-"});
}

// Pearson correlation of two equally long sample runs; 0 when either is flat.
inline double correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b)
{
    const size_t n = std::min(a.size(), b.size());
    const double meanA = std::accumulate(a.begin(), a.begin() + n, 0.0) / static_cast<double>(n);
    const double meanB = std::accumulate(b.begin(), b.begin() + n, 0.0) / static_cast<double>(n);
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < n; ++i) {
        ab += (a[i] - meanA) * (b[i] - meanB);
        aa += (a[i] - meanA) * (a[i] - meanA);
        bb += (b[i] - meanB) * (b[i] - meanB);
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
}

} // namespace zuktest
