// Identifiers print in registry form, the form the platform's headers and
// registry give them in, so a value copied wrongly shows as a different text.
#include "platform/com/Guid.h"
#include "platform/com/Guids.h"
#include "platform/com/Unknown.h"

#include <gtest/gtest.h>

TEST(GuidText, PrintsRegistryForm)
{
    const struct {
        const char* name;
        GUID guid;
        const char* text;
    } cases[] = {
        {"CLSID_FilterGraph", CLSID_FilterGraph, "{E436EBB3-524F-11CE-9F53-0020AF0BA770}"},
        {"CLSID_LibSndFileWrapper", CLSID_LibSndFileWrapper, "{9A80E195-3BBA-4821-B18B-21BB496F80F9}"},
        {"CLSID_AudioCompressorCategory", CLSID_AudioCompressorCategory, "{33D9A761-90C8-11D0-BD43-00A0C911CE86}"},
        {"IID_IUnknown", IID_IUnknown, "{00000000-0000-0000-C000-000000000046}"},
        {"IID_ISampleGrabber", IID_ISampleGrabber, "{6B652FFF-11FE-4FCE-92AD-0266B5D7C78F}"},
        {"MEDIASUBTYPE_PCM", MEDIASUBTYPE_PCM, "{00000001-0000-0010-8000-00AA00389B71}"},
        {"MEDIASUBTYPE_DOLBY_AC3", MEDIASUBTYPE_DOLBY_AC3, "{E06D802C-DB46-11CF-B4D1-00805F6CBBEA}"},
        {"FORMAT_WaveFormatEx", FORMAT_WaveFormatEx, "{05589F81-C356-11CE-BF01-00AA0055595A}"},
        {"FORMAT_MPEG2Video", FORMAT_MPEG2Video, "{E06D80E3-DB46-11CF-B4D1-00805F6CBBEA}"},
        {"TIME_FORMAT_MEDIA_TIME", TIME_FORMAT_MEDIA_TIME, "{7B785574-8C82-11CF-BC0C-00AA00AC74F6}"},
        {"TIME_FORMAT_NONE", TIME_FORMAT_NONE, "{00000000-0000-0000-0000-000000000000}"},
        {"all bits set", GUID{0xFFFFFFFF, 0xFFFF, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
            "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(guidToString(c.guid), c.text) << c.name;
}
