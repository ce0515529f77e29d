// zuk_set_mp4_diagnostics: where hosts want the box parser's diagnostics.
#include "mp4/Diagnostics.h"

#include <zuk/zuk.h>

#include <atomic>
#include <cstdio>
#include <streambuf>

namespace {

// Writes straight to the host's FILE, which does its own buffering and locking.
class FileBuffer : public std::streambuf {
public:
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

} // namespace

extern "C" ZUK_API void zuk_set_mp4_diagnostics(FILE* stream)
{
    static FileBuffer buffer;
    static std::ostream out(&buffer);
    if (stream == nullptr) {
        MP4Box::setDiagnostics(nullptr);
        return;
    }
    buffer.point(stream);
    MP4Box::setDiagnostics(&out);
}
