// UTF-16 text as hosts pass it (zuk_char), and its UTF-8 form for the file system.
#pragma once

#include <zuk/zuk.h>

#include <optional>
#include <string>
#include <string_view>

namespace zuk {

// The NUL-terminated text at `text` (empty for null).
std::u16string_view wideView(const zuk_char* text);

// UTF-8 of `text`, or nothing when it holds a lone surrogate.
std::optional<std::string> utf16ToUtf8(std::u16string_view text);

// UTF-16 of `text`, or nothing when it is not valid UTF-8.
std::optional<std::u16string> utf8ToUtf16(std::string_view text);

// The file-system path that a wide path names, or nothing when `path` is null,
// empty or not valid UTF-16: such text names no file.
std::optional<std::string> pathFromWide(const zuk_char* path);

} // namespace zuk
