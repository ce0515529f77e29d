// The reader's exported functions and the table of open handles. Each handle
// maps to its parser; the table's lock is held only to consult or change it,
// and while a handle's parser is destroyed.
#include "dsax/DSParser.h"
#include "dsax/OpenWithoutCom.h"

#include "log/Log.h"
#include "platform/FileIdentity.h"
#include "platform/WideText.h"
#include "platform/com/Com.h"
#include "platform/com/ErrorText.h"

#include <zuk/dsax.h>

#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <unordered_map>

namespace dsax {

namespace {

struct OpenHandle {
    std::unique_ptr<CDSParser> parser;
    // Whether opening initialised COM, so that the close undoes exactly that.
    bool initialisedCom = false;
};

struct HandleTable {
    std::mutex lock;
    std::unordered_map<uint32_t, OpenHandle> parsers;
    uint32_t lastHandle = 0;
};

// Built on first use and never destroyed: hosts may close handles while the
// library's statics are being torn down.
HandleTable& handleTable()
{
    static auto* table = new HandleTable;
    return *table;
}

[[noreturn]] void fail(HRESULT hr)
{
    throw std::runtime_error(DXGetErrorDescriptionA(hr));
}

void check(HRESULT hr)
{
    if (FAILED(hr))
        fail(hr);
}

struct RecordDeleter {
    void operator()(DSAX_MEDIA_INFO* info) const
    {
        delete[] info->audio_format;
        delete[] info->video_format;
        delete info;
    }
};
using Record = std::unique_ptr<DSAX_MEDIA_INFO, RecordDeleter>;

// Registers `parser` under the next free number; 0 is never issued, and after
// the counter wraps a number still in use is skipped.
uint32_t registerParser(std::unique_ptr<CDSParser> parser, bool initialisedCom)
{
    HandleTable& table = handleTable();
    const std::lock_guard guard(table.lock);
    uint32_t handle = table.lastHandle;
    do {
        if (++handle == 0)
            handle = 1;
    } while (table.parsers.contains(handle));
    table.lastHandle = handle;
    table.parsers.emplace(handle, OpenHandle{std::move(parser), initialisedCom});
    return handle;
}

DSAX_MEDIA_INFO* openRecord(const zuk_char* path, bool initialiseCom)
{
    if (path == nullptr)
        throw std::runtime_error("Invalid file name");
    if (zuk::refusesFiles({}, {zuk::wideView(path)}, LogString))
        throw std::runtime_error("Not a regular file");
    if (initialiseCom)
        check(CoInitialize(nullptr));
    try {
        Record record(new (std::nothrow) DSAX_MEDIA_INFO{});
        auto parser = std::unique_ptr<CDSParser>(new (std::nothrow) CDSParser);
        if (!record || !parser)
            throw std::runtime_error("Out of memory");
        check(parser->Open(path, *record));
        record->handle = registerParser(std::move(parser), initialiseCom);
        return record.release();
    } catch (...) {
        // Nothing stays open after a failed open, COM included.
        if (initialiseCom)
            CoUninitialize();
        throw;
    }
}

CDSParser& parserOf(uint32_t handle)
{
    HandleTable& table = handleTable();
    const std::lock_guard guard(table.lock);
    const auto found = table.parsers.find(handle);
    if (found == table.parsers.end())
        fail(E_INVALIDARG);
    return *found->second.parser;
}

void closeRecord(DSAX_MEDIA_INFO* info) noexcept
{
    bool initialisedCom = false;
    {
        HandleTable& table = handleTable();
        const std::lock_guard guard(table.lock);
        if (const auto found = table.parsers.find(info->handle); found != table.parsers.end()) {
            initialisedCom = found->second.initialisedCom;
            table.parsers.erase(found);
        }
        RecordDeleter{}(info);
    }
    if (initialisedCom)
        CoUninitialize();
}

} // namespace

DSAX_MEDIA_INFO* dsax_open_no_coinit(const zuk_char* path)
{
    return openRecord(path, false);
}

} // namespace dsax

// The table's lock is ready from load; initialising it again while handles are
// in use would break it, so this has nothing left to do.
ZUK_API void dsax::dsax_init() { }

ZUK_API dsax::DSAX_MEDIA_INFO* dsax::dsax_open(const zuk_char* path)
{
    return openRecord(path, true);
}

ZUK_API int64_t dsax::dsax_seek_nsec(uint32_t handle, int64_t offset, int whence)
{
    int64_t position = 0;
    check(parserOf(handle).SeekTime(offset, whence, &position));
    return position;
}

ZUK_API int64_t dsax::dsax_seek_samp(uint32_t handle, int64_t offset, int whence)
{
    int64_t position = 0;
    check(parserOf(handle).SeekSamples(offset, whence, &position));
    return position;
}

ZUK_API int64_t dsax::dsax_read_short(uint32_t handle, int16_t* buffer, int64_t count, uint32_t* progress)
{
    int64_t delivered = 0;
    check(parserOf(handle).ReadMono(buffer, count, progress, &delivered));
    return delivered;
}

ZUK_API int64_t dsax::dsax_read_short_stereo(uint32_t handle, int16_t* buffer, int64_t count, uint32_t* progress)
{
    int64_t delivered = 0;
    check(parserOf(handle).ReadStereo(buffer, count, progress, &delivered));
    return delivered;
}

ZUK_API int64_t dsax::dsax_read_double(uint32_t handle, double* buffer, int64_t count, uint32_t* progress)
{
    int64_t delivered = 0;
    check(parserOf(handle).ReadDouble(buffer, count, progress, &delivered));
    return delivered;
}

ZUK_API int dsax::dsax_set_norm_double(uint32_t handle, int normalise)
{
    return parserOf(handle).SetNormalise(normalise);
}

ZUK_API void dsax::dsax_close(DSAX_MEDIA_INFO** info)
{
    if (info == nullptr || *info == nullptr)
        return;
    closeRecord(*info);
    *info = nullptr;
}

ZUK_API void dsax::dsax_close_unsafe(DSAX_MEDIA_INFO* info)
{
    if (info != nullptr)
        closeRecord(info);
}
