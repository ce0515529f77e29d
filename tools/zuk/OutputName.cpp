#include "OutputName.h"

#include "CommandLine.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cctype>

namespace zukcli {

namespace {

// Extensions that name a sound or media format.
constexpr std::array kMediaExtensions = {"wav", "wave", "rf64", "w64", "flac", "ogg", "oga", "opus", "mp3", "mp2",
    "m4a", "aac", "ac3", "aif", "aiff", "aifc", "au", "snd", "caf", "wma", "avi", "mov", "mp4", "m4v", "mkv", "webm",
    "mpg", "mpeg", "m2t", "mts", "m2ts", "ts", "mxf", "3gp", "dv", "flv", "wmv", "r3d"};

} // namespace

bool namesMediaFormat(const std::string& path)
{
    return std::find(kMediaExtensions.begin(), kMediaExtensions.end(), lowerExtensionOf(path)) !=
        kMediaExtensions.end();
}

std::string lowerExtensionOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

void checkOutputNames(
    const std::string& output, std::string_view format, const std::vector<std::string_view>& extensions)
{
    const std::string extension = lowerExtensionOf(output);
    if (!namesMediaFormat(output) || std::find(extensions.begin(), extensions.end(), extension) != extensions.end())
        return;
    throw UsageError{output + " ends in ." + extension + ", but this command writes " + std::string(format) +
        (extensions.empty() ? std::string() : "; name it ." + std::string(extensions.front()))};
}

void checkOutputNamesWav(const std::string& output)
{
    checkOutputNames(output, "a WAV file", {"wav", "wave"});
}

std::optional<SoundFormat> soundFormatOf(const std::string& input)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(input.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return std::nullopt;
    sf_close(file);
    SF_FORMAT_INFO format{};
    format.format = info.format & SF_FORMAT_TYPEMASK;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &format, sizeof format) != 0 || format.name == nullptr)
        return std::nullopt;
    return SoundFormat{format.name, format.extension != nullptr ? format.extension : ""};
}

} // namespace zukcli
