// Locations as hosts pass them: local paths, file URLs and other URLs.
#include "api/Location.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

using zuk::normaliseLocation;

namespace {

std::string shown(std::u16string_view text)
{
    return ::testing::PrintToString(std::u16string(text));
}

} // namespace

// Plain paths, and URLs other than file URLs, stay as given: a file URL starts
// the text and has a path.
TEST(Location, KeepsPathsAndOtherUrls)
{
    for (const std::u16string_view source : {u"", u"/tmp/été/中文 🎬.mov", u"C:\\clips\\a.mov",
             u"/tmp/a%20b.wav", // escapes mean nothing outside a URL
             u"file:/tmp/a%20b.wav", u"/tmp/file:///x", u" file:///x", u"/tmp/a\xD800.wav", u"https://host/a%20b.mov",
             u"File:///x%41", u"C://dir", u"file://host", u"file://host%2Fshare"}) {
        SCOPED_TRACE(shown(source));
        EXPECT_EQ(normaliseLocation(source), source);
    }
}

// File URLs become the path they name. Escapes are decoded once; malformed
// ones stay; an escaped NUL ends the text. Bytes that are not part of
// well-formed UTF-8 stand for U+0000-U+00FF, and a broken sequence does not
// swallow a good one after it.
TEST(Location, TurnsFileUrlsIntoPaths)
{
    const struct {
        std::u16string_view source;
        std::u16string_view expected;
    } cases[] = {
        {u"file:///tmp/My%20Clips/a.wav", u"/tmp/My Clips/a.wav"}, {u"file:///tmp/été 中文.wav", u"/tmp/été 中文.wav"},
        {u"file:///tmp/a\\b%5C.wav", u"/tmp/a\\b\\.wav"}, {u"file:///", u"/"},
        {u"file://host/share/x.mov", u"/share/x.mov"}, // the host names nothing here
        {u"file://C:/x.mov", u"/x.mov"}, {u"file:////./dev/x", u"/dev/x"}, {u"file:///%2Ftmp", u"//tmp"},
        {u"file:///tmp/\xDC00%41",
            u"/tmp/\xDC00"
            u"A"}, // lone surrogates survive
        {u"file:///a%2cb%2Cc", u"/a,b,c"}, {u"file:///x%C3%A9y%E2%82%ACz", u"/xéy€z"}, {u"file:///%2541", u"/%41"},
        {u"file:///a%4", u"/a%4"}, {u"file:///%2G", u"/%2G"},
        {u"file:///%\xD800"
         u"41",
            u"/%\xD800"
            u"41"},
        {u"file:///%%41", u"/%A"}, {u"file:///a%00%41", u"/a"}, {u"file:///%C3%00%A9", u"/\u00C3"},
        {u"file:///%FF", u"/\u00FF"}, {u"file:///%C3%28", u"/\u00C3("},
        {u"file:///%C3x%A9", u"/\u00C3x\u00A9"},                                    // not adjacent
        {u"file:///%80%C3%A9", u"/\u0080é"}, {u"file:///%C0%AF", u"/\u00C0\u00AF"}, // overlong '/'
    };
    for (const auto& [source, expected] : cases) {
        SCOPED_TRACE(shown(source));
        EXPECT_EQ(normaliseLocation(source), expected);
    }
}
