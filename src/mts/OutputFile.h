// A file written through a large buffer, which remembers whether any write
// failed: the intermediate files of the demultiplexer are checked once, when
// they are closed, not after every packet.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>

namespace zuk {

class OutputFile {
public:
    // Creates the file, truncating one that exists; nothing when it cannot.
    static std::optional<OutputFile> create(const std::filesystem::path& path);

    // False once any write has failed.
    bool write(std::span<const uint8_t> bytes);
    // Writes what is buffered and closes; false when that or any earlier
    // write failed.
    bool close();

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    OutputFile(std::FILE* file, std::unique_ptr<char[]> buffer);

    // The stream's buffer: before the file, so that it outlives the close.
    std::unique_ptr<char[]> buffer;
    std::unique_ptr<std::FILE, Closer> file;
    bool failed = false;
};

} // namespace zuk
