// UTF-16 paths to the UTF-8 the file system takes, and back.
#include "platform/WideText.h"

#include <gtest/gtest.h>

using zuk::pathFromWide;
using zuk::utf16ToUtf8;
using zuk::utf8ToUtf16;

TEST(WideText, RoundTripsEveryPlaneAndRefusesMalformedText)
{
    const std::u16string text = u"/tmp/a b/été – 中文 🎬.wav";
    ASSERT_EQ(utf16ToUtf8(text), "/tmp/a b/été – 中文 🎬.wav");
    EXPECT_EQ(utf8ToUtf16(*utf16ToUtf8(text)), text);

    const std::u16string loneSurrogates[] = {u"a\xD800", {u'a', u'\xDC00', u'b'},
        u"lat\xDCE9" /* an escaped byte is no character */, {u'\xD800', u'\xD800', u'\xDC00'}};
    for (const auto& broken : loneSurrogates)
        EXPECT_FALSE(utf16ToUtf8(broken));
    for (const char* broken : {"\xC0\xAF" /* overlong '/' */, "\xED\xA0\x80" /* an encoded surrogate */,
             "\xF4\x90\x80\x80" /* past U+10FFFF */, "abc\xE2\x82" /* cut short */,
             "\x80" /* a lone continuation byte */})
        EXPECT_FALSE(utf8ToUtf16(broken)) << broken;
}

// A Linux file name is any bytes: those that are not UTF-8 survive the trip
// through wide text as U+DC80..U+DCFF and come back as the same bytes.
TEST(WideText, FileNamesRoundTripWhateverTheirBytes)
{
    const std::pair<std::string, std::u16string> rows[] = {
        {"x", u"x"}, {"lat\xE9.wav", u"lat\xDCE9.wav"}, // Latin-1
        {"\xC3\xA9\xE9", u"\xE9\xDCE9"},                // UTF-8, then a stray byte
        {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},        // an encoded surrogate
        {"cut\xE2\x82", u"cut\xDCE2\xDC82"},            // a sequence cut short
        {"/a/\xF0\x9F\x8E\xAC", u"/a/\xD83C\xDFAC"},    // valid UTF-8 stays itself
    };
    for (const auto& [bytes, wide] : rows) {
        EXPECT_EQ(zuk::wideFromPath(bytes), wide) << bytes;
        EXPECT_EQ(pathFromWide(wide.c_str()), bytes) << bytes;
    }
    // Null, empty, and lone surrogates outside the escapes name no file.
    const zuk_char broken[] = {u'/', u'x', 0xDBFF, 0};
    for (const zuk_char* name : {static_cast<const zuk_char*>(nullptr), u"", u"a\xDC41", broken})
        EXPECT_FALSE(pathFromWide(name));
}
