// The library's handling of host paths, for hosts that build or show them:
// byte names as wide text and back, file:// locations, and the refusal of
// files no call may use.
#include "api/HostText.h"
#include "api/Location.h"
#include "platform/ExportGuard.h"
#include "platform/FileIdentity.h"
#include "platform/WideText.h"

#include <zuk/zuk.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Copies `text` and its NUL into `buffer` when both fit; its length either way,
// so that a caller can ask for the size first.
template <class Char>
int64_t copiedOut(std::basic_string_view<Char> text, Char* buffer, size_t capacity)
{
    if (buffer != nullptr && text.size() < capacity) {
        std::copy(text.begin(), text.end(), buffer);
        buffer[text.size()] = Char{};
    }
    return static_cast<int64_t>(text.size());
}

// The refusal's line, kept for the caller rather than logged.
thread_local std::string refusal;

void keepRefusal(const char* line)
{
    refusal = line;
}

// The line without its "ZUK: Error. " and its newline.
std::string_view causeIn(std::string_view line)
{
    constexpr std::string_view prefix = "ZUK: Error. ";
    if (line.starts_with(prefix))
        line.remove_prefix(prefix.size());
    if (line.ends_with('\n'))
        line.remove_suffix(1);
    return line;
}

} // namespace

extern "C" ZUK_API int64_t zuk_wide_from_path(const char* path, zuk_char* wide, size_t capacity)
{
    return zuk::guardExport("zuk_wide_from_path", int64_t{ZUK_E_OPEN}, [&]() -> int64_t {
        if (path == nullptr)
            return ZUK_E_OPEN;
        return copiedOut<char16_t>(zuk::wideFromPath(path), wide, capacity);
    });
}

extern "C" ZUK_API int64_t zuk_path_from_wide(const zuk_char* wide, char* path, size_t capacity)
{
    return zuk::guardExport("zuk_path_from_wide", int64_t{ZUK_E_OPEN}, [&]() -> int64_t {
        const auto bytes = zuk::pathFromWide(wide);
        if (!bytes)
            return ZUK_E_OPEN;
        return copiedOut<char>(*bytes, path, capacity);
    });
}

extern "C" ZUK_API int64_t zuk_normalise_location(const zuk_char* location, zuk_char* path, size_t capacity)
{
    return zuk::guardExport("zuk_normalise_location", int64_t{ZUK_E_OPEN}, [&]() -> int64_t {
        if (location == nullptr)
            return ZUK_E_OPEN;
        return copiedOut<char16_t>(zuk::normaliseLocation(zuk::wideView(location)), path, capacity);
    });
}

extern "C" ZUK_API int32_t zuk_check_files(const zuk_char* input, const zuk_char* output, char* cause, size_t capacity)
{
    return zuk::guardExport("zuk_check_files", int32_t{ZUK_E_OPEN}, [&]() -> int32_t {
        zuk::copyCutToFit("", cause, capacity);
        if (input == nullptr)
            return ZUK_E_OPEN;
        refusal.clear();
        std::vector<std::u16string_view> written;
        if (output != nullptr)
            written.push_back(zuk::wideView(output));
        if (!zuk::refusesFiles(written, {zuk::wideView(input)}, keepRefusal))
            return ZUK_OK;
        zuk::copyCutToFit(causeIn(refusal), cause, capacity);
        return ZUK_E_OPEN;
    });
}
