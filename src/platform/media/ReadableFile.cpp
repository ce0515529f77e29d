#include "platform/media/ReadableFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace zuk::media {

HRESULT checkReadable(const std::string& path)
{
    struct stat status { };
    if (stat(path.c_str(), &status) != 0)
        return HRESULT_FROM_WIN32(errno == EACCES ? ERROR_ACCESS_DENIED
                : errno == ENOTDIR                ? ERROR_PATH_NOT_FOUND
                                                  : ERROR_FILE_NOT_FOUND);
    if (S_ISDIR(status.st_mode))
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    if (access(path.c_str(), R_OK) != 0)
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    return S_OK;
}

} // namespace zuk::media
