#include "support/MediaFixtures.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <stdexcept>

extern char** environ;

namespace zuktest {

std::string mediaFixture(const std::string& name)
{
    const std::filesystem::path path = std::filesystem::path(ZUK_MEDIA_DIR) / name;
    if (!std::filesystem::is_regular_file(path))
        throw std::runtime_error("media fixture " + path.string() +
                                 " is missing: run ctest, or tests/fixtures/make-fixtures.sh " ZUK_MEDIA_DIR);
    return path.string();
}

namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int descriptor = -1) : fd(descriptor) {}
    ~Descriptor() { close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd; }
    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }

private:
    int fd;
};

std::vector<char> readAll(int fd)
{
    std::vector<char> bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got > 0)
            bytes.insert(bytes.end(), buffer, buffer + got);
        else if (got == 0 || errno != EINTR)
            return bytes;
    }
}

// Runs `arguments` (found on PATH) and returns what it wrote to stdout.
std::vector<char> runForOutput(const std::vector<std::string>& arguments)
{
    int ends[2];
    if (pipe(ends) != 0)
        throw std::runtime_error("cannot make a pipe");
    Descriptor readEnd(ends[0]);
    Descriptor writeEnd(ends[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, readEnd.get());
    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("cannot run " + arguments[0]);
    writeEnd.close();
    std::vector<char> output = readAll(readEnd.get());
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    {
        std::string command;
        for (const auto& argument : arguments)
            command += (command.empty() ? "" : " ") + argument;
        throw std::runtime_error("failed: " + command);
    }
    return output;
}

} // namespace

namespace {

std::vector<int16_t> ffmpegDecodeWith(const std::string& path, int audioStream, const std::vector<std::string>& format)
{
    std::vector<std::string> command{"ffmpeg", "-nostdin", "-v", "error", "-i", path,
                                     "-map", "0:a:" + std::to_string(audioStream)};
    command.insert(command.end(), format.begin(), format.end());
    command.insert(command.end(), {"-f", "s16le", "-acodec", "pcm_s16le", "-"});
    const std::vector<char> bytes = runForOutput(command);
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                          static_cast<uint16_t>(static_cast<uint8_t>(bytes[2 * i + 1])) << 8);
    return samples;
}

} // namespace

std::string commandOutput(const std::vector<std::string>& command)
{
    const std::vector<char> bytes = runForOutput(command);
    return std::string(bytes.begin(), bytes.end());
}

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
    const std::vector<char> bytes = runForOutput({"ffprobe", "-v", "error", "-show_entries",
                                                  "stream=codec_type,codec_name", "-of", "csv=p=0", path});
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
