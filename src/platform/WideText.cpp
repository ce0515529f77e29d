#include "platform/WideText.h"

#include <cwchar>
#include <utility>

namespace zuk {

namespace {

bool isHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void appendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void appendUtf16(std::u16string& out, char32_t code)
{
    if (code < 0x10000) {
        out += static_cast<char16_t>(code);
    } else {
        code -= 0x10000;
        out += static_cast<char16_t>(0xD800 | (code >> 10));
        out += static_cast<char16_t>(0xDC00 | (code & 0x3FF));
    }
}

// Calls `visit` with each code point of `text`; false on a lone surrogate.
template <class Visit>
bool forEachCodePoint(std::u16string_view text, Visit&& visit)
{
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t unit = text[i];
        char32_t code = unit;
        if (isHighSurrogate(unit)) {
            if (i + 1 >= text.size() || !isLowSurrogate(text[i + 1]))
                return false;
            code = 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
            ++i;
        } else if (isLowSurrogate(unit)) {
            return false;
        }
        visit(code);
    }
    return true;
}

// The length of the valid UTF-8 sequence at the start of `text` and its code
// point, or a length of 0 when it is not valid UTF-8.
std::pair<size_t, char32_t> utf8Sequence(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    size_t length = 0;
    char32_t code = 0;
    char32_t smallest = 0;
    if (lead < 0x80) {
        return {1, lead};
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, smallest = 0x10000;
    } else {
        return {0, 0};
    }
    if (length > text.size())
        return {0, 0};
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[k]);
        if ((next & 0xC0) != 0x80)
            return {0, 0};
        code = (code << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return {0, 0};
    return {length, code};
}

constexpr char16_t kEscapedByte = 0xDC00;

bool isEscapedByte(char16_t unit)
{
    return unit >= kEscapedByte + 0x80 && unit <= kEscapedByte + 0xFF;
}

} // namespace

std::u16string_view wideView(const zuk_char* text)
{
    return text != nullptr ? std::u16string_view(text) : std::u16string_view();
}

std::optional<std::string> utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    return forEachCodePoint(text, [&](char32_t code) { appendUtf8(out, code); }) ? std::optional(out) : std::nullopt;
}

std::optional<std::u16string> utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto [length, code] = utf8Sequence(text.substr(i));
        if (length == 0)
            return std::nullopt;
        appendUtf16(out, code);
        i += length;
    }
    return out;
}

std::u16string wideFromPath(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const auto [length, code] = utf8Sequence(bytes.substr(i));
        if (length == 0) {
            out += static_cast<char16_t>(kEscapedByte + static_cast<unsigned char>(bytes[i]));
            ++i;
            continue;
        }
        appendUtf16(out, code);
        i += length;
    }
    return out;
}

std::optional<std::string> pathFromWide(const zuk_char* path)
{
    const std::u16string_view text = wideView(path);
    if (text.empty())
        return std::nullopt;
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (isEscapedByte(unit)) {
            out += static_cast<char>(unit - kEscapedByte);
        } else if (isHighSurrogate(unit) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            appendUtf8(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
            ++i;
        } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
            return std::nullopt;
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

std::optional<std::string> toLocaleMultibyte(std::u16string_view text, size_t capacity)
{
    std::wstring wide;
    wide.reserve(text.size());
    if (!forEachCodePoint(text, [&](char32_t code) { wide += static_cast<wchar_t>(code); }))
        return std::nullopt;
    const wchar_t* source = wide.c_str();
    std::mbstate_t state{};
    const size_t length = std::wcsrtombs(nullptr, &source, 0, &state);
    if (length == static_cast<size_t>(-1) || length >= capacity)
        return std::nullopt;
    std::string out(length, '\0');
    source = wide.c_str();
    state = {};
    std::wcsrtombs(out.data(), &source, length, &state);
    return out;
}

} // namespace zuk
