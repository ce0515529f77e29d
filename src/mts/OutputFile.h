// A file written through a buffer of its own, which remembers whether any
// write failed: the intermediate files of the demultiplexer are checked when
// they are closed, not after every packet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <utility>

namespace zuk {

class OutputFile {
public:
    // Creates the file, truncating one that exists; nothing when it cannot.
    static std::optional<OutputFile> create(const std::filesystem::path& path);

    // False once any write has failed.
    bool write(std::span<const uint8_t> bytes);
    // Writes what is buffered and closes; false when that or any earlier
    // write failed. Done on destruction too, so a walk that stops on bad
    // input keeps what it wrote before.
    bool close();

    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&&) = delete;
    ~OutputFile();

private:
    explicit OutputFile(int opened);
    bool flush();

    int fd;
    std::unique_ptr<uint8_t[]> buffer;
    size_t buffered = 0;
    bool failed = false;
};

} // namespace zuk
