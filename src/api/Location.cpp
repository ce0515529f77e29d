#include "api/Location.h"

#include "platform/WideText.h"

#include <boost/filesystem/path.hpp>
#include <boost/regex.hpp>

namespace zuk {

namespace {

struct Patterns {
    boost::wregex urlScheme{L"[A-Za-z]+://.+"};
    boost::wregex fileUrl{L"file://.+"};
    boost::wregex fileUrlPrefix{L"(file://[^/]*//./)|(file://[^/]*/)"};
    boost::wregex escape{L"%[0-9a-fA-F][0-9a-fA-F]"};
};

const Patterns& patterns()
{
    static const Patterns compiled;
    return compiled;
}

// wchar_t is 32 bits here: one UTF-16 unit per wchar_t, so lone surrogates
// pass through and positions in the copy are positions in the source.
std::wstring toWide(std::u16string_view text)
{
    return std::wstring(text.begin(), text.end());
}

size_t offsetIn(const std::wstring& text, std::wstring::const_iterator at)
{
    return static_cast<size_t>(at - text.begin());
}

unsigned hexValue(char16_t digit)
{
    if (digit >= u'0' && digit <= u'9')
        return digit - u'0';
    if (digit >= u'a' && digit <= u'f')
        return digit - u'a' + 10;
    return digit - u'A' + 10;
}

// Length of the UTF-8 sequence `lead` begins, 0 when it begins none.
size_t utf8Length(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC0 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF7)
        return 4;
    return 0;
}

// Appends the bytes of adjacent escapes. Linux file names are UTF-8 and URLs
// escape them byte by byte, so well-formed sequences become their character;
// any other byte stands for the character of its value.
void appendEscapedBytes(std::u16string& out, std::string_view bytes)
{
    size_t i = 0;
    while (i < bytes.size()) {
        const size_t length = utf8Length(static_cast<unsigned char>(bytes[i]));
        if (length > 0 && length <= bytes.size() - i) {
            if (const auto decoded = utf8ToUtf16(bytes.substr(i, length))) {
                out += *decoded;
                i += length;
                continue;
            }
        }
        out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]));
        ++i;
    }
}

// The text as Boost.Filesystem holds a path natively. Text with a lone
// surrogate has no UTF-8 form and names no file; it stays as it is.
std::u16string nativeForm(std::u16string text)
{
    const auto utf8 = utf16ToUtf8(text);
    if (!utf8)
        return text;
    const boost::filesystem::path path(*utf8);
    auto native = utf8ToUtf16(path.native());
    return native ? std::move(*native) : text;
}

} // namespace

bool hasUrlScheme(std::u16string_view text)
{
    return boost::regex_match(toWide(text), patterns().urlScheme);
}

bool isFileUrl(std::u16string_view text)
{
    return boost::regex_match(toWide(text), patterns().fileUrl);
}

std::u16string decodePercentEscapes(std::u16string_view source)
{
    const std::wstring wide = toWide(source);
    std::u16string out;
    out.reserve(source.size());
    std::string run; // bytes of adjacent escapes, appended once the run ends
    size_t done = 0; // source units before this are in `out` or `run`
    for (boost::wsregex_iterator it(wide.begin(), wide.end(), patterns().escape), end; it != end; ++it) {
        const size_t at = offsetIn(wide, (*it)[0].first);
        if (at != done) {
            appendEscapedBytes(out, run);
            run.clear();
            out.append(source.substr(done, at - done));
        }
        const unsigned byte = hexValue(source[at + 1]) << 4 | hexValue(source[at + 2]);
        done = at + 3;
        if (byte == 0) { // %00 ends the text, as NUL ends a C string
            appendEscapedBytes(out, run);
            return out;
        }
        run += static_cast<char>(byte);
    }
    appendEscapedBytes(out, run);
    out.append(source.substr(done));
    return out;
}

std::optional<std::u16string> fileUrlToPath(std::u16string_view source)
{
    if (!isFileUrl(source))
        return std::nullopt;
    const std::wstring wide = toWide(source);
    boost::wsmatch prefix;
    if (!boost::regex_search(wide, prefix, patterns().fileUrlPrefix))
        return std::nullopt;
    // The slash that ends the prefix is the root on Linux; the host before it
    // (a drive letter too) names nothing here and is dropped.
    const size_t start = offsetIn(wide, prefix[0].first);
    const size_t stop = offsetIn(wide, prefix[0].second);
    std::u16string path(source.substr(0, start));
    path += u'/';
    path.append(source.substr(stop));
    return decodePercentEscapes(path);
}

std::u16string normaliseLocation(std::u16string_view source)
{
    std::optional<std::u16string> path;
    if (hasUrlScheme(source))
        path = fileUrlToPath(source);
    return nativeForm(path ? std::move(*path) : std::u16string(source));
}

} // namespace zuk
