#include "platform/SoundFile.h"

#include "platform/WideText.h"

#include <sys/stat.h>

namespace zuk {

SoundFilePtr openSoundFile(const zuk_char* path, int mode, SF_INFO& info)
{
    const auto name = pathFromWide(path);
    if (!name)
        return nullptr;
    return SoundFilePtr(sf_open(name->c_str(), mode, &info));
}

bool namesSameFile(const zuk_char* first, const zuk_char* second)
{
    const auto firstName = pathFromWide(first);
    const auto secondName = pathFromWide(second);
    struct stat firstStatus {};
    struct stat secondStatus {};
    return firstName && secondName && stat(firstName->c_str(), &firstStatus) == 0 &&
           stat(secondName->c_str(), &secondStatus) == 0 && firstStatus.st_dev == secondStatus.st_dev &&
           firstStatus.st_ino == secondStatus.st_ino;
}

bool closeSoundFile(SoundFilePtr& file)
{
    if (!file)
        return true;
    return sf_close(file.release()) == 0;
}

} // namespace zuk
