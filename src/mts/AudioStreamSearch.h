// The search for the PID of one audio stream in a transport stream, through
// its program tables or by looking at its packets.
#pragma once

#include <cstdint>
#include <filesystem>

namespace zuk {

// The table route: the first audio stream of the PMT of the first program in
// the PAT. Returns its PID, or -1 when the file cannot be opened or has no
// such stream.
int32_t findAudioStream2(const std::filesystem::path& input, bool bdav);

// The packet route: the PID of the first packet that starts an MPEG audio PES
// packet (in BDAV streams, the first unit start on PID 0x1100). Returns 0 when
// the file ends without one, -1 when it cannot be opened.
int32_t findAudioStream(const std::filesystem::path& input, bool bdav);

} // namespace zuk
