#include "platform/FileIdentity.h"

#include "platform/WideText.h"

#include <sys/stat.h>
#include <unistd.h>

namespace zuk {

namespace {

// True when both paths name existing files that are one file (one inode).
bool sameFile(const std::string& first, const std::string& second)
{
    struct stat a { };
    struct stat b { };
    return stat(first.c_str(), &a) == 0 && stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
        a.st_ino == b.st_ino;
}

const char* kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a pipe";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    return "a socket";
}

bool readsWhatIsNoFile(const std::vector<std::string>& read, void (*log)(const char*))
{
    for (const std::string& input : read) {
        struct stat found { };
        if (::stat(input.c_str(), &found) != 0 || S_ISREG(found.st_mode))
            continue;
        log(("ZUK: Error. " + input + " is not a regular file but " + kindOf(found.st_mode) + "; nothing read\n")
                .c_str());
        return true;
    }
    return false;
}

bool writesOverAnInput(
    const std::vector<std::string>& written, const std::vector<std::string>& read, void (*log)(const char*))
{
    for (const std::string& output : written) {
        for (const std::string& input : read) {
            if (!sameFile(output, input))
                continue;
            std::string message = "ZUK: Error. ";
            message.append(output).append(" is the input ").append(input).append("; nothing written\n");
            log(message.c_str());
            return true;
        }
    }
    return false;
}

// The paths of the wide names; a name that is no path names no file.
std::vector<std::string> pathsOf(const std::vector<std::u16string_view>& names)
{
    std::vector<std::string> paths;
    for (const std::u16string_view name : names)
        if (auto path = pathFromWide(std::u16string(name).c_str()))
            paths.push_back(std::move(*path));
    return paths;
}

} // namespace

bool refusesPaths(
    const std::vector<std::string>& written, const std::vector<std::string>& read, void (*log)(const char*))
{
    return readsWhatIsNoFile(read, log) || writesOverAnInput(written, read, log);
}

bool refusesFiles(const std::vector<std::u16string_view>& written, const std::vector<std::u16string_view>& read,
    void (*log)(const char*))
{
    return refusesPaths(pathsOf(written), pathsOf(read), log);
}

bool clearForWriting(const std::u16string& path)
{
    const auto name = pathFromWide(path.c_str());
    struct stat found { };
    if (!name || ::lstat(name->c_str(), &found) != 0)
        return true; // nothing there (or nothing this call could read back)
    if (S_ISREG(found.st_mode))
        return ::unlink(name->c_str()) == 0;
    // A link stays where the user pointed it; what it leads to is emptied.
    // Devices and pipes hold nothing to read back and are never removed.
    struct stat target { };
    if (S_ISLNK(found.st_mode) && ::stat(name->c_str(), &target) == 0 && S_ISREG(target.st_mode))
        return ::truncate(name->c_str(), 0) == 0;
    return true;
}

} // namespace zuk
