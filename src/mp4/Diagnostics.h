// Where the box classes print their diagnostics: standard output unless a
// host or the command line points them elsewhere (or nowhere). Reserved and
// packed fields print as the big-endian numbers the file holds, like every
// other field, so that a dump reads the same on every host.
#pragma once

#include <array>
#include <cstdint>
#include <ostream>

namespace MP4Box {

// The stream that box diagnostics go to now; a stream that drops everything
// when they are switched off.
std::ostream& diagnostics();

// Sends box diagnostics to `stream` from now on (null: drop them). The stream
// must outlive its use; set it while no parse is running.
void setDiagnostics(std::ostream* stream);

// Prints `words` separated by blanks, and a newline.
template <size_t N>
void printWords(std::ostream& out, const std::array<uint32_t, N>& words)
{
    for (size_t i = 0; i < N; ++i)
        out << (i == 0 ? "" : " ") << words[i];
    out << "\n";
}

} // namespace MP4Box
