#include "platform/media/NullRenderer.h"

#include "platform/media/BaseFilter.h"

namespace zuk::media {

namespace {

class NullRenderer : public Filter<> {
public:
    NullRenderer() : Filter(CLSID_NullRenderer)
    {
        addPin(std::make_unique<SimplePin<NullRenderer>>(*this, u"In", PINDIR_INPUT, &NullRenderer::acceptsAll));
    }

    bool acceptsAll(const BasePin&, const AM_MEDIA_TYPE&) const { return true; }

    HRESULT receive(BasePin&, const BYTE*, long, REFERENCE_TIME, DWORD) override { return S_OK; }

    HRESULT endOfStream(BasePin&) override
    {
        notifyGraph(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(baseFilter()));
        return S_OK;
    }
};

} // namespace

HRESULT createNullRenderer(REFIID iid, void** object)
{
    return makeComObject<NullRenderer>()->QueryInterface(iid, object);
}

} // namespace zuk::media
