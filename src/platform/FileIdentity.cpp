#include "platform/FileIdentity.h"

#include "platform/WideText.h"

#include <sys/stat.h>
#include <unistd.h>

namespace zuk {

bool sameFile(const std::string& first, const std::string& second)
{
    struct stat a {};
    struct stat b {};
    return stat(first.c_str(), &a) == 0 && stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

bool writesOverAnInput(const std::vector<std::u16string>& written, const std::vector<std::u16string>& read,
                       void (*log)(const char*))
{
    for (const std::u16string& output : written) {
        const auto outputName = pathFromWide(output.c_str());
        for (const std::u16string& input : read) {
            const auto inputName = pathFromWide(input.c_str());
            if (!outputName || !inputName || !sameFile(*outputName, *inputName))
                continue;
            log(("ZUK: Error. " + *outputName + " is the input " + *inputName + "; nothing written\n").c_str());
            return true;
        }
    }
    return false;
}

bool clearForWriting(const std::u16string& path)
{
    const auto name = pathFromWide(path.c_str());
    struct stat found {};
    if (!name || ::lstat(name->c_str(), &found) != 0)
        return true; // nothing there (or nothing this call could read back)
    if (S_ISREG(found.st_mode))
        return ::unlink(name->c_str()) == 0;
    // A link stays where the user pointed it; what it leads to is emptied.
    // Devices and pipes hold nothing to read back and are never removed.
    struct stat target {};
    if (S_ISLNK(found.st_mode) && ::stat(name->c_str(), &target) == 0 && S_ISREG(target.st_mode))
        return ::truncate(name->c_str(), 0) == 0;
    return true;
}

} // namespace zuk
