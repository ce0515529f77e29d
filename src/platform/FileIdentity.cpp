#include "platform/FileIdentity.h"

#include "platform/WideText.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace zuk {

bool sameFile(const std::string& first, const std::string& second)
{
    struct stat a {};
    struct stat b {};
    return stat(first.c_str(), &a) == 0 && stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

namespace {

// Empty for text that names no file.
std::string nameOf(std::u16string_view path)
{
    return utf16ToUtf8(path).value_or(std::string());
}

} // namespace

bool writesOverAnInput(const std::vector<std::u16string>& written, const std::vector<std::u16string>& read,
                       void (*log)(const char*))
{
    for (const std::u16string& output : written) {
        const std::string outputName = nameOf(output);
        for (const std::u16string& input : read) {
            const std::string inputName = nameOf(input);
            if (outputName.empty() || inputName.empty() || !sameFile(outputName, inputName))
                continue;
            log(("ZUK: Error. " + outputName + " is the input " + inputName + "; nothing written\n").c_str());
            return true;
        }
    }
    return false;
}

bool clearForWriting(std::u16string_view path)
{
    const std::string name = nameOf(path);
    return name.empty() || ::unlink(name.c_str()) == 0 || errno == ENOENT || errno == ENOTDIR;
}

} // namespace zuk
