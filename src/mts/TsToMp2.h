// The demultiplexing stage as a whole: the audio elementary stream of a
// transport stream, lifted into a file of its own.
#pragma once

#include <cstdint>
#include <filesystem>

namespace zuk {

// The PES file that the packet stage writes beside the elementary stream.
std::filesystem::path pesFileFor(const std::filesystem::path& mp2Path);

// Finds the audio PID of `input` and writes its elementary stream to
// `mp2Path` (whatever it carries), through the PES file beside it. Returns 0;
// -4 when the input cannot be opened, -40 when the PES file cannot be
// created, -7 when a write fails, -1 when the PES stage finds no packets it
// can walk or a read fails before the end of the input or the PES file, and
// before anything is opened when the input is no regular file or a file to
// be written is the input.
int32_t EXTRACT_TS_TO_MP2(const std::filesystem::path& input, const std::filesystem::path& mp2Path, bool bdav);

} // namespace zuk
