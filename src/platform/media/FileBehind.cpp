#include "platform/media/FileBehind.h"

#include "platform/WideText.h"
#include "platform/com/Com.h"

namespace zuk::media {

std::optional<std::string> fileBehind(IPin* connector)
{
    PIN_INFO info{};
    if (FAILED(connector->QueryPinInfo(&info)) || info.pFilter == nullptr)
        return std::nullopt;
    const auto filter = ComPtr<IBaseFilter>::adopt(info.pFilter);
    const auto source = filter.as<IFileSourceFilter>();
    if (!source)
        return std::nullopt;
    LPOLESTR name = nullptr;
    if (FAILED(source->GetCurFile(&name, nullptr)))
        return std::nullopt;
    auto path = pathFromWide(name);
    CoTaskMemFree(name);
    return path;
}

} // namespace zuk::media
