#include "platform/media/FileSource.h"

#include "platform/media/BaseFilter.h"
#include "platform/WideText.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace zuk::media {

namespace {

// What the platform answers for a file that cannot be read.
HRESULT checkReadable(const std::string& path)
{
    struct stat status {};
    if (stat(path.c_str(), &status) != 0)
        return HRESULT_FROM_WIN32(errno == EACCES ? ERROR_ACCESS_DENIED
                                 : errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                     : ERROR_FILE_NOT_FOUND);
    if (S_ISDIR(status.st_mode))
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    if (access(path.c_str(), R_OK) != 0)
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    return S_OK;
}

class FileSource : public Filter<IFileSourceFilter> {
public:
    FileSource() : Filter(CLSID_AsyncReader)
    {
        addPin(std::make_unique<SimplePin<FileSource>>(*this, u"Output", PINDIR_OUTPUT, &FileSource::acceptsNothing,
                                                       &FileSource::offersStream));
    }

    bool acceptsNothing(const BasePin&, const AM_MEDIA_TYPE&) const { return false; }

    std::vector<MediaType> offersStream(const BasePin&) const
    {
        if (fileName.empty())
            return {};
        AM_MEDIA_TYPE stream{};
        stream.majortype = MEDIATYPE_Stream;
        stream.subtype = GUID_NULL;
        stream.formattype = FORMAT_None;
        stream.bFixedSizeSamples = 1;
        stream.lSampleSize = 1;
        return {MediaType(stream)};
    }

    HRESULT Load(LPCOLESTR name, const AM_MEDIA_TYPE*) override
    {
        if (name == nullptr)
            return E_POINTER;
        if (!fileName.empty())
            return E_UNEXPECTED;
        const auto path = pathFromWide(name);
        if (!path)
            return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
        if (const HRESULT hr = checkReadable(*path); FAILED(hr))
            return hr;
        fileName = name;
        return S_OK;
    }

    HRESULT GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* type) override
    {
        if (name == nullptr)
            return E_POINTER;
        *name = nullptr;
        if (fileName.empty())
            return E_FAIL;
        auto* text = static_cast<OLECHAR*>(CoTaskMemAlloc((fileName.size() + 1) * sizeof(OLECHAR)));
        if (text == nullptr)
            return E_OUTOFMEMORY;
        copyName(fileName, text, fileName.size() + 1);
        *name = text;
        if (type != nullptr) {
            const auto offered = offersStream(*pins().front());
            offered.front().copyTo(type);
        }
        return S_OK;
    }

private:
    void* queryExtra(REFIID iid) override { return Filter::queryExtra(iid); }

    std::u16string fileName;
};

} // namespace

HRESULT createFileSource(REFIID iid, void** object)
{
    return makeComObject<FileSource>()->QueryInterface(iid, object);
}

} // namespace zuk::media
