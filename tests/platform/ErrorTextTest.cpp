// Result codes describe themselves in the platform's exact words, and codes
// it has no words for as "n/a".
#include "platform/com/ErrorText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

TEST(ErrorText, GivesThePublishedDescription)
{
    const struct {
        HRESULT code;
        const char* text;
    } cases[] = {
        {E_INVALIDARG, "An invalid parameter was passed to the returning function"},
        {E_OUTOFMEMORY, "Ran out of memory"},
        {S_OK, "The function completed successfully"},
        {E_FAIL, "An undetermined error occurred"},
        {REGDB_E_CLASSNOTREG, "Class not registered"},
        {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "The system cannot find the file specified."},
        {HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), "Access is denied"},
        {VFW_S_ESTIMATED, "The value returned had to be estimated.  Its accuracy cannot be guaranteed."},
        {VFW_E_BUFFER_NOTSET, "No buffer space has been set"},
        {VFW_E_INVALIDMEDIATYPE, "Unable to IDirectInputJoyConfig_Acquire because the user does not have sufficient "
                                 "privileges to change the joystick configuration. & An invalid media type was specified"},
        {VFW_E_RUNTIME_ERROR, "A mapper file function failed because reading or writing the user or IHV settings file "
                              "failed. & A run-time error occurred."},
        {VFW_E_CERTIFICATION_FAILURE, "An operation failed due to a certification failure."},
        {VFW_E_BAD_KEY, "A registry entry is corrupt."},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(DXGetErrorDescriptionA(c.code), c.text) << std::hex << static_cast<uint32_t>(c.code);
}

TEST(ErrorText, CodesWithoutDescriptionAreNotAvailable)
{
    const HRESULT codes[] = {
        VFW_E_VMR_NOT_IN_MIXER_MODE,
        VFW_E_DVD_CHAPTER_DOES_NOT_EXIST,
        RPC_E_CHANGED_MODE,
        HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION),
        hresult(0x12345678),
        hresult(0x8004023C), // in a gap between described codes
        hresult(2),          // between S_FALSE and the first VFW_S_ code
        hresult(0x80000000), // below every described code
        hresult(0x7FFFFFFF), // above every described code
    };
    for (const HRESULT code : codes)
        EXPECT_STREQ(DXGetErrorDescriptionA(code), "n/a") << std::hex << static_cast<uint32_t>(code);
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
        EXPECT_STRNE(entry.text, "");
    }
}
