// Identifiers print in registry form: upper-case hex, every field at its full
// width, and the last eight bytes split two and six.
#include "platform/com/Guid.h"
#include "platform/com/Guids.h"
#include "platform/com/Unknown.h"

#include <gtest/gtest.h>

TEST(GuidText, PrintsRegistryForm)
{
    const struct {
        GUID guid;
        const char* text;
    } cases[] = {
        {CLSID_FilterGraph, "{E436EBB3-524F-11CE-9F53-0020AF0BA770}"},
        {IID_IUnknown, "{00000000-0000-0000-C000-000000000046}"}, // leading zeros kept
        {GUID{0xFFFFFFFF, 0xFFFF, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
            "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(guidToString(c.guid), c.text);
}
