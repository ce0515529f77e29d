#include "mts/OutputFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace zuk {

namespace {

constexpr size_t kBufferBytes = 1 << 16;

bool writeAll(int fd, std::span<const uint8_t> bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes = bytes.subspan(static_cast<size_t>(written));
    }
    return true;
}

} // namespace

OutputFile::OutputFile(int opened) : fd(opened), buffer(std::make_unique_for_overwrite<uint8_t[]>(kBufferBytes)) { }

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd(std::exchange(other.fd, -1)),
      buffer(std::move(other.buffer)),
      buffered(std::exchange(other.buffered, 0)),
      failed(other.failed)
{
}

OutputFile::~OutputFile()
{
    close();
}

std::optional<OutputFile> OutputFile::create(const std::filesystem::path& path)
{
    const int opened = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (opened < 0)
        return std::nullopt;
    return OutputFile(opened);
}

bool OutputFile::write(std::span<const uint8_t> bytes)
{
    while (!failed && !bytes.empty()) {
        const size_t taken = std::min(bytes.size(), kBufferBytes - buffered);
        std::memcpy(buffer.get() + buffered, bytes.data(), taken);
        buffered += taken;
        bytes = bytes.subspan(taken);
        if (buffered == kBufferBytes)
            flush();
    }
    return !failed;
}

bool OutputFile::flush()
{
    failed = failed || !writeAll(fd, std::span<const uint8_t>(buffer.get(), buffered));
    buffered = 0;
    return !failed;
}

bool OutputFile::close()
{
    if (fd < 0)
        return !failed;
    flush();
    failed = ::close(std::exchange(fd, -1)) != 0 || failed;
    return !failed;
}

} // namespace zuk
