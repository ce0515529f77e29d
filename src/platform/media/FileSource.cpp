#include "platform/media/FileSource.h"

#include "platform/WideText.h"
#include "platform/media/BaseFilter.h"
#include "platform/media/ReadableFile.h"

#include <string>

namespace zuk::media {

namespace {

class FileSource : public Filter<IFileSourceFilter> {
public:
    FileSource() : Filter(CLSID_AsyncReader)
    {
        addPin(std::make_unique<SimplePin<FileSource>>(
            *this, u"Output", PINDIR_OUTPUT, &FileSource::acceptsNothing, &FileSource::offersStream));
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
        *name = newTaskMemoryText(fileName);
        if (*name == nullptr)
            return E_OUTOFMEMORY;
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
