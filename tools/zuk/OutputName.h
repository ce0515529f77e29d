// An output whose extension names another format than the one a command
// writes is a wrong command line: the user would get a file that lies.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zukcli {

// The extension of the file `path` names, in lower case and without its dot;
// empty when it has none.
std::string lowerExtensionOf(const std::string& path);

// Whether the extension of `path` names a sound or media format.
bool namesMediaFormat(const std::string& path);

// Throws UsageError when `output` ends in the extension of a known sound or
// media format that is not among `extensions` (lower case, without the dot),
// naming `format`, what the command writes. Other names are left alone.
void checkOutputNames(
    const std::string& output, std::string_view format, const std::vector<std::string_view>& extensions);

// As checkOutputNames, for the standard WAV most commands write.
void checkOutputNamesWav(const std::string& output);

// The format libsndfile reads `input` as ("FLAC", extension "flac"), for
// commands that write their input's format; nothing when it cannot be read.
struct SoundFormat {
    std::string name;
    std::string extension;
};
std::optional<SoundFormat> soundFormatOf(const std::string& input);

} // namespace zukcli
