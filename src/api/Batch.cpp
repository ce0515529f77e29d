// zuk_extract_batch: many inputs extracted at once on worker threads, each
// output written under a temporary name and renamed into place once complete.
// The calling thread only waits and reports to the caller's callback.
#include "api/BatchNames.h"
#include "api/Extraction.h"
#include "log/Log.h"
#include "platform/ExportGuard.h"
#include "platform/FileIdentity.h"
#include "platform/SoundFile.h"
#include "platform/WideText.h"
#include "platform/WorkControl.h"

#include <zuk/batch.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace zuk {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kProgressInterval = std::chrono::milliseconds(150);
// The standard WAV: a 44-byte header, then 2 bytes a frame at 48000 Hz.
constexpr off_t kWavHeaderBytes = 44;
constexpr double kWavBytesPerSecond = 2 * 48000.0;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Outcome {
    int32_t result = ZUK_OK;
    bool skipped = false;
    double audioSeconds = 0;
    double wallSeconds = 0;
};

struct Finished {
    size_t index;
    Outcome outcome;
};

double soundSeconds(const std::string& path)
{
    SF_INFO info{};
    const SoundFilePtr file = openSoundFile(wideFromPath(path).c_str(), SFM_READ, info);
    return file && info.samplerate > 0 ? static_cast<double>(info.frames) / info.samplerate : 0.0;
}

// An output is complete from an earlier run when it is a regular file no
// older than its input.
bool upToDate(const std::string& input, const std::string& output)
{
    struct stat in {
    }, out{};
    if (stat(input.c_str(), &in) != 0 || stat(output.c_str(), &out) != 0 || !S_ISREG(out.st_mode))
        return false;
    return std::tie(out.st_mtim.tv_sec, out.st_mtim.tv_nsec) >= std::tie(in.st_mtim.tv_sec, in.st_mtim.tv_nsec);
}

// Hidden, beside the output (so that the rename stays on one file system),
// and this process's own.
std::string temporaryNameFor(const std::string& output)
{
    const fs::path path(output);
    std::string name(1, '.');
    name.append(path.filename().string()).append(".").append(std::to_string(getpid())).append(".part");
    return (path.parent_path() / name).string();
}

// Removes the temporary output and the intermediates the routes leave beside it.
class Temporaries {
public:
    explicit Temporaries(std::string path) : name(std::move(path)) { }
    ~Temporaries()
    {
        for (const char* suffix : {"", ".avi", "2.wav", ".mp2", ".mp2.m2v"})
            std::remove((name + suffix).c_str());
    }
    Temporaries(const Temporaries&) = delete;
    Temporaries& operator=(const Temporaries&) = delete;
    const std::string& path() const { return name; }

private:
    std::string name;
};

// The running extraction's share of the batch's sound, in seconds: what it
// has written to its temporary. ProgressCallback carries no user pointer, so
// each worker thread finds its share here.
struct ShareSlot {
    std::atomic<double>* seconds = nullptr;
    const std::string* temporary = nullptr;
};
thread_local ShareSlot shareSlot;

int recordShare(float)
{
    struct stat written { };
    if (shareSlot.seconds != nullptr && stat(shareSlot.temporary->c_str(), &written) == 0)
        shareSlot.seconds->store(
            static_cast<double>(std::max<off_t>(written.st_size - kWavHeaderBytes, 0)) / kWavBytesPerSecond,
            std::memory_order_relaxed);
    return 0;
}

class ShareScope {
public:
    ShareScope(std::atomic<double>& seconds, const std::string& temporary) { shareSlot = {&seconds, &temporary}; }
    ~ShareScope()
    {
        shareSlot.seconds->store(0, std::memory_order_relaxed);
        shareSlot = {};
    }
    ShareScope(const ShareScope&) = delete;
    ShareScope& operator=(const ShareScope&) = delete;
};

