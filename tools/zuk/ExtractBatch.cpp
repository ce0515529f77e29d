#include "ExtractBatch.h"

#include "OutputName.h"
#include "Progress.h"
#include "Report.h"

#include <zuk/batch.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace zukcli {

namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

constexpr int kExitInterrupted = 130;

// The media files under `folder`, at any depth, in name order.
std::vector<std::string> mediaFilesUnder(const std::string& folder)
{
    std::vector<std::string> files;
    std::error_code error;
    for (fs::recursive_directory_iterator walk(folder, error), end; !error && walk != end; walk.increment(error))
        if (walk->is_regular_file() && namesMediaFormat(walk->path().string()))
            files.push_back(walk->path().string());
    if (error)
        throw UsageError{"cannot walk " + folder + ": " + error.message()};
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> inputsOf(const Invocation& call)
{
    std::vector<std::string> inputs;
    for (const std::string& argument : call.positional) {
        std::error_code ignored;
        if (!fs::is_directory(argument, ignored)) {
            inputs.push_back(argument);
            continue;
        }
        if (!call.has("recursive"))
            throw UsageError{argument + " is a folder; add --recursive to extract the media files in it"};
        for (std::string& file : mediaFilesUnder(argument))
            inputs.push_back(std::move(file));
    }
    return inputs;
}

volatile std::sig_atomic_t interrupted = 0;

void interrupt(int)
{
    interrupted = 1;
}

// SIGINT and SIGTERM only note that the user wants to stop; the batch then
// stops at its next callback and cleans up.
class InterruptScope {
public:
    InterruptScope()
    {
        struct sigaction noting { };
        noting.sa_handler = interrupt;
        sigemptyset(&noting.sa_mask);
        sigaction(SIGINT, &noting, &previousInt);
        sigaction(SIGTERM, &noting, &previousTerm);
    }
    ~InterruptScope()
    {
        sigaction(SIGINT, &previousInt, nullptr);
        sigaction(SIGTERM, &previousTerm, nullptr);
    }
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

private:
    struct sigaction previousInt {
    }, previousTerm{};
};

std::string clockText(double seconds)
{
    const long whole = std::lround(std::max(seconds, 0.0));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

// What the batch has done so far, told on stderr, and what is left to say at
// the end.
struct BatchState {
    ProgressStyle style = ProgressStyle::Quiet;
    std::optional<std::ofstream> report;
    std::vector<bool> reported;
    size_t skipped = 0;
    std::vector<std::string> failures;
    double audioSeconds = 0;
    double elapsedSeconds = 0;
    bool shown = false;

    void show(const zuk_batch_event& event)
    {
        const double rate = event.elapsed_seconds > 0 ? event.audio_seconds / event.elapsed_seconds : 0;
        const double left = event.files_done > 0 ? event.elapsed_seconds *
                static_cast<double>(event.files_total - event.files_done) / static_cast<double>(event.files_done)
                                                 : 0;
        char line[160];
        std::snprintf(line, sizeof line, "%zu/%zu files, %.1f s of sound, %.1fx realtime, %s left", event.files_done,
            event.files_total, event.audio_seconds, rate, clockText(left).c_str());
        if (style == ProgressStyle::Bar) {
            std::fprintf(stderr, "\r%s\033[K", line);
            shown = true;
        } else if (event.kind == ZUK_BATCH_DONE) {
            std::fprintf(stderr, "%s\n", line);
        }
        std::fflush(stderr);
    }

    void record(const zuk_batch_event& event)
    {
        skipped += event.skipped != 0 ? 1 : 0;
        // Extractions that Ctrl-C stopped part way give up as unwritable;
        // say what really happened to them.
        const bool stopped = interrupted != 0 && event.result == ZUK_E_WRITE;
        const char* text = stopped ? "stopped: the batch was interrupted" : zuk_result_text(event.result);
        if (event.result < 0)
            failures.push_back(std::string(event.input) + ": " +
                (stopped ? std::string(text)
                         : std::to_string(event.result) + " (" + resultMeaning(event.result) + ")"));
        reported.at(event.index) = true;
        writeLine(event.input, event.output, event.result, text, event.skipped != 0, event.file_audio_seconds,
            event.file_wall_seconds);
    }

    void writeLine(const std::string& input, const std::string& output, std::optional<int32_t> result,
        const char* resultText, bool wasSkipped, double audio, double wall)
    {
        if (!report)
            return;
        const json line{{"input", input}, {"output", output}, {"result", result ? json(*result) : json(nullptr)},
            {"result_text", resultText}, {"skipped", wasSkipped}, {"audio_seconds", audio}, {"wall_seconds", wall}};
        *report << line.dump(-1, ' ', false, json::error_handler_t::replace) << '\n' << std::flush;
    }
};

int32_t onBatchEvent(const zuk_batch_event* event, void* user)
{
    auto& state = *static_cast<BatchState*>(user);
    if (event->kind == ZUK_BATCH_DONE)
        state.record(*event);
    state.audioSeconds = event->audio_seconds;
    state.elapsedSeconds = event->elapsed_seconds;
    if (state.style != ProgressStyle::Quiet)
        state.show(*event);
    return interrupted ? 1 : 0;
}

int summarise(const BatchState& state, size_t total, int64_t failed)
{
    if (state.shown)
        std::fputc('\n', stderr);
    const size_t done = total - static_cast<size_t>(failed) - state.skipped;
    note("%zu done, %zu skipped, %lld failed; %.1f s of sound in %.1f s\n", done, state.skipped,
        static_cast<long long>(failed), state.audioSeconds, state.elapsedSeconds);
    for (const std::string& failure : state.failures)
        std::fprintf(stderr, "failed: %s\n", failure.c_str());
    if (interrupted) {
        std::fprintf(stderr, "interrupted\n");
        return kExitInterrupted;
    }
    if (failed > 0)
        std::fprintf(stderr, "zuk: extract: %lld of %zu inputs failed\n", static_cast<long long>(failed), total);
    return failed > 0 ? kExitFailure : 0;
}

} // namespace

int jobsOption(const Invocation& call)
{
    const int jobs = call.value("jobs") ? parseInt(*call.value("jobs"), "--jobs") : 0;
    if (jobs < 0)
        throw UsageError{"--jobs must be 0 (one per core) or more"};
    return jobs;
}

int extractBatchCommand(const Invocation& call)
{
    if (call.has("stereo") || call.has("dotnet"))
        throw UsageError{"--stereo and --dotnet apply to one input and its output, not to --outdir"};
    if (call.positional.empty())
        wrongArgumentCount(1, 0);
    const std::string& outdir = *call.value("outdir");
    const int jobs = jobsOption(call);
    const std::vector<std::string> inputs = inputsOf(call);
    if (inputs.empty()) {
        std::fprintf(stderr, "zuk extract: no media files to extract\n");
        return kExitFailure;
    }
    BatchState state;
    state.style = progressStyleFor(call.has("quiet"));
    state.reported.assign(inputs.size(), false);
    if (const std::string* report = call.value("report")) {
        state.report.emplace(*report);
        if (!*state.report) {
            std::fprintf(stderr, "zuk extract: cannot write the report %s\n", report->c_str());
            return kExitFailure;
        }
    }
    std::vector<const char*> names;
    for (const std::string& input : inputs)
        names.push_back(input.c_str());
    const zuk_batch_options options{jobs, call.has("force") ? 1 : 0};
    const InterruptScope noting;
    const int64_t failed =
        zuk_extract_batch(names.data(), nullptr, names.size(), outdir.c_str(), &options, onBatchEvent, &state);
    if (failed < 0)
        return reportFailure(call.command, failed, inputs.front(), outdir);
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (state.reported[i])
            continue;
        const int64_t length = zuk_batch_output_name(names.data(), names.size(), outdir.c_str(), i, nullptr, 0);
        std::string output(static_cast<size_t>(std::max<int64_t>(length, 0)) + 1, '\0');
        zuk_batch_output_name(names.data(), names.size(), outdir.c_str(), i, output.data(), output.size());
        output.pop_back();
        state.writeLine(inputs[i], output, std::nullopt, "not started: the batch was stopped", false, 0, 0);
    }
    return summarise(state, inputs.size(), failed);
}

} // namespace zukcli
