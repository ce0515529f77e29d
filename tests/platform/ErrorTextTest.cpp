// Result codes describe themselves in the platform's exact words, and codes
// it has no words for as "n/a".
#include "platform/com/ErrorText.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(ErrorText, GivesThePublishedDescriptionOrNotAvailable)
{
    const struct {
        HRESULT code;
        const char* text;
    } cases[] = {
        {S_OK, "The function completed successfully"}, {E_FAIL, "An undetermined error occurred"},
        {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "The system cannot find the file specified."},
        {VFW_S_ESTIMATED, "The value returned had to be estimated.  Its accuracy cannot be guaranteed."},
        {VFW_E_INVALIDMEDIATYPE,
            "Unable to IDirectInputJoyConfig_Acquire because the user does not have sufficient "
            "privileges to change the joystick configuration. & An invalid media type was specified"},
        {VFW_E_BAD_KEY, "A registry entry is corrupt."},
        {hresult(0x8004023C), "n/a"}, // in a gap between described codes
        {hresult(0x80000000), "n/a"}, // below every described code
        {hresult(0x7FFFFFFF), "n/a"}, // above every described code
    };
    for (const auto& c : cases)
        EXPECT_STREQ(DXGetErrorDescriptionA(c.code), c.text) << std::hex << static_cast<uint32_t>(c.code);
}

// The lookup is a binary search: an entry out of order or twice could be
// missed, and then a described code would print as "n/a".
TEST(ErrorText, EveryDescribedCodeIsFound)
{
    const auto table = describedErrors();
    ASSERT_FALSE(table.empty());
    for (size_t i = 1; i < table.size(); ++i)
        EXPECT_LT(table[i - 1].code, table[i].code) << "entry " << i;
    for (const ErrorDescription& entry : table) {
        EXPECT_EQ(DXGetErrorDescriptionA(entry.code), entry.text) << std::hex << static_cast<uint32_t>(entry.code);
        EXPECT_STRNE(entry.text, "n/a");
    }
}
