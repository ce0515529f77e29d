// Where the box classes print their diagnostics: standard output unless a
// host or the command line points them elsewhere (or nowhere).
#pragma once

#include <ostream>

namespace MP4Box {

// The stream that box diagnostics go to now; a stream that drops everything
// when they are switched off.
std::ostream& diagnostics();

// Sends box diagnostics to `stream` from now on (null: drop them). The stream
// must outlive its use; set it while no parse is running.
void setDiagnostics(std::ostream* stream);

} // namespace MP4Box
