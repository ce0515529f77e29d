// BSTRs keep the Windows layout (byte-length prefix, NUL after the text) and
// VARIANTs free the strings they own.
#include "platform/com/Automation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string_view>
#include <utility>

using namespace std::literals;

TEST(Bstr, KeepsByteLengthPrefixAndTerminator)
{
    const struct {
        BSTR text;
        std::u16string_view expected;
    } cases[] = {
        {SysAllocString(u"Stéréo"), u"Stéréo"sv},
        {SysAllocString(u""), u""sv},
        {SysAllocStringLen(u"a\0b\0", 4), u"a\0b\0"sv}, // embedded NULs
        {SysAllocStringLen(u"abcdef", 2), u"ab"sv},
        {SysAllocStringLen(nullptr, 3), u"\0\0\0"sv},
    };
    for (const auto& c : cases) {
        ASSERT_NE(c.text, nullptr);
        uint32_t bytes;
        std::memcpy(&bytes, reinterpret_cast<const unsigned char*>(c.text) - sizeof bytes, sizeof bytes);
        EXPECT_EQ(bytes, c.expected.size() * sizeof(OLECHAR));
        EXPECT_EQ(std::u16string_view(c.text, SysStringLen(c.text)), c.expected);
        EXPECT_EQ(c.text[c.expected.size()], u'\0');
        SysFreeString(c.text);
    }
    // Null is the empty string; a length the prefix cannot hold is refused.
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
}

// The owner frees, moves and hands over its string; a VARIANT frees the one
// it owns, once, and refuses a kind it cannot free.
TEST(Bstr, OwnersFreeWhatTheyHold)
{
    BstrString name(u"take\0two"sv);
    BstrString moved = std::move(name);
    EXPECT_EQ(name.get(), nullptr);
    EXPECT_EQ(moved.view(), u"take\0two"sv);
    name = BstrString(u"other");
    EXPECT_EQ(name.view(), u"other");
    *moved.put() = SysAllocString(u"filled by a call");
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = moved.detach();
    EXPECT_EQ(moved.get(), nullptr);
    EXPECT_EQ(std::u16string_view(text.bstrVal), u"filled by a call");
    EXPECT_EQ(VariantClear(&text), S_OK);
    EXPECT_EQ(text.vt, VT_EMPTY);
    EXPECT_EQ(VariantClear(&text), S_OK); // clearing twice frees nothing twice
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
    text.vt = 9; // an interface pointer, which this layer never stores
    EXPECT_EQ(VariantClear(&text), DISP_E_BADVARTYPE);
    EXPECT_EQ(text.vt, 9);
}
