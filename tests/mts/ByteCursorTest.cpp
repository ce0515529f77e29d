// The bounded cursor under the transport-stream parsers: fields across byte
// boundaries, and reads past the end that give zeros and stay failed.
#include "mts/ByteCursor.h"
#include "TsBuilder.h"

#include <gtest/gtest.h>

#include <functional>

using namespace zuk;
using zuktest::mts::Bytes;

TEST(ByteCursorTest, FieldsAreReadHighBitFirstAcrossBytes)
{
    const Bytes bytes{0x5F, 0xFF, 0xB0, 0x0D, 0x80, 0, 0, 0, 0, 0, 0, 1};
    ByteCursor cursor(bytes);
    EXPECT_EQ(cursor.bits(3), 0b010u);
    EXPECT_EQ(cursor.bits(13), 0x1FFFu);
    EXPECT_EQ(cursor.bits(1), 1u);
    EXPECT_EQ(cursor.bits(3), 0b011u);
    EXPECT_EQ(cursor.bits(12), 13u);
    EXPECT_EQ(cursor.bits(64), 0x8000000000000001u);
    EXPECT_TRUE(cursor);
    EXPECT_EQ(cursor.remaining(), 0u);
}

TEST(ByteCursorTest, ReadsPastTheEndFailCleanly)
{
    const Bytes bytes{1, 2, 3, 4};
    const struct {
        const char* what;
        std::function<uint64_t(ByteCursor&)> read;
        uint64_t value;
        bool good;
    } cases[] = {
        {"bits past the end", [](ByteCursor& c) { return c.bits(33); }, 0, false},
        {"a failed read fails every later one",
            [](ByteCursor& c) {
                c.bits(40);
                return c.u8();
            },
            0, false},
        {"a skip to the end", [](ByteCursor& c) { return c.skip(4); }, 1, true},
        {"a skip past the end", [](ByteCursor& c) { return c.skip(5) || c.u8(); }, 0, false},
        {"bytes up to more than are left", [](ByteCursor& c) { return c.upTo(10).size(); }, 4, true},
        {"a byte read between bit fields",
            [](ByteCursor& c) {
                c.bits(4);
                return c.upTo(1).size();
            },
            0, false},
        {"a whole sub-range",
            [](ByteCursor& c) {
                c.skip(1);
                const uint64_t two = c.take(2).u16();
                return two + c.u8();
            },
            0x0207, true},
        {"a sub-range past the end fails both", [](ByteCursor& c) { return c.take(5).remaining(); }, 0, false},
        {"a clamped sub-range",
            [](ByteCursor& c) {
                const uint64_t two = c.takeUpTo(10).u16();
                return two + c.remaining();
            },
            0x0102, true},
    };
    for (const auto& c : cases) {
        ByteCursor cursor(bytes);
        EXPECT_EQ(c.read(cursor), c.value) << c.what;
        EXPECT_EQ(static_cast<bool>(cursor), c.good) << c.what;
    }
}
