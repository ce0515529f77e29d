// What the tool tells its user about results and written files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zukcli {

// What a result code of the library means, in a few words.
const char* resultMeaning(int64_t code);

// The published text of an HRESULT, as a person reading about media needs
// it: where the table holds two texts for one value, the media one; where it
// holds none for a Win32 error, the system's text for that error.
std::string hresultMeaning(int32_t hr);

// Why the library refuses to read `inputs` and write `output` (an input
// that is no regular file, an output that is an input), or nothing.
std::string refusalCause(const std::vector<std::string>& inputs, const std::string& output);

// A reason seen in the file system why a command reading `input` and
// writing `output` (either may be empty) failed, or nothing.
std::string fileSystemCause(const std::string& input, const std::string& output);

// Prints "zuk: COMMAND failed: CODE (MEANING)" and a likely cause when one
// can be seen, on one line of stderr, and returns the failure exit status.
int reportFailure(const std::string& command, int64_t code, const std::string& input,
                  const std::string& output);

// Notes on what a command did ("OUT: WAV, ...") go to stderr, and nowhere
// once quiet: stdout carries only what the user asked for.
void setQuiet(bool quiet);

// Messages name the file at `path` as `shown` ("-" for stdin and stdout).
void showPathAs(const std::string& path, const std::string& shown);
void note(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Notes what the sound file at `path` holds: "PATH: 48000 Hz, 1 channel, ...".
void describeWrittenFile(const std::string& path);

} // namespace zukcli
