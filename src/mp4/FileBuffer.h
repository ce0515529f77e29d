// A stream buffer over a host's FILE, so that box text can go wherever a host
// points it.
#pragma once

#include <atomic>
#include <cstdio>
#include <streambuf>

namespace MP4Box {

// Writes straight to the FILE, which does its own buffering and locking.
class FileBuffer : public std::streambuf {
public:
    FileBuffer() = default;
    explicit FileBuffer(std::FILE* stream) : file(stream) { }

    void point(std::FILE* stream) { file.store(stream, std::memory_order_release); }

protected:
    int overflow(int c) override
    {
        if (c == traits_type::eof())
            return traits_type::not_eof(c);
        return std::fputc(c, file.load(std::memory_order_acquire)) == EOF ? traits_type::eof() : c;
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override
    {
        return static_cast<std::streamsize>(
            std::fwrite(text, 1, static_cast<size_t>(count), file.load(std::memory_order_acquire)));
    }

private:
    std::atomic<std::FILE*> file{nullptr};
};

} // namespace MP4Box