// Outputs named by an earlier input too: two workers must never write one file.
std::vector<bool> repeatedOutputs(const std::vector<std::string>& outputs)
{
    std::set<fs::path> seen;
    std::vector<bool> repeated;
    for (const std::string& output : outputs)
        repeated.push_back(!seen.insert(fs::absolute(output).lexically_normal()).second);
    return repeated;
}

class Batch {
public:
    Batch(std::vector<std::string> from, std::vector<std::string> to, int32_t jobsAsked, bool again)
        : inputs(std::move(from)),
          outputs(std::move(to)),
          repeated(repeatedOutputs(outputs)),
          jobs(jobsAsked > 0 ? jobsAsked : coreCount()),
          workers(std::min(static_cast<size_t>(jobs), inputs.size())),
          shares(workers),
          force(again)
    {
    }

    int64_t run(zuk_batch_callback callback, void* user);

private:
    void work(size_t worker);
    std::optional<size_t> take(int& decodeThreads);
    Outcome extractOrSkip(size_t index, std::atomic<double>& share);
    Outcome extractFresh(const std::string& input, const std::string& output, std::atomic<double>& share);
    void report(zuk_batch_callback callback, void* user, const Finished* finished);

    const std::vector<std::string> inputs;
    const std::vector<std::string> outputs;
    const std::vector<bool> repeated;
    const int jobs;
    const size_t workers;
    std::vector<std::atomic<double>> shares; // one per worker
    const bool force;
    const Clock::time_point start = Clock::now();
    std::atomic<bool> stop{false};

    std::mutex mutex;
    std::condition_variable changed;
    size_t next = 0;                 // the next input to take
    size_t running = 0;              // inputs being extracted
    size_t workersLeft = 0;          // worker threads not yet done
    double finishedSeconds = 0;      // of the outputs written
    std::deque<Finished> unreported; // finished, not yet told to the callback

    // Of the calling thread: what the callback has been told.
    size_t filesDone = 0;
    size_t filesFailed = 0;
};

std::optional<size_t> Batch::take(int& decodeThreads)
{
    const std::lock_guard lock(mutex);
    if (stop.load() || next >= inputs.size())
        return std::nullopt;
    const size_t index = next++;
    ++running;
    // While inputs wait for a worker, every core already has a file; the last
    // few share the cores between them.
    const size_t waiting = inputs.size() - next;
    decodeThreads = waiting >= workers ? 1 : std::max(1, jobs / static_cast<int>(running));
    return index;
}

void Batch::work(size_t worker)
{
    const StopScope watching(&stop);
    int decodeThreads = 1;
    while (const auto index = take(decodeThreads)) {
        const DecodeThreadsScope threads(decodeThreads);
        const auto began = Clock::now();
        Outcome outcome = guardExport(
            "zuk_extract_batch", Outcome{ZUK_E_EXTRACT}, [&] { return extractOrSkip(*index, shares[worker]); });
        outcome.wallSeconds = secondsSince(began);
        const std::lock_guard lock(mutex);
        --running;
        if (!outcome.skipped && outcome.result >= 0)
            finishedSeconds += outcome.audioSeconds;
        unreported.push_back({*index, outcome});
        changed.notify_all();
    }
    const std::lock_guard lock(mutex);
    --workersLeft;
    changed.notify_all();
}

Outcome Batch::extractOrSkip(size_t index, std::atomic<double>& share)
{
    const std::string& input = inputs[index];
    const std::string& output = outputs[index];
    if (repeated[index]) {
        LogString("ZUK: Error. The batch names this output for an earlier input too: ");
        LogString(output.c_str());
        LogString("\n");
        return {ZUK_E_OPEN};
    }
    if (refusesPaths({output}, {input}, LogString))
        return {ZUK_E_OPEN};
    if (!force && upToDate(input, output))
        return {ZUK_OK, true, soundSeconds(output)};
    return extractFresh(input, output, share);
}

