#include "platform/media/SampleGrabber.h"

#include "platform/media/BaseFilter.h"

#include <vector>

namespace zuk::media {

namespace {

class SampleGrabber : public Filter<ISampleGrabber> {
public:
    SampleGrabber() : Filter(CLSID_SampleGrabber)
    {
        input = &addPin(
            std::make_unique<SimplePin<SampleGrabber>>(*this, u"In", PINDIR_INPUT, &SampleGrabber::acceptsInput));
        output = &addPin(std::make_unique<SimplePin<SampleGrabber>>(
            *this, u"Out", PINDIR_OUTPUT, &SampleGrabber::acceptsNothing, &SampleGrabber::offersInputType));
    }

    bool acceptsInput(const BasePin&, const AM_MEDIA_TYPE& candidate) const
    {
        return MediaType(candidate).matches(wanted.get());
    }
    bool acceptsNothing(const BasePin&, const AM_MEDIA_TYPE&) const { return false; }
    std::vector<MediaType> offersInputType(const BasePin&) const { return typeOfInput(*input); }

    // A new type on the way in goes on out, so the renderer sees what arrives.
    void connectionChanged(BasePin& pin) override
    {
        if (&pin == input)
            followInputType(*input, *output);
    }

    HRESULT receive(BasePin&, const BYTE* data, long length, REFERENCE_TIME start, DWORD flags) override
    {
        if (keepBuffer)
            lastBuffer.assign(data, data + length);
        if (callback && callbackKind == 1)
            callback->BufferCB(static_cast<double>(start) / 1e7, const_cast<BYTE*>(data), length);
        if (output->isConnected())
            return output->deliver(data, length, start, flags);
        return S_OK;
    }

    HRESULT SetOneShot(BOOL oneShot) override { return oneShot ? E_NOTIMPL : S_OK; }

    HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override
    {
        if (type == nullptr)
            return E_POINTER;
        wanted = MediaType(*type);
        return S_OK;
    }

    HRESULT GetConnectedMediaType(AM_MEDIA_TYPE* type) override { return input->ConnectionMediaType(type); }

    HRESULT SetBufferSamples(BOOL buffer) override
    {
        keepBuffer = buffer != 0;
        if (!keepBuffer)
            lastBuffer.clear();
        return S_OK;
    }

    // `buffer` is a byte array of `*size` bytes; a null buffer asks for the size.
    HRESULT GetCurrentBuffer(long* size, long* buffer) override
    {
        if (size == nullptr)
            return E_POINTER;
        if (!keepBuffer)
            return E_INVALIDARG;
        if (lastBuffer.empty())
            return VFW_E_WRONG_STATE;
        if (buffer == nullptr) {
            *size = static_cast<long>(lastBuffer.size());
            return S_OK;
        }
        if (*size < static_cast<long>(lastBuffer.size()))
            return E_OUTOFMEMORY;
        std::copy(lastBuffer.begin(), lastBuffer.end(), reinterpret_cast<BYTE*>(buffer));
        *size = static_cast<long>(lastBuffer.size());
        return S_OK;
    }

    HRESULT GetCurrentSample(IMediaSample** sample) override
    {
        if (sample != nullptr)
            *sample = nullptr;
        return E_NOTIMPL;
    }

    // Only BufferCB is called: buffers here are bytes, not sample objects.
    HRESULT SetCallback(ISampleGrabberCB* receiver, long which) override
    {
        if (which != 0 && which != 1)
            return E_INVALIDARG;
        callback = ComPtr<ISampleGrabberCB>(receiver);
        callbackKind = which;
        return S_OK;
    }

private:
    void* queryExtra(REFIID iid) override { return Filter::queryExtra(iid); }

    BasePin* input = nullptr;
    BasePin* output = nullptr;
    MediaType wanted;
    ComPtr<ISampleGrabberCB> callback;
    long callbackKind = 0;
    bool keepBuffer = false;
    std::vector<BYTE> lastBuffer;
};

} // namespace

HRESULT createSampleGrabber(REFIID iid, void** object)
{
    return makeComObject<SampleGrabber>()->QueryInterface(iid, object);
}

} // namespace zuk::media
