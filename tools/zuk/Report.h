// What the tool tells its user about results and written files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zukcli {

// What a result code of the library means, in a few words.
const char* resultMeaning(int64_t code);

// Prints "zuk: COMMAND failed: CODE (MEANING)" and a likely cause when one
// can be seen, on one line of stderr, and returns the failure exit status.
int reportFailure(const std::string& command, int64_t code, const std::string& input,
                  const std::string& output);

// Why the library refuses to read `inputs` and write `output` (an input
// that is no regular file, an output that is an input), or nothing.
std::string refusalCause(const std::vector<std::string>& inputs, const std::string& output);

// Prints what the sound file at `path` holds: "PATH: 48000 Hz, 1 channel, ...".
void describeWrittenFile(const std::string& path);

} // namespace zukcli
