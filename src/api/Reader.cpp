// The dsax reader for C hosts: a handle that owns its dsax record, keeps its
// own read position, and turns every thrown failure into a code and a text.
#include "api/HostText.h"
#include "dsax/OpenWithoutCom.h"
#include "platform/WideText.h"
#include "platform/com/ErrorText.h"
#include "platform/media/MediaInterfaces.h"

#include <zuk/dsax.h>
#include <zuk/reader.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <string_view>

namespace {

constexpr int32_t kRate = 48000;
constexpr double kUnitsPerSecond = 1e7; // dsax times are in 100-ns units
constexpr int64_t kChunkFrames = 16384; // of a float read, converted from 16-bit values

// A bad argument from the host: the call fails with ZUK_E_OPEN.
struct BadArgument {
    const char* reason;
};

// The open's code for one of dsax's texts: those that say the file is not
// there, not a file or not readable are the host's to mend; anything else is
// a file that nothing here decodes.
int32_t openCodeFor(std::string_view reason)
{
    for (const std::string_view text : {"Invalid file name", "Not a regular file", "Out of memory"})
        if (reason == text)
            return ZUK_E_OPEN;
    for (const HRESULT code : {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND),
             E_ACCESSDENIED, E_OUTOFMEMORY})
        if (reason == DXGetErrorDescriptionA(code))
            return ZUK_E_OPEN;
    return ZUK_E_UNSUPPORTED;
}

int64_t framesFromUnits(double units)
{
    return static_cast<int64_t>(units / kUnitsPerSecond * kRate);
}

// `value` as a 64-bit count of 100-ns units, kept within range.
int64_t clampedUnits(double value)
{
    constexpr double limit = 9.2e18;
    return static_cast<int64_t>(std::clamp(value, -limit, limit));
}

} // namespace

struct zuk_reader {
    dsax::DSAX_MEDIA_INFO* media = nullptr;
    int64_t position = 0; // the frame the next read starts at
    std::string error;

    explicit zuk_reader(dsax::DSAX_MEDIA_INFO* record) : media(record) { }
    zuk_reader(const zuk_reader&) = delete;
    zuk_reader& operator=(const zuk_reader&) = delete;
    ~zuk_reader() { dsax::dsax_close(&media); }

    uint32_t handle() const { return media->handle; }

    // Runs `body`; a throw becomes `failure` (ZUK_E_OPEN for a bad argument)
    // with its text kept for zuk_reader_error.
    template <class Body>
    int64_t guarded(int32_t failure, Body&& body) noexcept
    {
        try {
            error.clear();
            return body();
        } catch (const BadArgument& bad) {
            return failed(ZUK_E_OPEN, bad.reason);
        } catch (const std::bad_alloc&) {
            return failed(failure, "Out of memory");
        } catch (const std::exception& thrown) {
            return failed(failure, thrown.what());
        } catch (...) {
            return failed(failure, "Unknown failure");
        }
    }

    int64_t failed(int32_t code, const char* reason) noexcept
    {
        try {
            error = reason;
        } catch (...) {
            error.clear();
        }
        return code;
    }

    int64_t readS16(int16_t* buffer, int64_t frames, int32_t channels)
    {
        const auto read = channels == 1 ? dsax::dsax_read_short : dsax::dsax_read_short_stereo;
        const int64_t delivered = read(handle(), buffer, frames, nullptr);
        position += delivered;
        return delivered;
    }

    // Reads through a bounded 16-bit buffer, so that any count needs no more memory.
    int64_t readF32(float* buffer, int64_t frames, int32_t channels)
    {
        std::array<int16_t, 2 * kChunkFrames> chunk;
        int64_t total = 0;
        while (total < frames) {
            const int64_t wanted = std::min(kChunkFrames, frames - total);
            const int64_t delivered = readS16(chunk.data(), wanted, channels);
            std::transform(chunk.begin(), chunk.begin() + delivered * channels, buffer + total * channels,
                [](int16_t value) { return static_cast<float>(value) / 32768.0f; });
            total += delivered;
            if (delivered < wanted)
                break;
        }
        return total;
    }

    // Seeks from the start for "from current": dsax counts that from the
    // graph's position, which runs ahead of the frames handed out.
    int64_t seekFrame(int64_t frame, int32_t whence)
    {
        if (whence == ZUK_FROM_CURRENT) {
            frame = frame > std::numeric_limits<int64_t>::max() - position ? std::numeric_limits<int64_t>::max()
                                                                           : position + frame;
            whence = ZUK_FROM_START;
        }
        position = dsax::dsax_seek_samp(handle(), frame, whence);
        return position;
    }

    int64_t seekSeconds(double seconds, int32_t whence)
    {
        if (!std::isfinite(seconds))
            throw BadArgument{"The time is not a finite number of seconds"};
        double units = seconds * kUnitsPerSecond;
        if (whence == ZUK_FROM_CURRENT) {
            units += static_cast<double>(position) / kRate * kUnitsPerSecond;
            whence = ZUK_FROM_START;
        }
        position = framesFromUnits(static_cast<double>(dsax::dsax_seek_nsec(handle(), clampedUnits(units), whence)));
        return position;
    }
};

