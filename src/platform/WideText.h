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

// Linux file names are bytes, mostly UTF-8. A byte that is not part of valid
// UTF-8 travels through wide text as the lone surrogate U+DC00 + byte
// (U+DC80 to U+DCFF), so that every name survives the trip both ways.

// The wide form of the file name `bytes`: UTF-8 decoded, other bytes escaped.
std::u16string wideFromPath(std::string_view bytes);

// The file-system path that a wide path names, escaped bytes restored, or
// nothing when `path` is null, empty or holds any other lone surrogate: such
// text names no file.
std::optional<std::string> pathFromWide(const zuk_char* path);

// `text` as multibyte text of the process's current C locale, or nothing when
// a character has no form there or the result (with its NUL) needs more than
// `capacity` bytes. The library never changes the locale; hosts set it.
std::optional<std::string> toLocaleMultibyte(std::u16string_view text, size_t capacity);

} // namespace zuk
