// Files for tests: a private temporary folder, sound files written and read
// with libsndfile, and the process's open descriptors.
#pragma once

#include <zuk/zuk.h>

#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace zuktest {

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "zuk-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create a temporary folder");
        root = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return root; }
    std::string file(const std::string& name) const { return (root / name).string(); }

private:
    std::filesystem::path root;
};

// UTF-16 form of a UTF-8 path, for the library's wide-path arguments.
std::u16string wide(const std::string& path);

struct Sound {
    SF_INFO info{};
    std::vector<int16_t> samples; // interleaved, as sf_readf_short gives them
    int64_t frames() const { return info.channels ? static_cast<int64_t>(samples.size()) / info.channels : 0; }
};

// Writes interleaved samples (doubles: -1..1) with the given rate, channels and format.
template <class Sample>
void writeSamples(const std::string& path, int rate, int channels, const std::vector<Sample>& samples, int format,
    sf_count_t (*write)(SNDFILE*, const Sample*, sf_count_t))
{
    SF_INFO info{0, rate, channels, format, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
        throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
    const auto count = static_cast<sf_count_t>(samples.size());
    const bool whole = write(file, samples.data(), count) == count;
    if (sf_close(file) != 0 || !whole)
        throw std::runtime_error("short write to " + path);
}

inline void writeShorts(const std::string& path, int rate, int channels, const std::vector<int16_t>& samples,
    int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16)
{
    writeSamples(path, rate, channels, samples, format, sf_write_short);
}
inline void writeDoubles(
    const std::string& path, int rate, int channels, const std::vector<double>& samples, int format)
{
    writeSamples(path, rate, channels, samples, format, sf_write_double);
}

// Reads the whole file as 16-bit samples, as far as libsndfile can read it.
// Floating-point data is scaled to the full 16-bit range, as the resampler reads it.
inline Sound readShorts(const std::string& path)
{
    Sound sound;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &sound.info);
    if (file == nullptr)
        throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
    const int subformat = sound.info.format & SF_FORMAT_SUBMASK;
    if (subformat == SF_FORMAT_FLOAT || subformat == SF_FORMAT_DOUBLE)
        sf_command(file, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
    std::vector<int16_t> block(4096 * static_cast<size_t>(sound.info.channels));
    sf_count_t got = 0;
    while ((got = sf_readf_short(file, block.data(), 4096)) > 0)
        sound.samples.insert(sound.samples.end(), block.begin(), block.begin() + got * sound.info.channels);
    sf_close(file);
    return sound;
}

// Deterministic test audio: a different tone plus noise in each channel.
inline std::vector<int16_t> testSignal(int64_t frames, int channels, int rate, uint32_t seed = 1)
{
    std::mt19937 noise(seed);
    std::uniform_int_distribution<int> jitter(-3000, 3000);
    std::vector<int16_t> samples;
    for (int64_t f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            const double tone = 24000.0 * std::sin(2.0 * M_PI * (220.0 + 110.0 * c) * static_cast<double>(f) / rate);
            samples.push_back(static_cast<int16_t>(std::lround(tone) + jitter(noise)));
        }
    }
    return samples;
}

// Every frame's channel values as listed, repeated `frames` times.
inline std::vector<int16_t> constantFrames(int64_t frames, const std::vector<int16_t>& frame)
{
    std::vector<int16_t> samples;
    for (int64_t f = 0; f < frames; ++f)
        samples.insert(samples.end(), frame.begin(), frame.end());
    return samples;
}

// The whole content of the file at `path` (empty when it cannot be read).
inline std::string fileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline int openDescriptorCount()
{
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

// While alive, files of this process cannot grow past `bytes`: writes beyond
// fail (EFBIG) as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(uint64_t bytes) : previousHandler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &previous);
        const rlimit limit{bytes, previous.rlim_max};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            throw std::runtime_error("cannot limit the file size");
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    void (*previousHandler)(int);
    rlimit previous{};
};

} // namespace zuktest
