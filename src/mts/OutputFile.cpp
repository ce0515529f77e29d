#include "mts/OutputFile.h"

namespace zuk {

namespace {

constexpr size_t kBufferBytes = 1 << 16;

} // namespace

OutputFile::OutputFile(std::FILE* opened, std::unique_ptr<char[]> buffered)
    : buffer(std::move(buffered)), file(opened)
{
}

std::optional<OutputFile> OutputFile::create(const std::filesystem::path& path)
{
    std::FILE* opened = std::fopen(path.c_str(), "wb");
    if (opened == nullptr)
        return std::nullopt;
    // Without a buffer of its own, the stream would take one of its choosing.
    OutputFile output(opened, std::make_unique_for_overwrite<char[]>(kBufferBytes));
    std::setvbuf(opened, output.buffer.get(), _IOFBF, kBufferBytes);
    return output;
}

bool OutputFile::write(std::span<const uint8_t> bytes)
{
    if (!failed && !bytes.empty())
        failed = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size();
    return !failed;
}

bool OutputFile::close()
{
    if (!file)
        return !failed;
    const bool flushed = std::fclose(file.release()) == 0;
    failed = failed || !flushed;
    return !failed;
}

} // namespace zuk
