// The QuickTime back end: dornalt.dll does the work, but only where QuickTime
// itself is installed.
#include "log/Log.h"
#include "platform/ExportGuard.h"
#include "platform/FileIdentity.h"
#include "platform/SharedLibrary.h"
#include "platform/WideText.h"

#include <zuk/zuk.h>

#include <optional>

namespace zuk {

namespace {

using QtaxExtractFunction = int32_t(const zuk_char*, const zuk_char*, ProgressCallback);
using QtaxReplaceFunction = int32_t(int32_t, int32_t, int32_t);

template <class Function>
struct Binding {
    SharedLibrary library;
    Function* entry;
};

bool quickTimeInstalled()
{
    LogString("Checking if Quicktime is installed\n");
    if (!SharedLibrary::load("QTMLClient.dll")) {
        LogString("Quicktime Not Found\n");
        return false;
    }
    LogString("Quicktime installed\n");
    return true;
}

// dornalt.dll with its entry point `name`, or nothing (and nothing loaded).
template <class Function>
std::optional<Binding<Function>> loadDornalt(const char* name)
{
    if (!quickTimeInstalled())
        return std::nullopt;
    auto library = SharedLibrary::load("dornalt.dll");
    if (!library)
        return std::nullopt;
    Function* entry = library->entryPoint<Function>(name);
    if (entry == nullptr)
        return std::nullopt;
    return Binding<Function>{std::move(*library), entry};
}

std::optional<Binding<QtaxExtractFunction>> loadQtaxExtract()
{
    return loadDornalt<QtaxExtractFunction>("Qtax_Extraction");
}

std::optional<Binding<QtaxReplaceFunction>> loadQtaxReplace()
{
    return loadDornalt<QtaxReplaceFunction>("ReplaceAudioMov");
}

} // namespace

} // namespace zuk

extern "C" ZUK_API int32_t QuickTime_Installed()
{
    return zuk::guardExport("QuickTime_Installed", int32_t{ZUK_E_OPEN},
        [] { return zuk::quickTimeInstalled() ? int32_t{ZUK_OK} : int32_t{ZUK_E_OPEN}; });
}

extern "C" ZUK_API int32_t Qtax_Extraction(const zuk_char* input, const zuk_char* output, ProgressCallback progress)
{
    return zuk::guardExport("Qtax_Extraction", int32_t{ZUK_E_OPEN}, [&]() -> int32_t {
        // The back end is handed the paths as they are; it must never see null.
        if (input == nullptr || output == nullptr)
            return ZUK_E_OPEN;
        if (zuk::refusesFiles({zuk::wideView(output)}, {zuk::wideView(input)}, LogString))
            return ZUK_E_OPEN;
        const auto binding = zuk::loadQtaxExtract();
        if (!binding)
            return ZUK_E_OPEN;
        return binding->entry(input, output, progress);
    });
}

extern "C" ZUK_API int32_t ReplaceAudioMov(int32_t first, int32_t second, int32_t third)
{
    return zuk::guardExport("ReplaceAudioMov", int32_t{ZUK_E_OPEN}, [&]() -> int32_t {
        const auto binding = zuk::loadQtaxReplace();
        if (!binding)
            return ZUK_E_OPEN;
        return binding->entry(first, second, third);
    });
}
