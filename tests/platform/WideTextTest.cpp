// UTF-16 paths to the UTF-8 the file system takes, and back.
#include "platform/WideText.h"

#include <gtest/gtest.h>

using zuk::pathFromWide;
using zuk::utf16ToUtf8;
using zuk::utf8ToUtf16;

TEST(WideText, RoundTripsEveryPlane)
{
    const std::u16string text = u"/tmp/a b/été – 中文 🎬.wav";
    const auto utf8 = utf16ToUtf8(text);
    ASSERT_TRUE(utf8);
    EXPECT_EQ(*utf8, "/tmp/a b/été – 中文 🎬.wav");
    EXPECT_EQ(utf8ToUtf16(*utf8), text);
}

TEST(WideText, LoneSurrogatesNameNoFile)
{
    EXPECT_FALSE(utf16ToUtf8(u"a\xD800"));
    EXPECT_FALSE(utf16ToUtf8(std::u16string{u'a', u'\xDC00', u'b'}));
    EXPECT_FALSE(utf16ToUtf8(u"lat\xDCE9")); // an escaped byte is no character
    EXPECT_FALSE(utf16ToUtf8(std::u16string{u'\xD800', u'\xD800', u'\xDC00'}));
    const zuk_char broken[] = {u'/', u'x', 0xDBFF, 0};
    EXPECT_FALSE(pathFromWide(broken));
}

TEST(WideText, NullAndEmptyNameNoFile)
{
    EXPECT_FALSE(pathFromWide(nullptr));
    EXPECT_FALSE(pathFromWide(u""));
    EXPECT_EQ(pathFromWide(u"x"), "x");
}

TEST(WideText, RejectsMalformedUtf8)
{
    EXPECT_FALSE(utf8ToUtf16("\xC0\xAF"));         // overlong '/'
    EXPECT_FALSE(utf8ToUtf16("\xED\xA0\x80"));     // an encoded surrogate
    EXPECT_FALSE(utf8ToUtf16("\xF4\x90\x80\x80")); // past U+10FFFF
    EXPECT_FALSE(utf8ToUtf16("abc\xE2\x82"));      // cut short
    EXPECT_FALSE(utf8ToUtf16("\x80"));             // a lone continuation byte
    EXPECT_EQ(utf8ToUtf16(""), u"");
}

// A Linux file name is any bytes: those that are not UTF-8 survive the trip
// through wide text as U+DC80..U+DCFF and come back as the same bytes.
TEST(WideText, FileNamesThatAreNotUtf8RoundTrip)
{
    const struct {
        std::string bytes;
        std::u16string wide;
    } rows[] = {
        {"lat\xE9.wav", u"lat\xDCE9.wav"},                      // Latin-1
        {"\xC3\xA9\xE9", u"\xE9\xDCE9"},                         // UTF-8, then a stray byte
        {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},                 // an encoded surrogate
        {"cut\xE2\x82", u"cut\xDCE2\xDC82"},                     // a sequence cut short
        {"/a/\xF0\x9F\x8E\xAC", u"/a/\xD83C\xDFAC"},             // valid UTF-8 stays itself
    };
    for (const auto& row : rows) {
        EXPECT_EQ(zuk::wideFromPath(row.bytes), row.wide) << row.bytes;
        EXPECT_EQ(pathFromWide(row.wide.c_str()), row.bytes) << row.bytes;
    }
    // Lone surrogates outside the escapes still name no file.
    EXPECT_FALSE(pathFromWide(u"a\xDC41"));
}
