// isAC3: whether a file is an AC-3 stream, asked of the system's AC-3
// parser by connecting the file to it.
#include "dsax/GraphCall.h"
#include "log/Log.h"
#include "platform/ExportGuard.h"
#include "platform/FileIdentity.h"
#include "platform/WideText.h"
#include "platform/com/Com.h"
#include "platform/com/Guids.h"

#include <zuk/zuk.h>

namespace zuk {

namespace {

HRESULT detectAc3(const zuk_char* file, int32_t managed, uint8_t* found)
{
    *found = 0;
    if (refusesFiles({}, {wideView(file)}, LogString))
        return E_INVALIDARG;
    LogString("----AC3 detection----\n");
    GraphCall call("Initialize COM interface\n", managed);
    if (FAILED(call.setUpResult()))
        return call.setUpResult();

    static constexpr FileGraphLines kLines{"AC3:Calling CoCreateInstance for filter graph\n",
        "AC3: CoCreateInstance Failed hr= ", "AC3:Succeeded\n", "AC3:Creating File source",
        "AC3: Failed hr= ", "RAA:Succeeded\n", "RAA: Failed hr= ", "AC3:Succeeded\n", "AC3: Setting Filename\n",
        "Ac3: Failed hr= "};
    IGraphBuilder* graph = nullptr;
    IBaseFilter* source = nullptr;
    if (const HRESULT hr = makeFileGraph(call, kLines, file, &graph, &source); FAILED(hr))
        return hr;

    LogString("AC3: trying to get AC3 parser");
    IBaseFilter* parser = nullptr;
    if (const HRESULT hr = createKept(call, CLSID_AC3ParserFilter, &parser); FAILED(hr))
        return logFailure("AC3: Failed hr= ", hr);
    graph->AddFilter(parser, u"AC3 Parser Filter");

    const HRESULT connected = connectFilters(graph, source, parser);
    if (SUCCEEDED(connected)) {
        LogString("Connection Succeeded. AC3 stream found");
        *found = 1;
    } else {
        LogString("Connection failed.  ");
    }
    return connected;
}

} // namespace

} // namespace zuk

extern "C" ZUK_API int32_t isAC3(const zuk_char* file, int32_t managed, uint8_t* found)
{
    if (found == nullptr)
        return E_POINTER;
    *found = 0;
    return zuk::guardExport("isAC3", E_UNEXPECTED, [&] { return zuk::detectAc3(file, managed, found); });
}
