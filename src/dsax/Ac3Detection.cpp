// isAC3: whether a file is an AC-3 stream, asked of the system's AC-3
// parser by connecting the file to it.
#include "dsax/GraphCall.h"
#include "log/Log.h"
#include "platform/ExportGuard.h"
#include "platform/com/Com.h"
#include "platform/com/Guids.h"

#include <zuk/zuk.h>

namespace zuk {

namespace {

HRESULT detectAc3(const zuk_char* file, int32_t managed, uint8_t* found)
{
    *found = 0;
    LogString("----AC3 detection----\n");
    GraphCall call("Initialize COM interface\n", managed);
    if (FAILED(call.setUpResult()))
        return call.setUpResult();

    LogString("AC3:Calling CoCreateInstance for filter graph\n");
    IGraphBuilder* graph = nullptr;
    if (const HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                            reinterpret_cast<void**>(&graph));
        FAILED(hr))
        return logFailure("AC3: CoCreateInstance Failed hr= ", hr);
    LogString("AC3:Succeeded\n");
    call.keep(graph);

    LogString("AC3:Creating File source");
    IBaseFilter* source = nullptr;
    if (const HRESULT hr = CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                            reinterpret_cast<void**>(&source));
        FAILED(hr))
        return logFailure("AC3: Failed hr= ", hr);
    LogString("RAA:Succeeded\n");
    call.keep(source);
    graph->AddFilter(source, u"File input");

    LogString("Setting file name for our filter\n");
    IFileSourceFilter* fileSource = nullptr;
    if (const HRESULT hr = source->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void**>(&fileSource));
        FAILED(hr))
        return logFailure("RAA: Failed hr= ", hr);
    LogString("AC3:Succeeded\n");
    call.keep(fileSource);
    LogString("AC3: Setting Filename\n");
    if (const HRESULT hr = fileSource->Load(file, nullptr); FAILED(hr))
        return logFailure("Ac3: Failed hr= ", hr);

    LogString("AC3: trying to get AC3 parser");
    IBaseFilter* parser = nullptr;
    if (const HRESULT hr = CoCreateInstance(CLSID_AC3ParserFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                            reinterpret_cast<void**>(&parser));
        FAILED(hr))
        return logFailure("AC3: Failed hr= ", hr);
    call.keep(parser);
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
