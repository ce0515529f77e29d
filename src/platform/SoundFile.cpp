#include "platform/SoundFile.h"

#include "platform/WideText.h"

#include <fcntl.h>

#include <cstdint>
#include <mutex>

namespace zuk {

namespace {

// Room for everything a header counts besides the samples: more than any
// WAV, WAVEX or AIFF header libsndfile writes.
constexpr uint64_t kHeaderRoom = 1024;
// The most sample bytes a header with 32-bit sizes can count.
constexpr uint64_t kLargest32BitData = UINT32_MAX - kHeaderRoom;

uint64_t bytesPerSample(int format)
{
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
        return 1;
    case SF_FORMAT_PCM_24:
        return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
        return 4;
    case SF_FORMAT_DOUBLE:
        return 8;
    default: // 16-bit PCM, and the codecs that pack a sample into fewer bits
        return 2;
    }
}

bool fits32BitSizes(int format, int channels, int64_t frames)
{
    if (frames <= 0 || channels <= 0)
        return true;
    const uint64_t frameBytes = bytesPerSample(format) * static_cast<uint64_t>(channels);
    return static_cast<uint64_t>(frames) <= kLargest32BitData / frameBytes;
}

} // namespace

int formatHolding(int format, int channels, int64_t frames)
{
    const int major = format & SF_FORMAT_TYPEMASK;
    const bool sized32 = major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_AIFF;
    if (!sized32 || fits32BitSizes(format, channels, frames))
        return format;
    return major == SF_FORMAT_AIFF ? 0 : (format & ~SF_FORMAT_TYPEMASK) | SF_FORMAT_RF64;
}

SoundFilePtr openSoundFile(const zuk_char* path, int mode, SF_INFO& info)
{
    const auto name = pathFromWide(path);
    if (!name)
        return nullptr;
    // Opened here with libsndfile's own flags and permissions, outside the
    // lock below, so that an open that waits (a FIFO) holds up no other.
    const int flags = mode == SFM_READ ? O_RDONLY : mode == SFM_WRITE ? O_WRONLY | O_CREAT | O_TRUNC : O_RDWR | O_CREAT;
    const int descriptor = ::open(name->c_str(), flags | O_CLOEXEC, 0644);
    if (descriptor < 0)
        return nullptr;
    // libsndfile keeps the error of a failed open in globals of its own, so
    // opens on several threads at once (a batch's workers) would race there.
    static std::mutex opening;
    const std::lock_guard guard(opening);
    return SoundFilePtr(sf_open_fd(descriptor, mode, &info, SF_TRUE));
}

SoundFilePtr createPcm16Wav(const zuk_char* path, int rate, int channels, int64_t frames, SF_INFO& info)
{
    info = SF_INFO{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = formatHolding(SF_FORMAT_WAV | SF_FORMAT_PCM_16, channels, frames);
    return openSoundFile(path, SFM_WRITE, info);
}

bool closeSoundFile(SoundFilePtr& file)
{
    if (!file)
        return true;
    SF_INFO written{};
    sf_command(file.get(), SFC_GET_CURRENT_SF_INFO, &written, sizeof written);
    const bool fits = formatHolding(written.format, written.channels, written.frames) == written.format;
    return sf_close(file.release()) == 0 && fits;
}

} // namespace zuk
