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
