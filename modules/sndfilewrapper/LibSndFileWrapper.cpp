#include "LibSndFileWrapper.h"

#include "platform/SoundFile.h"
#include "platform/WideText.h"
#include "platform/com/ThrownFailure.h"
#include "platform/media/BaseFilter.h"
#include "platform/media/ReadableFile.h"

#include <string>
#include <vector>

namespace zuk::sndfilewrapper {

namespace {

using media::BasePin;
using media::Filter;
using media::MediaType;
using media::SimplePin;

constexpr sf_count_t kBlockFrames = 4096;
// Files with more channels are refused: no consumer of the layer takes such PCM.
constexpr int kMaxChannels = 64;
constexpr int64_t kUnitsPerSecond = 10'000'000;

bool isOfferable(const SF_INFO& info)
{
    return info.channels > 0 && info.channels <= kMaxChannels && info.samplerate > 0;
}

class LibSndFileWrapper : public Filter<IFileSourceFilter, IStreamSource> {
public:
    LibSndFileWrapper() : Filter(CLSID_LibSndFileWrapper)
    {
        output = &addPin(std::make_unique<SimplePin<LibSndFileWrapper>>(
            *this, u"Output", PINDIR_OUTPUT, &LibSndFileWrapper::acceptsNothing, &LibSndFileWrapper::offersPcm));
    }

    bool acceptsNothing(const BasePin&, const AM_MEDIA_TYPE&) const { return false; }

    std::vector<MediaType> offersPcm(const BasePin&) const
    {
        if (!file)
            return {};
        return {media::pcmAudioType(info.samplerate, info.channels)};
    }

    // ---- IFileSourceFilter (the caller's thread, before the graph runs) ----

    HRESULT Load(LPCOLESTR name, const AM_MEDIA_TYPE*) override
    {
        if (name == nullptr)
            return E_POINTER;
        if (file)
            return E_UNEXPECTED;
        return hresultOf([&] { return load(name); });
    }

    HRESULT GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* type) override
    {
        if (name == nullptr)
            return E_POINTER;
        *name = nullptr;
        if (!file)
            return E_FAIL;
        const auto describe = [&] {
            offersPcm(*output).front().copyTo(type);
            return S_OK;
        };
        if (type != nullptr)
            if (const HRESULT hr = hresultOf(describe); FAILED(hr))
                return hr;
        *name = media::newTaskMemoryText(fileName);
        if (*name == nullptr) {
            if (type != nullptr)
                FreeMediaType(*type);
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

    // ---- IStreamSource (the streaming thread) ----

    HRESULT DeliverNext() override
    {
        if (!file)
            return E_UNEXPECTED; // nothing loaded, so nothing can be connected
        if (ended)
            return S_FALSE;
        const sf_count_t frames = sf_readf_short(file.get(), block.data(), kBlockFrames);
        if (frames > 0)
            return deliverBlock(frames);
        if (sf_error(file.get()) != SF_ERR_NO_ERROR)
            return VFW_E_INVALID_FILE_FORMAT;
        ended = true;
        output->deliverEndOfStream();
        return S_FALSE;
    }

    bool IsConnected() override { return output->isConnected(); }

private:
    // The file is taken last: a failure, or a throw, leaves the filter unloaded.
    HRESULT load(const OLECHAR* name)
    {
        const auto path = pathFromWide(name);
        if (!path)
            return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
        if (const HRESULT hr = media::checkReadable(*path); FAILED(hr))
            return hr;
        return open(name);
    }

    HRESULT open(const OLECHAR* name)
    {
        SF_INFO opened{};
        SoundFilePtr handle = openSoundFile(name, SFM_READ, opened);
        if (!handle || !isOfferable(opened))
            return VFW_E_UNSUPPORTED_STREAM;
        block.resize(static_cast<size_t>(kBlockFrames) * static_cast<size_t>(opened.channels));
        fileName = name;
        info = opened;
        file = std::move(handle);
        return S_OK;
    }

    HRESULT deliverBlock(sf_count_t frames)
    {
        const REFERENCE_TIME start = framesDelivered * kUnitsPerSecond / info.samplerate;
        framesDelivered += frames;
        const auto bytes = static_cast<long>(frames * info.channels * static_cast<sf_count_t>(sizeof(int16_t)));
        return output->deliver(reinterpret_cast<const BYTE*>(block.data()), bytes, start, BUFFER_SYNC_POINT);
    }

    BasePin* output = nullptr;
    SoundFilePtr file;
    SF_INFO info{};
    std::u16string fileName;
    std::vector<int16_t> block;
    int64_t framesDelivered = 0;
    bool ended = false;
};

} // namespace

HRESULT createLibSndFileWrapper(REFIID iid, void** object)
{
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    return hresultOf([&] { return makeComObject<LibSndFileWrapper>()->QueryInterface(iid, object); });
}

} // namespace zuk::sndfilewrapper