Outcome Batch::extractFresh(const std::string& input, const std::string& output, std::atomic<double>& share)
{
    // A folder that cannot be made shows as an output that cannot be written.
    std::error_code ignored;
    if (const fs::path folder = fs::path(output).parent_path(); !folder.empty())
        fs::create_directories(folder, ignored);
    const Temporaries temporary(temporaryNameFor(output));
    int32_t result = 0;
    {
        const ShareScope sharing(share, temporary.path());
        result = extractAndCheck(wideFromPath(input).c_str(), wideFromPath(temporary.path()).c_str(), recordShare, 0);
    }
    if (result < 0)
        return {result};
    if (std::rename(temporary.path().c_str(), output.c_str()) != 0) {
        LogString("ZUK: Error. The finished output cannot be renamed to ");
        LogString(output.c_str());
        LogString("\n");
        return {ZUK_E_WRITE};
    }
    return {result, false, soundSeconds(output)};
}

// Tells the callback where the batch stands, and of one finished input when
// `finished` is given; a nonzero answer stops the batch.
void Batch::report(zuk_batch_callback callback, void* user, const Finished* finished)
{
    zuk_batch_event event{};
    event.kind = finished ? ZUK_BATCH_DONE : ZUK_BATCH_PROGRESS;
    if (finished) {
        ++filesDone;
        if (finished->outcome.result < 0)
            ++filesFailed;
        event.index = finished->index;
        event.input = inputs[finished->index].c_str();
        event.output = outputs[finished->index].c_str();
        event.result = finished->outcome.result;
        event.skipped = finished->outcome.skipped ? 1 : 0;
        event.file_audio_seconds = finished->outcome.audioSeconds;
        event.file_wall_seconds = finished->outcome.wallSeconds;
    }
    event.files_done = filesDone;
    event.files_total = inputs.size();
    event.files_failed = filesFailed;
    {
        const std::lock_guard lock(mutex);
        event.audio_seconds = finishedSeconds;
    }
    for (const auto& share : shares)
        event.audio_seconds += share.load(std::memory_order_relaxed);
    event.elapsed_seconds = secondsSince(start);
    if (callback != nullptr && callback(&event, user) != 0)
        stop.store(true);
}

int64_t Batch::run(zuk_batch_callback callback, void* user)
{
    workersLeft = workers;
    std::vector<std::jthread> threads;
    for (size_t worker = 0; worker < workers; ++worker)
        threads.emplace_back([this, worker] { work(worker); });
    auto lastProgress = Clock::now();
    for (bool allDone = false; !allDone;) {
        std::deque<Finished> finished;
        {
            std::unique_lock lock(mutex);
            changed.wait_for(lock, kProgressInterval, [&] { return !unreported.empty() || workersLeft == 0; });
            finished.swap(unreported);
            allDone = workersLeft == 0;
        }
        for (const Finished& one : finished)
            report(callback, user, &one);
        if (!allDone && Clock::now() - lastProgress >= kProgressInterval) {
            report(callback, user, nullptr);
            lastProgress = Clock::now();
        }
    }
    // Inputs never started because the batch was stopped count as failed.
    return static_cast<int64_t>(filesFailed + (inputs.size() - next));
}

} // namespace

} // namespace zuk

extern "C" ZUK_API int64_t zuk_extract_batch(const char* const* inputs, const char* const* outputs, size_t count,
    const char* outdir, const zuk_batch_options* options, zuk_batch_callback callback, void* user)
{
    return zuk::guardExport("zuk_extract_batch", int64_t{ZUK_E_OPEN}, [&]() -> int64_t {
        const auto inputNames = zuk::namesOf(inputs, count);
        const auto outputNames = outputs != nullptr ? zuk::namesOf(outputs, count)
            : outdir != nullptr && inputNames       ? zuk::batchOutputNames(*inputNames, outdir)
                                                    : std::optional<std::vector<std::string>>{};
        const zuk_batch_options chosen = options != nullptr ? *options : zuk_batch_options{0, 0};
        if (!inputNames || !outputNames || chosen.jobs < 0)
            return ZUK_E_OPEN;
        if (count == 0)
            return 0;
        zuk::Batch batch(*inputNames, *outputNames, chosen.jobs, chosen.force != 0);
        return batch.run(callback, user);
    });
}
