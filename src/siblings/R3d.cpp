// The R3D back end: lurrow.dll reads RED camera files. It takes its input
// name as multibyte text of the current locale.
#include "log/Log.h"
#include "platform/ExportGuard.h"
#include "platform/FileIdentity.h"
#include "platform/SharedLibrary.h"
#include "platform/WideText.h"

#include <zuk/zuk.h>

#include <optional>

namespace zuk {

namespace {

using ResampleR3dFunction = int32_t(const char*, const zuk_char*, ProgressCallback);

struct R3dBinding {
    SharedLibrary library;
    ResampleR3dFunction* resample;
};

std::optional<R3dBinding> loadR3d()
{
    LogString("------Get pointers for R3D related functions-------");
    auto library = SharedLibrary::load("lurrow.dll");
    if (!library) {
        LogString("lurrow pointer is null");
        return std::nullopt;
    }
    auto* resample = library->entryPoint<ResampleR3dFunction>("resampleR3DAudio");
    if (resample == nullptr) {
        LogString("Could not get function pointer");
        return std::nullopt;
    }
    LogString("Successfully acquired handles");
    return R3dBinding{std::move(*library), resample};
}

int32_t resampleR3d(const zuk_char* input, const zuk_char* output, ProgressCallback progress)
{
    LogString("----R3DResample Function -----\n");
    LogString("Aquiring handles to DLL, and function\n ");
    if (input == nullptr || output == nullptr)
        return ZUK_E_OPEN;
    if (refusesFiles({wideView(output)}, {wideView(input)}, LogString))
        return ZUK_E_OPEN;
    auto r3d = loadR3d();
    if (!r3d) {
        LogString("Could not get pointer");
        return ZUK_E_OPEN;
    }
    const std::u16string_view inputText = wideView(input);
    const auto inputName = toLocaleMultibyte(inputText, 3 * inputText.size() + 1);
    if (!inputName) {
        LogString("Could not convert from univode to multibyte filename representation\n");
        return ZUK_E_EXTRACT;
    }
    LogString(inputName->c_str());
    LogString("\n Extracting and Resampling \n");
    const int32_t result = r3d->resample(inputName->c_str(), output, progress);
    LogString("Freeing String buffer\n");
    LogString("Freeing Library Handle\n");
    return result;
}

} // namespace

} // namespace zuk

extern "C" ZUK_API int32_t R3DResample(const zuk_char* input, const zuk_char* output, ProgressCallback progress)
{
    return zuk::guardExport(
        "R3DResample", int32_t{ZUK_E_EXTRACT}, [&] { return zuk::resampleR3d(input, output, progress); });
}
