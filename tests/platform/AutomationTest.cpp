// BSTRs keep the Windows layout (byte-length prefix, NUL after the text) and
// VARIANTs free the strings they own.
#include "platform/com/Automation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string_view>
#include <utility>

using namespace std::literals;

namespace {

uint32_t prefixOf(BSTR text)
{
    uint32_t bytes;
    std::memcpy(&bytes, reinterpret_cast<const unsigned char*>(text) - sizeof bytes, sizeof bytes);
    return bytes;
}

} // namespace

TEST(Bstr, KeepsByteLengthPrefixAndTerminator)
{
    const struct {
        const char* what;
        BSTR text;
        std::u16string_view expected;
    } cases[] = {
        {"plain", SysAllocString(u"Stéréo"), u"Stéréo"sv},
        {"empty", SysAllocString(u""), u""sv},
        {"embedded NULs", SysAllocStringLen(u"a\0b\0", 4), u"a\0b\0"sv},
        {"first characters only", SysAllocStringLen(u"abcdef", 2), u"ab"sv},
        {"zeros for no source", SysAllocStringLen(nullptr, 3), u"\0\0\0"sv},
    };
    for (const auto& c : cases) {
        ASSERT_NE(c.text, nullptr) << c.what;
        EXPECT_EQ(prefixOf(c.text), c.expected.size() * sizeof(OLECHAR)) << c.what;
        EXPECT_EQ(std::u16string_view(c.text, SysStringLen(c.text)), c.expected) << c.what;
        EXPECT_EQ(c.text[c.expected.size()], u'\0') << c.what;
        SysFreeString(c.text);
    }
    // Null is the empty string; a length the prefix cannot hold is refused.
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
}

TEST(Bstr, OwnerFreesMovesAndHandsOver)
{
    BstrString name(u"take\0two"sv);
    BstrString moved = std::move(name);
    EXPECT_EQ(name.get(), nullptr);
    EXPECT_EQ(moved.view(), u"take\0two"sv);
    moved = BstrString(u"other");
    EXPECT_EQ(moved.view(), u"other");

    *moved.put() = SysAllocString(u"filled by a call");
    BSTR handedOver = moved.detach();
    EXPECT_EQ(moved.get(), nullptr);
    EXPECT_EQ(std::u16string_view(handedOver), u"filled by a call");
    SysFreeString(handedOver);
}

TEST(Variant, ClearFreesWhatItOwnsAndRefusesWhatItCannotFree)
{
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = BstrString(u"owned by the variant").detach();
    EXPECT_EQ(VariantClear(&text), S_OK);
    EXPECT_EQ(text.vt, VT_EMPTY);
    EXPECT_EQ(VariantClear(&text), S_OK); // clearing twice frees nothing twice

    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
    VARIANT unknown;
    VariantInit(&unknown);
    unknown.vt = 9; // an interface pointer, which this layer never stores
    EXPECT_EQ(VariantClear(&unknown), DISP_E_BADVARTYPE);
    EXPECT_EQ(unknown.vt, 9);
}
