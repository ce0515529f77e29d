// Where a host names a file: a local path, or a file:// URL with percent
// escapes as .NET and other hosts build them. Locations become local paths
// before any back end sees them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zuk {

// The local path that `source` names: a file URL becomes its path, anything
// else (other schemes included) stays as given. Never longer than `source`.
std::u16string normaliseLocation(std::u16string_view source);

// Whether the whole text reads SCHEME://REST, SCHEME being ASCII letters.
bool hasUrlScheme(std::u16string_view text);

// Whether the whole text reads file://REST (lower case).
bool isFileUrl(std::u16string_view text);

// The path of a file URL, host dropped and escapes decoded; nothing when
// `source` is not a file URL or has no slash after its host.
std::optional<std::u16string> fileUrlToPath(std::u16string_view source);

// `source` with each %XX escape replaced by what it encodes: adjacent escapes
// forming UTF-8 by that character, any other escape by U+0000-U+00FF of its
// value. %00 ends the text. Never longer than `source`.
std::u16string decodePercentEscapes(std::u16string_view source);

} // namespace zuk
