// The packet stage of the demultiplexer: the payloads of every packet of one
// PID, in file order, as one intermediate PES file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <istream>

namespace zuk {

// Rewinds `in` and appends to a new `pesPath` the payload of every packet on
// `pid`, whether or not it starts a PES packet; bytes that are no part of a
// unit are stepped over, and their count logged. Returns the number of units
// read, -40 when the file cannot be created, -7 when writing it fails or -1
// when reading `in` fails before its end.
int32_t extractPidToFile(const std::filesystem::path& pesPath, int32_t pid, std::istream& in, bool bdav);

} // namespace zuk
