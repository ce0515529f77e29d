#include "audio/IsSoundFile.h"

#include "log/Log.h"
#include "platform/SoundFile.h"

namespace zuk {

bool isSoundFile(const zuk_char* path)
{
    LogString("attempting to open audio File\n");
    SF_INFO info{};
    return openSoundFile(path, SFM_READ, info) != nullptr;
}

} // namespace zuk