namespace {

void checkRead(const void* buffer, int64_t frames, int32_t channels)
{
    if (channels != 1 && channels != 2)
        throw BadArgument{"Channels must be 1 or 2"};
    if (frames < 0 || (buffer == nullptr && frames > 0))
        throw BadArgument{"No buffer, or a negative count of frames"};
}

void checkWhence(int32_t whence)
{
    if (whence != ZUK_FROM_START && whence != ZUK_FROM_CURRENT && whence != ZUK_FROM_END)
        throw BadArgument{"Unknown origin of the seek"};
}

// Opens without touching COM on this thread, so that the reader can be used
// and closed on any other.
int32_t openReader(const zuk_char* path, zuk_reader*& reader, std::string& reason)
{
    if (path == nullptr) {
        reason = "Invalid file name";
        return ZUK_E_OPEN;
    }
    dsax::dsax_init();
    try {
        auto opened = std::make_unique<zuk_reader>(dsax::dsax_open_no_coinit(path));
        if (opened->media->audio_format == nullptr) {
            reason = "The file holds no sound";
            return ZUK_E_NO_SAMPLES;
        }
        reader = opened.release();
        return ZUK_OK;
    } catch (const std::bad_alloc&) {
        reason = "Out of memory";
        return ZUK_E_OPEN;
    } catch (const std::exception& error) {
        reason = error.what();
        return openCodeFor(reason);
    }
}

int32_t openReporting(const zuk_char* path, zuk_reader** reader, char* reason, size_t reasonSize) noexcept
{
    try {
        if (reader == nullptr) {
            zuk::copyCutToFit("No place for the reader", reason, reasonSize);
            return ZUK_E_OPEN;
        }
        *reader = nullptr;
        std::string why;
        const int32_t code = openReader(path, *reader, why);
        zuk::copyCutToFit(why, reason, reasonSize);
        return code;
    } catch (...) {
        zuk::copyCutToFit("Out of memory", reason, reasonSize);
        return ZUK_E_OPEN;
    }
}

} // namespace

extern "C" ZUK_API int32_t zuk_reader_open(const char* path, zuk_reader** reader, char* reason, size_t reason_size)
{
    try {
        if (path == nullptr)
            return openReporting(nullptr, reader, reason, reason_size);
        // Any bytes name a file: those that are not UTF-8 travel escaped.
        const std::u16string wide = zuk::wideFromPath(path);
        return openReporting(wide.c_str(), reader, reason, reason_size);
    } catch (...) {
        if (reader != nullptr)
            *reader = nullptr;
        zuk::copyCutToFit("Out of memory", reason, reason_size);
        return ZUK_E_OPEN;
    }
}

extern "C" ZUK_API int32_t zuk_reader_open_wide(
    const zuk_char* path, zuk_reader** reader, char* reason, size_t reason_size)
{
    return openReporting(path, reader, reason, reason_size);
}

extern "C" ZUK_API int32_t zuk_reader_info_of(const zuk_reader* reader, zuk_reader_info* info)
{
    if (reader == nullptr || info == nullptr)
        return ZUK_E_OPEN;
    const dsax::DSAX_MEDIA_INFO& media = *reader->media;
    info->rate = kRate;
    WAVEFORMATEX format{};
    std::memcpy(&format, media.audio_format, sizeof format);
    info->channels = format.nChannels;
    info->frames = framesFromUnits(static_cast<double>(media.duration));
    info->frame_rate = media.frame_rate;
    info->duration = static_cast<double>(media.duration) / kUnitsPerSecond;
    return ZUK_OK;
}

extern "C" ZUK_API int64_t zuk_reader_read_s16(zuk_reader* reader, int16_t* buffer, int64_t frames, int32_t channels)
{
    if (reader == nullptr)
        return ZUK_E_OPEN;
    return reader->guarded(ZUK_E_EXTRACT, [&]() -> int64_t {
        checkRead(buffer, frames, channels);
        return frames == 0 ? 0 : reader->readS16(buffer, frames, channels);
    });
}

extern "C" ZUK_API int64_t zuk_reader_read_f32(zuk_reader* reader, float* buffer, int64_t frames, int32_t channels)
{
    if (reader == nullptr)
        return ZUK_E_OPEN;
    return reader->guarded(ZUK_E_EXTRACT, [&]() -> int64_t {
        checkRead(buffer, frames, channels);
        return reader->readF32(buffer, frames, channels);
    });
}

extern "C" ZUK_API int64_t zuk_reader_seek_frame(zuk_reader* reader, int64_t frame, int32_t whence)
{
    if (reader == nullptr)
        return ZUK_E_OPEN;
    return reader->guarded(ZUK_E_EXTRACT, [&]() -> int64_t {
        checkWhence(whence);
        return reader->seekFrame(frame, whence);
    });
}

extern "C" ZUK_API int64_t zuk_reader_seek_seconds(zuk_reader* reader, double seconds, int32_t whence)
{
    if (reader == nullptr)
        return ZUK_E_OPEN;
    return reader->guarded(ZUK_E_EXTRACT, [&]() -> int64_t {
        checkWhence(whence);
        return reader->seekSeconds(seconds, whence);
    });
}

extern "C" ZUK_API int64_t zuk_reader_position(const zuk_reader* reader)
{
    return reader == nullptr ? int64_t{ZUK_E_OPEN} : reader->position;
}

extern "C" ZUK_API const char* zuk_reader_error(const zuk_reader* reader)
{
    return reader == nullptr ? "" : reader->error.c_str();
}

extern "C" ZUK_API void zuk_reader_close(zuk_reader* reader)
{
    delete reader;
}
