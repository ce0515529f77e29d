#include "support/MediaFixtures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

namespace zuktest {

std::string mediaFixture(const std::string& name)
{
    const std::filesystem::path path = std::filesystem::path(ZUK_MEDIA_DIR) / name;
    if (!std::filesystem::is_regular_file(path))
        throw std::runtime_error("media fixture " + path.string() +
            " is missing: run ctest, or tests/fixtures/make-fixtures.sh " ZUK_MEDIA_DIR);
    return path.string();
}

std::string shellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string commandOutput(const std::vector<std::string>& command)
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

namespace {

std::vector<int16_t> ffmpegDecodeWith(const std::string& path, int audioStream, const std::vector<std::string>& format)
{
    std::vector<std::string> command{
        "ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:a:" + std::to_string(audioStream)};
    command.insert(command.end(), format.begin(), format.end());
    command.insert(command.end(), {"-f", "s16le", "-acodec", "pcm_s16le", "-"});
    const std::string bytes = commandOutput(command);
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(
            static_cast<uint8_t>(bytes[2 * i]) | static_cast<uint16_t>(static_cast<uint8_t>(bytes[2 * i + 1])) << 8);
    return samples;
}

} // namespace

std::vector<int16_t> ffmpegDecode(const std::string& path, int audioStream)
{
    return ffmpegDecodeWith(path, audioStream, {});
}

std::vector<int16_t> ffmpegDecodeAt(const std::string& path, int rate, int channels, int audioStream)
{
    return ffmpegDecodeWith(path, audioStream, {"-ar", std::to_string(rate), "-ac", std::to_string(channels)});
}

std::vector<std::string> ffprobeStreams(const std::string& path)
{
    const std::string bytes = commandOutput(
        {"ffprobe", "-v", "error", "-show_entries", "stream=codec_type,codec_name", "-of", "csv=p=0", path});
    std::vector<std::string> streams;
    std::string line;
    for (const char c : bytes) {
        if (c != '\n') {
            line += c;
            continue;
        }
        // csv gives "codec_name,codec_type".
        const size_t comma = line.find(',');
        if (comma != std::string::npos)
            streams.push_back(line.substr(comma + 1) + ":" + line.substr(0, comma));
        line.clear();
    }
    return streams;
}

std::string ffmpegPacketHash(const std::string& path, const std::string& map)
{
    return commandOutput({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", map, "-c", "copy", "-f", "hash",
        "-hash", "md5", "-"});
}

double correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b)
{
    const size_t n = std::min(a.size(), b.size());
    if (n == 0)
        return 0.0;
    double meanA = 0, meanB = 0;
    for (size_t i = 0; i < n; ++i) {
        meanA += a[i];
        meanB += b[i];
    }
    meanA /= static_cast<double>(n);
    meanB /= static_cast<double>(n);
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < n; ++i) {
        const double x = a[i] - meanA;
        const double y = b[i] - meanB;
        ab += x * y;
        aa += x * x;
        bb += y * y;
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0.0;
}

} // namespace zuktest
