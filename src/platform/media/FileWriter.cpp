#include "platform/media/FileWriter.h"

#include "platform/WideText.h"
#include "platform/media/BaseFilter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

namespace zuk::media {

namespace {

// What the platform answers for a file that cannot be created or written.
HRESULT createFailure(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    case EMFILE:
    case ENFILE:
        return HRESULT_FROM_WIN32(ERROR_TOO_MANY_OPEN_FILES);
    default:
        return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
    }
}

HRESULT writeFailure(int error)
{
    return error == ENOSPC || error == EDQUOT ? HRESULT_FROM_WIN32(ERROR_DISK_FULL)
                                              : HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
}

// An open file descriptor, closed with it.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int descriptor) : fd(descriptor) { }
    ~Descriptor() { close(); }
    Descriptor(Descriptor&& other) noexcept : fd(std::exchange(other.fd, -1)) { }
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        if (this != &other) {
            close();
            fd = std::exchange(other.fd, -1);
        }
        return *this;
    }

    int get() const { return fd; }
    bool isOpen() const { return fd >= 0; }
    // 0, or the errno of a close that failed (data that never reached the file).
    int close()
    {
        if (fd < 0)
            return 0;
        // Linux releases the descriptor even when close reports an error: never retry.
        const int result = ::close(std::exchange(fd, -1));
        return result == 0 ? 0 : errno;
    }

private:
    int fd = -1;
};

class FileWriter : public Filter<IFileSinkFilter2> {
public:
    FileWriter() : Filter(CLSID_FileWriter)
    {
        addPin(std::make_unique<SimplePin<FileWriter>>(*this, u"in", PINDIR_INPUT, &FileWriter::acceptsStream));
    }

    bool acceptsStream(const BasePin&, const AM_MEDIA_TYPE& type) const
    {
        return IsEqualGUID(type.majortype, MEDIATYPE_Stream);
    }

    // IFileSinkFilter: the name is only checked and kept here; the file is
    // created when the graph runs.
    HRESULT SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE* type) override
    {
        if (name == nullptr)
            return E_POINTER;
        auto path = pathFromWide(name);
        if (!path)
            return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
        try {
            fileType = type != nullptr ? MediaType(*type) : MediaType();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        fileName = name;
        filePath = std::move(*path);
        return S_OK;
    }

    HRESULT GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* type) override
    {
        if (name == nullptr)
            return E_POINTER;
        *name = nullptr;
        if (fileName.empty())
            return E_FAIL;
        OLECHAR* text = newTaskMemoryText(fileName);
        if (text == nullptr)
            return E_OUTOFMEMORY;
        if (type != nullptr) {
            try {
                fileType.copyTo(type);
            } catch (const std::bad_alloc&) {
                CoTaskMemFree(text);
                return E_OUTOFMEMORY;
            }
        }
        *name = text;
        return S_OK;
    }

    // IFileSinkFilter2: files are always created anew (no AM_FILE_OVERWRITE
    // choice to make), so the mode is only kept.
    HRESULT SetMode(DWORD flags) override
    {
        mode = flags;
        return S_OK;
    }

    HRESULT GetMode(DWORD* flags) override
    {
        if (flags == nullptr)
            return E_POINTER;
        *flags = mode;
        return S_OK;
    }

    HRESULT stateChanging(FILTER_STATE next) override
    {
        if (next == State_Stopped) {
            file.close(); // a stream stopped part way: what it wrote stays as it is
            return S_OK;
        }
        if (state() != State_Stopped)
            return S_OK;
        return createFile();
    }

    HRESULT receive(BasePin&, const BYTE* data, long length, REFERENCE_TIME start, DWORD) override
    {
        if (!file.isOpen())
            return VFW_E_WRONG_STATE;
        if (length < 0 || start < 0 || (data == nullptr && length > 0))
            return E_INVALIDARG;
        const HRESULT hr = writeAt(data, static_cast<size_t>(length), static_cast<off_t>(start));
        if (FAILED(hr) && SUCCEEDED(writeError))
            writeError = hr;
        return hr;
    }

    // The file is complete: close it, and tell the graph whether it holds everything.
    HRESULT endOfStream(BasePin&) override
    {
        if (!file.isOpen())
            return VFW_E_WRONG_STATE;
        if (const int error = file.close(); error != 0 && SUCCEEDED(writeError))
            writeError = writeFailure(error);
        if (FAILED(writeError)) {
            notifyGraph(EC_ERRORABORT, writeError, rendererId());
            return writeError;
        }
        notifyGraph(EC_COMPLETE, S_OK, rendererId());
        return S_OK;
    }

private:
    HRESULT createFile()
    {
        if (filePath.empty())
            return E_UNEXPECTED; // no file named yet
        const int fd = open(filePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0)
            return createFailure(errno);
        file = Descriptor(fd);
        writeError = S_OK;
        return S_OK;
    }

    HRESULT writeAt(const BYTE* data, size_t length, off_t offset)
    {
        while (length > 0) {
            const ssize_t written = pwrite(file.get(), data, length, offset);
            if (written < 0 && errno == EINTR)
                continue;
            if (written < 0)
                return writeFailure(errno);
            if (written == 0)
                return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
            data += written;
            length -= static_cast<size_t>(written);
            offset += written;
        }
        return S_OK;
    }

    // How the graph tells its renderers apart.
    LONG_PTR rendererId() { return reinterpret_cast<LONG_PTR>(baseFilter()); }

    void* queryExtra(REFIID iid) override
    {
        if (IsEqualGUID(iid, IID_IFileSinkFilter))
            return static_cast<IFileSinkFilter*>(this);
        return Filter::queryExtra(iid);
    }

    DWORD mode = 0;
    std::u16string fileName;
    std::string filePath;
    MediaType fileType;
    Descriptor file;
    HRESULT writeError = S_OK; // the first write of this run that failed
};

} // namespace

HRESULT createFileWriter(REFIID iid, void** object)
{
    return makeComObject<FileWriter>()->QueryInterface(iid, object);
}

} // namespace zuk::media
