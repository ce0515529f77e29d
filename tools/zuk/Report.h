// What the tool tells its user about results and written files.
#pragma once

#include <cstdint>
#include <string>

namespace zukcli {

// What a result code of the library means, in a few words.
const char* resultMeaning(int64_t code);

// Prints "zuk: COMMAND failed: CODE (MEANING)" and a likely cause when one
// can be seen, on one line of stderr, and returns the failure exit status.
int reportFailure(const std::string& command, int64_t code, const std::string& input, const std::string& output);

// Notes on what a command did ("OUT: WAV, ...") go to stderr, and nowhere
// once quiet: stdout carries only what the user asked for.
void setQuiet(bool quiet);
void note(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Messages name the file at `path` as `shown` ("-" for stdin and stdout).
void showPathAs(const std::string& path, const std::string& shown);

// Notes what the sound file at `path` holds: "PATH: 48000 Hz, 1 channel, ...".
void describeWrittenFile(const std::string& path);

} // namespace zukcli
