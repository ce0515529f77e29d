// Opening for hosts that set up COM themselves: no COM initialisation, and the
// handle's close leaves COM as it found it.
#pragma once

#include <zuk/dsax.h>

namespace dsax {

DSAX_MEDIA_INFO* dsax_open_no_coinit(const zuk_char* path);

} // namespace dsax
