// The PES stage of the demultiplexer: the elementary stream carried by the
// PES packets of the intermediate file.
#pragma once

#include <cstdint>
#include <filesystem>

namespace zuk {

// The offset of the first 00 00 01 in the file; -1 when there is none or the
// file cannot be opened.
int64_t findStartCode(const std::filesystem::path& path);

// Writes to a new `mp2Path` the payloads of the PES packets of `pesPath`,
// walked by their lengths from the first start code on. A packet whose length
// does not lead to the next start code is cut there, or at its length when
// that comes first; bytes up to the next start code are stepped over, and
// their count logged. A packet cut short by the end of the file is left out.
// Returns the number of packets written; -1 when there is no start code or
// reading fails before the end; -7 when the elementary-stream file cannot be
// created or written.
int32_t extractPesPayloads(const std::filesystem::path& pesPath, const std::filesystem::path& mp2Path);

} // namespace zuk
