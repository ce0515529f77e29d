// Why a command failed, as far as the tool can see: the library's refusal,
// the file system, the media itself; and HRESULTs in words.
#pragma once

#include <cstdint>
#include <string>

namespace zukcli {

// The published text of an HRESULT, as a person reading about media needs
// it: where the table holds two texts for one value, the media one; where it
// holds none for a Win32 error, the system's text for that error.
std::string hresultMeaning(int32_t hr);

// Why the library refuses to read `input` and write `output` (an input that
// is no regular file, an output that is the input), or nothing.
std::string refusalCause(const std::string& input, const std::string& output);

// A reason seen in the file system why a command reading `input` and
// writing `output` (either may be empty) failed, or nothing.
std::string fileSystemCause(const std::string& input, const std::string& output);

// The likeliest cause of result `code` of `command` on `input` and `output`,
// or nothing: from the file system, from what the streaming reader sees in a
// media input, from libsndfile for the sound-file commands.
std::string causeOfFailure(
    const std::string& command, int64_t code, const std::string& input, const std::string& output);

} // namespace zukcli
