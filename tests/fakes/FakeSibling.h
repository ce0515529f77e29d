/*
 * Stand-ins for the optional back ends libzuk.so opens by name
 * (libQTMLClient.so, libdornalt.so, libvostrin.so, liblurrow.so). They link
 * nothing of the project, so libzuk sees a foreign library like the real one.
 * ZUK_FAKES_DIR holds one folder per variant (see CMakeLists.txt); a test puts
 * the folders it wants on the library search path.
 *
 * Steered by environment variables, read afresh at every call:
 *   ZUK_FAKE_<LIB>_RESULT  (LIB: DORNALT, VOSTRIN, LURROW) the int every entry
 *       point returns; unset 0, malformed 0 and a complaint on stderr.
 *   ZUK_FAKE_<LIB>_WAV     a file the extraction entry point copies to its
 *       output; unset: nothing is written.
 *   ZUK_FAKE_VOSTRIN_RATE  "N/D" that mfax_GetFrameRate stores; unset or
 *       malformed: the rate is left untouched.
 *   ZUK_FAKE_CALLS         a file to which every call, load and unload
 *       appends one line, fields separated by TAB: "<lib>\tloaded",
 *       "<lib>\tunloaded", "<lib>\t<entry point>\t<arguments...>". Paths are
 *       UTF-8 (a lone surrogate becomes U+FFFD), a null path "(null)".
 * Every extraction entry point calls progress(50.0f) when it is given one.
 */
#ifndef ZUK_TESTS_FAKES_FAKESIBLING_H
#define ZUK_TESTS_FAKES_FAKESIBLING_H

#include <cerrno>
#include <cinttypes>
#include <climits>
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

namespace zuk_fake {

inline void complain(const std::string& message)
{
    std::string line = "zuk fake sibling: " + message + "\n";
    (void)!::write(STDERR_FILENO, line.data(), line.size());
}

inline const char* env(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? value : nullptr;
}

// The configured result, 0 when unset; a typo must not silently look like
// success, so it is reported.
inline int32_t result(const char* variable)
{
    const char* text = env(variable);
    if (text == nullptr)
        return 0;
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < INT32_MIN || value > INT32_MAX) {
        complain(std::string(variable) + "=\"" + text + "\" is not an int; returning 0");
        return 0;
    }
    return static_cast<int32_t>(value);
}

inline void appendCodePoint(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

inline std::string utf8(const zuk_char* text)
{
    if (text == nullptr)
        return "(null)";
    std::string out;
    for (const zuk_char* p = text; *p != 0; ++p) {
        char32_t c = *p;
        if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
            ++p;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        appendCodePoint(out, c);
    }
    return out;
}

inline std::string bytes(const char* text)
{
    return text != nullptr ? text : "(null)";
}

inline bool writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// One line, one write(): O_APPEND makes each write land whole at the end,
// whichever thread or process wrote before.
inline void logCall(std::initializer_list<std::string_view> fields)
{
    const char* path = env("ZUK_FAKE_CALLS");
    if (path == nullptr)
        return;
    std::string line;
    for (std::string_view field : fields) {
        if (!line.empty())
            line += '\t';
        line += field;
    }
    line += '\n';
    int fd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        complain(std::string("cannot open ZUK_FAKE_CALLS file ") + path);
        return;
    }
    ssize_t n;
    do {
        n = ::write(fd, line.data(), line.size());
    } while (n < 0 && errno == EINTR);
    if (n != static_cast<ssize_t>(line.size()))
        complain(std::string("short write to ") + path);
    ::close(fd);
}

// What the library under test reads back as the extracted sound.
inline void copyWav(const char* variable, const zuk_char* output)
{
    const char* source = env(variable);
    if (source == nullptr || output == nullptr)
        return;
    std::string target = utf8(output);
    int in = ::open(source, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        complain(std::string(variable) + ": cannot open " + source);
        return;
    }
    int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        complain("cannot create " + target);
        ::close(in);
        return;
    }
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            complain(std::string("cannot read ") + source);
            break;
        }
        if (n == 0)
            break;
        if (!writeAll(out, buffer, static_cast<size_t>(n))) {
            complain("cannot write " + target);
            break;
        }
    }
    ::close(out);
    ::close(in);
}

inline void reportProgress(ProgressCallback progress)
{
    if (progress != nullptr)
        progress(50.0f);
}

// Parses "N/D" into two unsigned 32-bit numbers.
inline bool frameRate(uint32_t& numerator, uint32_t& denominator)
{
    const char* text = env("ZUK_FAKE_VOSTRIN_RATE");
    if (text == nullptr)
        return false;
    unsigned long long n = 0, d = 0;
    char rest = 0;
    if (text[0] < '0' || text[0] > '9' || std::sscanf(text, "%llu/%llu%c", &n, &d, &rest) != 2 || n > UINT32_MAX ||
        d > UINT32_MAX) {
        complain(std::string("ZUK_FAKE_VOSTRIN_RATE=\"") + text + "\" is not N/D; leaving the rate untouched");
        return false;
    }
    numerator = static_cast<uint32_t>(n);
    denominator = static_cast<uint32_t>(d);
    return true;
}

// snprintf rather than std::to_string: the latter pulls in a GNU "unique"
// symbol, which makes the library impossible to unload.
inline std::string number(int32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%" PRId32, value);
    return text;
}

} // namespace zuk_fake

// Logs "<name>\tloaded" when the library is mapped and "<name>\tunloaded"
// when dlclose (or process exit) unmaps it.
#define ZUK_FAKE_LOAD_LOG(name)                                                                                        \
    __attribute__((constructor)) static void zukFakeLoaded()                                                           \
    {                                                                                                                  \
        zuk_fake::logCall({name, "loaded"});                                                                           \
    }                                                                                                                  \
    __attribute__((destructor)) static void zukFakeUnloaded()                                                          \
    {                                                                                                                  \
        zuk_fake::logCall({name, "unloaded"});                                                                         \
    }

#endif
