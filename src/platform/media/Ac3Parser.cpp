#include "platform/media/Ac3Parser.h"

#include "platform/com/Guids.h"
#include "platform/media/BaseFilter.h"
#include "platform/media/FileBehind.h"
#include "platform/media/ffmpeg/MediaProbe.h"

namespace zuk::media {

namespace {

class Ac3Parser : public Filter<> {
public:
    Ac3Parser() : Filter(CLSID_AC3ParserFilter)
    {
        input =
            &addPin(std::make_unique<SimplePin<Ac3Parser>>(*this, u"Input", PINDIR_INPUT, &Ac3Parser::acceptsStream));
        addPin(std::make_unique<SimplePin<Ac3Parser>>(
            *this, u"Output", PINDIR_OUTPUT, &Ac3Parser::acceptsNothing, &Ac3Parser::offersAc3));
    }

    bool acceptsStream(const BasePin&, const AM_MEDIA_TYPE& type) const
    {
        return IsEqualGUID(type.majortype, MEDIATYPE_Stream);
    }
    bool acceptsNothing(const BasePin&, const AM_MEDIA_TYPE&) const { return false; }

    std::vector<MediaType> offersAc3(const BasePin&) const
    {
        if (!input->isConnected())
            return {};
        AM_MEDIA_TYPE type{};
        type.majortype = MEDIATYPE_Audio;
        type.subtype = MEDIASUBTYPE_DOLBY_AC3;
        type.formattype = FORMAT_None;
        return {MediaType(type)};
    }

    // The bytes decide, not the file's name: anything else is refused as a type.
    HRESULT checkConnect(BasePin& pin, const AM_MEDIA_TYPE&, IPin* connector) override
    {
        if (&pin != input)
            return S_OK;
        const auto file = fileBehind(connector);
        if (!file)
            return VFW_E_NO_TRANSPORT;
        return isAc3Stream(*file) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }

private:
    BasePin* input = nullptr;
};

} // namespace

HRESULT createAc3Parser(REFIID iid, void** object)
{
    return createComInstance<Ac3Parser>(iid, object);
}

} // namespace zuk::media
