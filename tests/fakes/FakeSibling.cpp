// Stand-ins for the back ends libzuk.so opens by name (libQTMLClient.so,
// libdornalt.so, libvostrin.so, liblurrow.so, and a libsndfilewrapper.so
// without its class factory), named by ZUK_FAKE_NAME; ZUK_FAKE_BARE leaves out
// every entry point, ZUK_FAKE_NO_FRAME_RATE mfax_GetFrameRate. They link
// nothing of the project. Steered by environment variables, read at each call:
//   ZUK_FAKE_<LIB>_RESULT  what every entry point returns (unset: 0);
//   ZUK_FAKE_<LIB>_WAV     a file an extraction copies to its output;
//   ZUK_FAKE_VOSTRIN_RATE  "N/D" that mfax_GetFrameRate stores;
//   ZUK_FAKE_CALLS         a file that gets a line of TAB-separated fields for
//       each load, call and unload: "<lib>\tloaded", "<lib>\tunloaded",
//       "<lib>\t<entry point>\t<arguments...>"; paths in ASCII, null "(null)".
// Every extraction calls progress(50.0f) when it is given one.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

// Kept apart from zuk.h on purpose: a fake must not depend on the project.
typedef char16_t zuk_char;
typedef int (*ProgressCallback)(float percent);

#define ZUK_FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

int32_t result(const char* variable)
{
    const char* text = std::getenv(variable);
    return text != nullptr ? static_cast<int32_t>(std::strtol(text, nullptr, 10)) : 0;
}

// The tests hand the fakes ASCII paths only.
std::string ascii(const zuk_char* text)
{
    return text != nullptr ? std::string(text, text + std::char_traits<zuk_char>::length(text)) : "(null)";
}

// One line, one write(): O_APPEND makes each write land whole at the end,
// whichever thread or process wrote before.
void logCall(std::initializer_list<std::string_view> fields)
{
    const char* path = std::getenv("ZUK_FAKE_CALLS");
    const int fd = path != nullptr ? ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
    if (fd < 0)
        return;
    std::string line;
    for (std::string_view field : fields)
        (line += field) += '\t';
    line.back() = '\n';
    (void)!::write(fd, line.data(), line.size());
    ::close(fd);
}

// Logs the loading, and the unloading when dlclose (or process exit) unmaps the library.
struct LoadLog {
    LoadLog() { logCall({ZUK_FAKE_NAME, "loaded"}); }
    ~LoadLog() { logCall({ZUK_FAKE_NAME, "unloaded"}); }
} loadLog;

// Copies ZUK_FAKE_<LIB>_WAV to `output`, reports progress, and returns the
// configured result: an extraction, as the library under test sees it.
[[maybe_unused]] int32_t extract(const char* library, const zuk_char* output, ProgressCallback progress)
{
    const std::string prefix = std::string("ZUK_FAKE_") + library;
    const char* source = std::getenv((prefix + "_WAV").c_str());
    const int in = source != nullptr && output != nullptr ? ::open(source, O_RDONLY | O_CLOEXEC) : -1;
    const int out = in >= 0 ? ::open(ascii(output).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644) : -1;
    while (out >= 0 && ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0) > 0) { }
    ::close(out);
    ::close(in);
    if (progress != nullptr)
        progress(50.0f);
    return result((prefix + "_RESULT").c_str());
}

} // namespace

#ifndef ZUK_FAKE_BARE
#if defined(ZUK_FAKE_DORNALT)
ZUK_FAKE_EXPORT int32_t Qtax_Extraction(const zuk_char* input, const zuk_char* output, ProgressCallback progress)
{
    logCall({"dornalt", "Qtax_Extraction", ascii(input), ascii(output)});
    return extract("DORNALT", output, progress);
}

ZUK_FAKE_EXPORT int32_t ReplaceAudioMov(int32_t a, int32_t b, int32_t c)
{
    // snprintf rather than std::to_string, whose GNU "unique" symbol would pin the library.
    char numbers[40];
    std::snprintf(numbers, sizeof numbers, "%" PRId32 "\t%" PRId32 "\t%" PRId32, a, b, c);
    logCall({"dornalt", "ReplaceAudioMov", numbers});
    return result("ZUK_FAKE_DORNALT_RESULT");
}
#elif defined(ZUK_FAKE_VOSTRIN)
ZUK_FAKE_EXPORT int32_t mfax_ExtractAudio(const zuk_char* input, const zuk_char* output, ProgressCallback progress)
{
    logCall({"vostrin", "mfax_ExtractAudio", ascii(input), ascii(output)});
    return extract("VOSTRIN", output, progress);
}

#ifndef ZUK_FAKE_NO_FRAME_RATE
ZUK_FAKE_EXPORT int32_t mfax_GetFrameRate(const zuk_char* input, uint32_t* numerator, uint32_t* denominator)
{
    logCall({"vostrin", "mfax_GetFrameRate", ascii(input)});
    const char* rate = std::getenv("ZUK_FAKE_VOSTRIN_RATE");
    if (rate != nullptr && numerator != nullptr && denominator != nullptr)
        std::sscanf(rate, "%" SCNu32 "/%" SCNu32, numerator, denominator);
    return result("ZUK_FAKE_VOSTRIN_RESULT");
}
#endif
#elif defined(ZUK_FAKE_LURROW)
ZUK_FAKE_EXPORT int32_t resampleR3DAudio(const char* inputMultibyte, const zuk_char* output, ProgressCallback progress)
{
    logCall({"lurrow", "resampleR3DAudio", inputMultibyte != nullptr ? inputMultibyte : "(null)", ascii(output)});
    return extract("LURROW", output, progress);
}
#endif
#endif
