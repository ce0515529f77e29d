// Files for tests: a private temporary folder, sound files written and read
// with libsndfile, and the process's open descriptors.
#pragma once

#include <zuk/zuk.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zuktest {

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
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

// Writes interleaved 16-bit samples with the given rate, channels and format.
void writeShorts(const std::string& path, int rate, int channels, const std::vector<int16_t>& samples,
    int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16);
// Writes interleaved doubles (-1..1) in the given format.
void writeDoubles(const std::string& path, int rate, int channels, const std::vector<double>& samples, int format);

// Reads the whole file as 16-bit samples, as far as libsndfile can read it.
// Floating-point data is scaled to the full 16-bit range, as the resampler reads it.
Sound readShorts(const std::string& path);

// Deterministic test audio: a different tone plus noise in each channel.
std::vector<int16_t> testSignal(int64_t frames, int channels, int rate, uint32_t seed = 1);

// Every frame's channel values as listed, repeated `frames` times.
std::vector<int16_t> constantFrames(int64_t frames, const std::vector<int16_t>& frame);

// The whole content of the file at `path` (empty when it cannot be read).
std::string fileBytes(const std::string& path);

// Number of file descriptors this process has open.
int openDescriptorCount();

// While alive, files of this process cannot grow past `bytes`: writes beyond
// fail (EFBIG) as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(uint64_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    uint64_t previousSoft;
    void (*previousHandler)(int);
};

} // namespace zuktest
