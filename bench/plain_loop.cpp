// plain_loop IN OUT: the I/O floor for resampling. Reads IN with libsndfile,
// folds each frame to mono and writes a 16-bit PCM WAV at IN's own rate.
// No resampling: whatever zuk spends beyond this is its own work.

#include <sndfile.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SoundFile = std::unique_ptr<SNDFILE, SndfileCloser>;

constexpr sf_count_t kBlockFrames = 10240;

SoundFile openOrThrow(const char* path, int mode, SF_INFO& info)
{
    SoundFile file{sf_open(path, mode, &info)};
    if (!file)
        throw std::runtime_error(std::string("cannot open ") + path + ": " + sf_strerror(nullptr));
    return file;
}

void run(const char* inPath, const char* outPath)
{
    SF_INFO inInfo{};
    SoundFile in = openOrThrow(inPath, SFM_READ, inInfo);
    if (inInfo.channels < 1)
        throw std::runtime_error(std::string(inPath) + " has no channels");

    SF_INFO outInfo{};
    outInfo.samplerate = inInfo.samplerate;
    outInfo.channels = 1;
    outInfo.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SoundFile out = openOrThrow(outPath, SFM_WRITE, outInfo);

    const auto channels = static_cast<size_t>(inInfo.channels);
    std::vector<short> interleaved(static_cast<size_t>(kBlockFrames) * channels);
    std::vector<short> mono(static_cast<size_t>(kBlockFrames));
    for (;;) {
        const sf_count_t got = sf_readf_short(in.get(), interleaved.data(), kBlockFrames);
        if (got < 0 || sf_error(in.get()) != SF_ERR_NO_ERROR)
            throw std::runtime_error(std::string("reading ") + inPath + ": " + sf_strerror(in.get()));
        if (got == 0)
            break;
        for (sf_count_t frame = 0; frame < got; ++frame) {
            const short* samples = interleaved.data() + static_cast<size_t>(frame) * channels;
            long sum = 0;
            for (size_t c = 0; c < channels; ++c)
                sum += samples[c];
            mono[static_cast<size_t>(frame)] = static_cast<short>(sum / static_cast<long>(channels));
        }
        if (sf_writef_short(out.get(), mono.data(), got) != got)
            throw std::runtime_error(std::string("writing ") + outPath + ": " + sf_strerror(out.get()));
    }

    // Closing writes the final header; a failure there means a broken file.
    if (sf_close(out.release()) != 0)
        throw std::runtime_error(std::string("closing ") + outPath + " failed");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: plain_loop IN OUT\n");
        return 2;
    }
    try {
        run(argv[1], argv[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "plain_loop: %s\n", error.what());
        return 1;
    }
    return 0;
}
