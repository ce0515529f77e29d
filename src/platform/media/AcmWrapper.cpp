#include "platform/media/AcmWrapper.h"

#include "platform/com/Guids.h"
#include "platform/media/BaseFilter.h"

namespace zuk::media {

namespace {

class AcmWrapper : public Filter<> {
public:
    AcmWrapper() : Filter(CLSID_ACMWrapper)
    {
        input =
            &addPin(std::make_unique<SimplePin<AcmWrapper>>(*this, u"Input", PINDIR_INPUT, &AcmWrapper::acceptsPcm));
        output = &addPin(std::make_unique<SimplePin<AcmWrapper>>(
            *this, u"Output", PINDIR_OUTPUT, &AcmWrapper::acceptsNothing, &AcmWrapper::offersInput));
    }

    bool acceptsPcm(const BasePin&, const AM_MEDIA_TYPE& type) const
    {
        const MediaType offered(type);
        const WAVEFORMATEX* format = offered.waveFormat();
        return IsEqualGUID(type.majortype, MEDIATYPE_Audio) && IsEqualGUID(type.subtype, MEDIASUBTYPE_PCM) &&
            format != nullptr && format->nChannels > 0 && format->nSamplesPerSec > 0;
    }
    bool acceptsNothing(const BasePin&, const AM_MEDIA_TYPE&) const { return false; }

    std::vector<MediaType> offersInput(const BasePin&) const { return typeOfInput(*input); }

    void connectionChanged(BasePin& pin) override
    {
        if (&pin == input)
            followInputType(*input, *output);
    }

    HRESULT receive(BasePin&, const BYTE* data, long length, REFERENCE_TIME start, DWORD flags) override
    {
        return output->deliver(data, length, start, flags);
    }

private:
    BasePin* input = nullptr;
    BasePin* output = nullptr;
};

} // namespace

HRESULT createAcmWrapper(REFIID iid, void** object)
{
    return createComInstance<AcmWrapper>(iid, object);
}

} // namespace zuk::media
