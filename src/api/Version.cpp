// The library's version, for hosts that load it at run time and must know
// which one they got.
#include <zuk/zuk.h>

extern "C" ZUK_API const char* zuk_version(void)
{
    return ZUK_VERSION;
}
