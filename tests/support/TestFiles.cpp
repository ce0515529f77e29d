#include "support/TestFiles.h"

#include "platform/WideText.h"

#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace zuktest {

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "zuk-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary folder");
    root = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

std::u16string wide(const std::string& path)
{
    auto text = zuk::utf8ToUtf16(path);
    if (!text)
        throw std::runtime_error("not UTF-8: " + path);
    return *text;
}

namespace {

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

} // namespace

void writeShorts(const std::string& path, int rate, int channels, const std::vector<int16_t>& samples, int format)
{
    writeSamples(path, rate, channels, samples, format, sf_write_short);
}

void writeDoubles(const std::string& path, int rate, int channels, const std::vector<double>& samples, int format)
{
    writeSamples(path, rate, channels, samples, format, sf_write_double);
}

Sound readShorts(const std::string& path)
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

std::vector<int16_t> testSignal(int64_t frames, int channels, int rate, uint32_t seed)
{
    std::mt19937 noise(seed);
    std::uniform_int_distribution<int> jitter(-3000, 3000);
    std::vector<int16_t> samples;
    samples.reserve(static_cast<size_t>(frames * channels));
    for (int64_t f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            const double tone = 24000.0 * std::sin(2.0 * M_PI * (220.0 + 110.0 * c) * static_cast<double>(f) / rate);
            samples.push_back(static_cast<int16_t>(std::lround(tone) + jitter(noise)));
        }
    }
    return samples;
}

std::vector<int16_t> constantFrames(int64_t frames, const std::vector<int16_t>& frame)
{
    std::vector<int16_t> samples;
    for (int64_t f = 0; f < frames; ++f)
        samples.insert(samples.end(), frame.begin(), frame.end());
    return samples;
}

std::string fileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

int openDescriptorCount()
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

FileSizeLimit::FileSizeLimit(uint64_t bytes)
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    previousSoft = limit.rlim_cur;
    limit.rlim_cur = bytes;
    previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        throw std::runtime_error("cannot limit the file size");
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = previousSoft;
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previousHandler);
}

} // namespace zuktest
