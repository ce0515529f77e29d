// Locations as hosts pass them: local paths, file URLs and other URLs.
#include "api/Location.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

using zuk::decodePercentEscapes;
using zuk::fileUrlToPath;
using zuk::hasUrlScheme;
using zuk::isFileUrl;
using zuk::normaliseLocation;

namespace {

struct Case {
    std::u16string_view source;
    std::u16string_view expected;
};

std::string shown(std::u16string_view text)
{
    return ::testing::PrintToString(std::u16string(text));
}

// Plain paths, and URLs other than file URLs, stay as given.
const std::u16string_view kKept[] = {
    u"",
    u"/tmp/clip.mov",
    u"clips/clip.mov",
    u"./a/../b.wav",
    u"/tmp/My Clips/a b.wav",
    u"/tmp/été/中文 🎬.mov",
    u"/tmp/a.b/clip",
    u"C:\\clips\\a.mov",
    u"\\\\server\\share\\a.mov",
    u"/tmp/a\\b.wav",
    u"/tmp/a%20b.wav", // escapes mean nothing outside a URL
    u"file:/tmp/a%20b.wav",
    u"/tmp/file:///x",
    u"/tmp/a\xD800.wav",
    u"\xDC00",
    u"http://a/b",
    u"https://host/a%20b.mov",
    u"FILE:///x",
    u"File:///x%41",
    u"C://dir",
    u"file://host",
    u"file://C:",
    u"file://host%2Fshare",
};

} // namespace

TEST(LocationNormalise, KeepsPathsAndOtherUrls)
{
    for (const auto source : kKept) {
        SCOPED_TRACE(shown(source));
        EXPECT_EQ(normaliseLocation(source), source);
        EXPECT_EQ(fileUrlToPath(source), std::nullopt);
    }
}

TEST(LocationNormalise, TurnsFileUrlsIntoPaths)
{
    const Case cases[] = {
        {u"file:///tmp/My%20Clips/a.wav", u"/tmp/My Clips/a.wav"},
        {u"file:///tmp/a%2cb%2C.wav", u"/tmp/a,b,.wav"},
        {u"file:///tmp/%2G.wav", u"/tmp/%2G.wav"},
        {u"file:///tmp/a%4", u"/tmp/a%4"},
        {u"file:///tmp/a%00b/c.wav", u"/tmp/a"},
        {u"file:///tmp/%C3%A9t%C3%A9.wav", u"/tmp/été.wav"},
        {u"file:///tmp/%E9.wav", u"/tmp/é.wav"},
        {u"file:///tmp/été 中文.wav", u"/tmp/été 中文.wav"},
        {u"file:///tmp/a\\b%5C.wav", u"/tmp/a\\b\\.wav"},
        {u"file:///", u"/"},
        {u"file://host/share/x.mov", u"/share/x.mov"},
        {u"file://C:/x.mov", u"/x.mov"},
        {u"file:////./x", u"/x"},
        {u"file:////./dev/x", u"/dev/x"},
        {u"file:///%2Ftmp", u"//tmp"},
        {u"file:///tmp/\xDC00%41",
            u"/tmp/\xDC00"
            u"A"}, // lone surrogates survive
        {u"file://\xD800/x%20y", u"/x y"},
        {u"file:///%C3%A9\xDBFF", u"/é\xDBFF"},
    };
    for (const auto& [source, expected] : cases) {
        SCOPED_TRACE(shown(source));
        EXPECT_EQ(normaliseLocation(source), expected);
        EXPECT_EQ(fileUrlToPath(source), expected);
    }
}

TEST(LocationUrlDetection, MatchesTheWholeText)
{
    const struct {
        std::u16string_view text;
        bool urlScheme;
        bool fileUrl;
    } cases[] = {
        {u"", false, false},
        {u"file://", false, false}, // a URL needs something after the scheme
        {u"file://x", true, true},
        {u"http://x", true, false},
        {u"FILE:///x", true, false},
        {u"C://dir", true, false},
        {u"1http://x", false, false},
        {u" file:///x", false, false},
        {u"h\u00E9://x", false, false}, // scheme letters are ASCII
        {u"ht-tp://x", false, false},
        {u"://x", false, false},
        {u"file:/x", false, false},
    };
    for (const auto& [text, urlScheme, fileUrl] : cases) {
        SCOPED_TRACE(shown(text));
        EXPECT_EQ(hasUrlScheme(text), urlScheme);
        EXPECT_EQ(isFileUrl(text), fileUrl);
    }
}

// Escapes are decoded once; malformed ones stay; an escaped NUL ends the
// text. Bytes that are not part of well-formed UTF-8 stand for U+0000-U+00FF,
// and a broken sequence does not swallow a good one after it.
TEST(LocationPercentEscapes, DecodesEscapes)
{
    const Case cases[] = {
        {u"plain été 中文", u"plain été 中文"},
        {u"a%2cb%2Cc", u"a,b,c"},
        {u"%f0%9f%8e%ac", u"🎬"},
        {u"x%C3%A9y%E2%82%ACz", u"xéy€z"},
        {u"%2541", u"%41"},
        {u"%", u"%"},
        {u"a%4", u"a%4"},
        {u"%2G", u"%2G"},
        {u"%G2", u"%G2"},
        {u"100% sure", u"100% sure"},
        {u"%-1", u"%-1"},
        {u"% 41", u"% 41"},
        {u"%\xD800"
         u"41",
            u"%\xD800"
            u"41"},
        {u"%%41", u"%A"},
        {u"%4%41", u"%4A"},
        {u"%00", u""},
        {u"a%00%41", u"a"},
        {u"%C3%A9%00%41", u"é"},
        {u"%C3%00%A9", u"\u00C3"},
        {u"%FF", u"\u00FF"},
        {u"%80", u"\u0080"},
        {u"%C3%28", u"\u00C3("},
        {u"%C3x%A9", u"\u00C3x\u00A9"}, // not adjacent
        {u"%C3%C3%A9", u"\u00C3é"},
        {u"%80%C3%A9", u"\u0080é"},
        {u"%C0%AF", u"\u00C0\u00AF"},                   // overlong '/'
        {u"%E0%80%AF", u"\u00E0\u0080\u00AF"},          // overlong '/'
        {u"%ED%A0%80", u"\u00ED\u00A0\u0080"},          // an encoded surrogate
        {u"%F4%90%80%80", u"\u00F4\u0090\u0080\u0080"}, // past U+10FFFF
        {u"%F8%88%80%80%80", u"\u00F8\u0088\u0080\u0080\u0080"},
        {u"%E2%82x", u"\u00E2\u0082x"}, // cut short
        {u"%F0%9F%8E", u"\u00F0\u009F\u008E"},
    };
    for (const auto& [source, expected] : cases) {
        SCOPED_TRACE(shown(source));
        EXPECT_EQ(decodePercentEscapes(source), expected);
    }
}
