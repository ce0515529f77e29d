// Batches: the names of their outputs, outputs that appear only complete,
// stopping and resuming, and outputs that do not depend on the jobs.
#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <zuk/batch.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace zuktest;

namespace {

struct Events {
    std::vector<zuk_batch_event> done; // strings not kept
    size_t stopAfter = SIZE_MAX;       // DONE events, then stop
};

int32_t record(const zuk_batch_event* event, void* user)
{
    auto& events = *static_cast<Events*>(user);
    if (event->kind == ZUK_BATCH_DONE)
        events.done.push_back(*event);
    return events.done.size() >= events.stopAfter ? 1 : 0;
}

int64_t batch(const std::vector<std::string>& inputs, const std::string& outdir, Events& events, int32_t jobs,
    int32_t force = 0, const std::vector<std::string>& outputs = {})
{
    std::vector<const char*> in, out;
    for (const auto& input : inputs)
        in.push_back(input.c_str());
    for (const auto& output : outputs)
        out.push_back(output.c_str());
    const zuk_batch_options options{jobs, force};
    return zuk_extract_batch(
        in.data(), outputs.empty() ? nullptr : out.data(), in.size(), outdir.c_str(), &options, record, &events);
}

std::vector<std::string> filesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        names.push_back(entry.path().lexically_relative(folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(Batch, NamesOutputsApartByFolderThenByExtension)
{
    struct Row {
        std::vector<const char*> inputs;
        std::vector<std::string> names;
    };
    const std::vector<Row> rows{
        {{"/s/day1/take.mov", "/s/day2/take.mov", "/s/day2/other.mkv"},
            {"o/day1/take.wav", "o/day2/take.wav", "o/other.wav"}},
        {{"/s/take.mov", "/s/take.mkv", "/t/x/take.mov"}, {"o/s/take.mov.wav", "o/s/take.mkv.wav", "o/t/x/take.wav"}},
    };
    for (const Row& row : rows)
        for (size_t i = 0; i < row.inputs.size(); ++i) {
            char name[64];
            EXPECT_EQ(zuk_batch_output_name(row.inputs.data(), row.inputs.size(), "o", i, name, sizeof name),
                static_cast<int64_t>(row.names[i].size()));
            EXPECT_EQ(name, row.names[i]) << row.inputs[i];
        }
    const char* one[] = {"/s/a.mov"};
    EXPECT_EQ(zuk_batch_output_name(one, 1, "o", 0, nullptr, 0), 7);
    EXPECT_EQ(zuk_batch_output_name(one, 1, nullptr, 0, nullptr, 0), ZUK_E_OPEN);
    EXPECT_EQ(zuk_batch_output_name(one, 1, "o", 1, nullptr, 0), ZUK_E_OPEN);
}

// A stopped batch leaves only finished outputs and no temporaries; run again,
// it does the rest and skips what is finished, unless forced.
TEST(Batch, StopsLeavingOnlyFinishedOutputsAndResumes)
{
    TempDir dir;
    std::vector<std::string> inputs;
    for (const char* name : {"mov-aac.mov", "mp4-aac.mp4", "mkv-vorbis.mkv", "avi-pcm.avi", "webm-opus.webm"})
        inputs.push_back(mediaFixture(name));
    const std::string out = dir.file("out");
    Events stopped{{}, 1};
    const int64_t failed = batch(inputs, out, stopped, 1);
    std::vector<std::string> finished;
    for (const auto& event : stopped.done)
        if (event.result >= 0)
            finished.push_back(std::filesystem::path(inputs[event.index]).stem().string() + ".wav");
    std::sort(finished.begin(), finished.end());
    EXPECT_EQ(filesIn(out), finished);
    EXPECT_EQ(failed, static_cast<int64_t>(inputs.size() - finished.size()));
    ASSERT_LT(finished.size(), inputs.size());

    struct Run {
        int32_t force;
        size_t skipped;
    };
    for (const Run run : {Run{0, finished.size()}, Run{1, 0}}) {
        Events events;
        EXPECT_EQ(batch(inputs, out, events, 2, run.force), 0);
        ASSERT_EQ(events.done.size(), inputs.size());
        size_t skipped = 0;
        for (const auto& event : events.done)
            skipped += event.skipped ? 1 : 0;
        EXPECT_EQ(skipped, run.skipped) << "force " << run.force;
        EXPECT_EQ(filesIn(out).size(), inputs.size());
    }
}

// The same outputs whatever the jobs; an input that fails fails alone, and
// none is written over its own input.
TEST(Batch, OutputsDoNotDependOnJobsAndFailuresStayAlone)
{
    TempDir dir;
    std::ofstream(dir.file("text.mov")) << "not a movie";
    std::vector<std::string> inputs{dir.file("text.mov")};
    for (const char* name : {"mov-aac.mov", "mp4-aac.mp4", "ts-mp2.m2t", "mpeg-ps.mpg", "flac.flac", "avi-pcm.avi"})
        inputs.push_back(mediaFixture(name));
    for (const int32_t jobs : {1, 4}) {
        Events events;
        EXPECT_EQ(batch(inputs, dir.file("jobs" + std::to_string(jobs)), events, jobs), 1);
        ASSERT_EQ(events.done.size(), inputs.size());
        for (const auto& event : events.done)
            EXPECT_EQ(event.result < 0, event.index == 0) << inputs[event.index] << ": " << event.result;
    }
    const auto written = filesIn(dir.file("jobs1"));
    EXPECT_EQ(written.size(), inputs.size() - 1);
    EXPECT_EQ(filesIn(dir.file("jobs4")), written);
    for (const auto& name : written)
        EXPECT_EQ(fileBytes(dir.file("jobs1/" + name)), fileBytes(dir.file("jobs4/" + name))) << name;

    const std::string sound = dir.file("self.wav");
    writeShorts(sound, 48000, 1, testSignal(4800, 1, 48000));
    Events events;
    EXPECT_EQ(batch({sound}, "", events, 1, 0, {sound}), 1);
    ASSERT_EQ(events.done.size(), 1u);
    EXPECT_EQ(events.done[0].result, ZUK_E_OPEN);
}
