#include "FailureCause.h"

#include "OutputName.h"
#include "Paths.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <zuk/dsax.h>
#include <zuk/zuk.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace zukcli {

namespace {

constexpr uint16_t kWaveFormatPcm = 1;

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool isFolder(const std::string& path)
{
    struct stat status { };
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool hasNoSpaceLeft(const std::string& folder)
{
    struct statvfs space { };
    return statvfs(folder.c_str(), &space) == 0 && space.f_bavail == 0;
}

// The errno of the Win32 errors the library reports, for their system text.
int errnoOfWin32(uint32_t error)
{
    switch (error) {
    case 2:
    case 3:
        return ENOENT;
    case 4:
        return EMFILE;
    case 5:
        return EACCES;
    case 8:
        return ENOMEM;
    case 29:
        return EIO;
    case 32:
        return EBUSY;
    case 112:
        return ENOSPC;
    case 123:
        return EINVAL;
    default:
        return 0;
    }
}

} // namespace

std::string hresultMeaning(int32_t hr)
{
    const std::string text = zuk_hresult_text(hr);
    if (const auto both = text.find(" & "); both != std::string::npos)
        return text.substr(both + 3);
    const auto code = static_cast<uint32_t>(hr);
    constexpr uint32_t kWin32Facility = 0x80070000;
    if (text == "n/a" && (code & 0xFFFF0000) == kWin32Facility)
        if (const int error = errnoOfWin32(code & 0xFFFF))
            return std::strerror(error);
    return text;
}

std::string refusalCause(const std::string& input, const std::string& output)
{
    const std::u16string wideInput = widePath(input);
    const std::u16string wideOutput = widePath(output);
    // Room for the line, which names both files.
    std::string cause(input.size() + output.size() + 256, '\0');
    if (zuk_check_files(wideInput.c_str(), output.empty() ? nullptr : wideOutput.c_str(), cause.data(), cause.size()) ==
        ZUK_OK)
        return {};
    cause.resize(cause.find('\0'));
    return cause;
}

std::string fileSystemCause(const std::string& input, const std::string& output)
{
    if (!input.empty() && access(input.c_str(), R_OK) != 0)
        return "cannot read " + input + ": " + std::strerror(errno);
    if (!input.empty()) {
        if (std::string cause = refusalCause(input, output); !cause.empty())
            return cause;
    }
    if (output.empty())
        return {};
    if (isFolder(output))
        return output + " is a folder; name a file to write";
    const std::string folder = folderOf(output);
    if (access(folder.c_str(), W_OK) != 0)
        return "cannot write in " + folder + ": " + std::strerror(errno);
    if (hasNoSpaceLeft(folder))
        return "no space is left on the device that holds " + folder;
    return {};
}

namespace {

bool namesTransportStream(const std::string& command, const std::string& input)
{
    const std::string extension = lowerExtensionOf(input);
    return command == "ts-audio" || command == "mts-extract" || extension == "m2t" || extension == "mts" ||
        extension == "m2ts";
}

// The commands that take only what libsndfile reads.
bool takesSoundFiles(const std::string& command)
{
    return command == "resample" || command == "convert" || command == "slice";
}

std::string soundFileCause(const std::string& input)
{
    SF_INFO info{};
    if (SNDFILE* file = sf_open(input.c_str(), SFM_READ, &info)) {
        sf_close(file);
        return {};
    }
    return input + " is not a sound file libsndfile reads (" + sf_strerror(nullptr) + ")";
}

// What the streaming reader sees in a media input: that it cannot open it,
// that it holds no sound, or (for the PCM unwrapper) that its sound is
// compressed. Nothing when the sound looks fine.
std::string mediaCause(const std::string& command, const std::string& input)
{
    dsax::dsax_init();
    dsax::DSAX_MEDIA_INFO* record = nullptr;
    try {
        record = dsax::dsax_open(widePath(input).c_str());
    } catch (const std::exception& error) {
        return "cannot open " + input + ": " + error.what();
    }
    if (record == nullptr)
        return {};
    std::string cause;
    if (record->audio_format == nullptr) {
        cause = namesTransportStream(command, input) ? "no audio PID in the transport stream " + input
                                                     : "no audio stream in " + input;
    } else if (command == "mp4-unwrap") {
        uint16_t tag = 0;
        std::memcpy(&tag, record->audio_format, sizeof tag);
        if (tag != kWaveFormatPcm)
            cause = "the sound track of " + input + " is not PCM";
    }
    dsax::dsax_close(&record);
    return cause;
}

// A likely reason why a file could not be opened, or nothing.
std::string openFailureCause(const std::string& command, const std::string& input, const std::string& output)
{
    if (std::string cause = fileSystemCause(input, output); !cause.empty())
        return cause;
    if (input.empty())
        return {};
    if (takesSoundFiles(command))
        return soundFileCause(input);
    const std::string extension = lowerExtensionOf(input);
    if (command == "extract" && (extension == "mp3" || extension == "aif" || extension == "aiff") &&
        QuickTime_Installed() != ZUK_OK)
        return "." + extension +
            " files go to the QuickTime back end alone, and it (libQTMLClient.so) is not installed";
    return mediaCause(command, input);
}

} // namespace

std::string causeOfFailure(
    const std::string& command, int64_t code, const std::string& input, const std::string& output)
{
    // "Cannot open", "cannot write" and a failed extraction share their
    // file-system causes.
    const bool mayBeAccess = code == -2 || code == -4 || code == -7 || code == -40;
    std::string cause = code == -1 ? openFailureCause(command, input, output)
        : mayBeAccess              ? fileSystemCause(input, output)
                                   : std::string();
    // Media that cannot be decoded: what the reader sees in it.
    const bool mayBeMedia = code == -2 || code == -4 || code == -5;
    if (cause.empty() && mayBeMedia && !input.empty() && !takesSoundFiles(command))
        cause = mediaCause(command, input);
    return cause;
}

} // namespace zukcli
