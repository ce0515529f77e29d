// The published text of an HRESULT, for hosts that show the results of the
// graph operations to a person.
#include "platform/com/ErrorText.h"

#include <zuk/zuk.h>

extern "C" ZUK_API const char* zuk_hresult_text(int32_t hr)
{
    return DXGetErrorDescriptionA(hr);
}
