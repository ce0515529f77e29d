// The zuk command line as a user runs it: each command's exit status and what
// it says on stdout and stderr. What the library does is tested at its own layer.
#include "support/FakeSiblings.h"
#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

using namespace zuktest;

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

// Runs zuk with `arguments`, stdout and stderr going to files (not a terminal),
// stdin from `input`, with `environment` (NAME=VALUE ...) set for it.
Outcome zuk(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {},
    const std::string& input = "/dev/null")
{
    TempDir dir;
    std::string command = "env ";
    for (const auto& setting : environment)
        command.append(shellQuoted(setting)).append(" ");
    command.append(shellQuoted(ZUK_CLI));
    for (const auto& argument : arguments)
        command.append(" ").append(shellQuoted(argument));
    command.append(" >" + shellQuoted(dir.file("out")) + " 2>" + shellQuoted(dir.file("err")));
    command.append(" <" + shellQuoted(input));
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, fileBytes(dir.file("out")), fileBytes(dir.file("err"))};
}

// Expected text: nothing (any), "" (nothing written), else a part it holds.
using Part = std::optional<std::string>;

struct Row {
    std::vector<std::string> arguments;
    int status;
    Part out;
    Part err;
    std::vector<std::string> environment = {};
    std::string input = "/dev/null";
};

void expectPart(const std::string& text, const Part& part, const std::string& what)
{
    if (!part)
        return;
    if (part->empty())
        EXPECT_EQ(text, "") << what;
    else
        EXPECT_NE(text.find(*part), std::string::npos) << what << " lacks \"" << *part << "\":\n" << text;
}

std::string missingFile(const std::string& path)
{
    return "cannot read " + path + ": No such file or directory\n";
}

} // namespace

TEST(Cli, EachCommandAnswersWithItsStatusAndText)
{
    TempDir dir;
    const auto at = [&](const std::string& name) { return dir.file(name); };
    writeShorts(at("in.wav"), 44100, 2, testSignal(100000, 2, 44100));
    writeShorts(at("new.wav"), 48000, 1, testSignal(48000, 1, 48000));
    std::filesystem::create_directories(dir.path() / "Bänd clips");
    std::filesystem::copy_file(at("in.wav"), at("Bänd clips/tëst tone.wav"));
    std::filesystem::copy_file(at("in.wav"), at("lat\xE9.wav")); // not UTF-8, as old archives name files
    std::ofstream(at("text.mp3")) << "not sound";
    std::ofstream(at("nothing.mp4")) << std::string("\0\0\0\x10"
                                                    "ftypqt  \0\0\0\0",
        16);
    std::filesystem::create_symlink("loop", at("loop"));
    const std::string folder = dir.path().string();
    const std::string movie = mediaFixture("mov-aac.mov");
    const std::string mp4 = mediaFixture("mp4-aac.mp4");
    const std::string avi = mediaFixture("avi-pcm.avi"); // 2.3 s of sound at 48000 Hz
    const std::string videoOnly = mediaFixture("video-only.mp4");
    const std::string garbage = mediaFixture("garbage.bin");
    const std::string pcmMov = mediaFixture("mov-s16be-stereo-front.mov");

    std::vector<Row> rows{
        // Help, version, usage.
        {{"--help"}, 0, "mts-extract", {}},
        {{"slice", "--help"}, 0, "usage: zuk slice IN OUT --start S --end E", {}},
        {{"help", "nope"}, 2, "", "zuk help: unknown command 'nope'"},
        {{"frobnicate"}, 2, "", "zuk: unknown command 'frobnicate'"},
        {{}, 2, "", "usage: zuk COMMAND"},
        {{"--version"}, 0, "zuk ", ""},
        // Sound-file commands. Not a terminal: progress one line per percent.
        {{"resample", at("in.wav"), at("out.wav")}, 0, "",
            "100%\n" + at("out.wav") +
                ": WAV (Microsoft), Signed 16 bit PCM, 48000 Hz, 1 channel, 108843 frames (2.268 s)"},
        {{"resample", "--quiet", at("missing.wav"), at("out.wav")}, 1, "",
            "zuk: resample failed: -1 (a file cannot be opened or positioned, an argument is invalid, or a needed "
            "library is missing); " +
                missingFile(at("missing.wav"))},
        {{"resample", "--quiet", at("in.wav"), at("no/out.wav")}, 1, {}, "cannot write in " + at("no")},
        {{"slice", at("in.wav"), at("b.wav"), "--start", "0", "--end", "0.5", "--lead", "0.25", "--pcm16"}, 0, "", {}},
        {{"slice", mediaFixture("flac.flac"), at("e.wav"), "--start=0", "--end=1"}, 2, {},
            "zuk slice: " + at("e.wav") +
                " ends in .wav, but this command writes the input's format, FLAC (Free "
                "Lossless Audio Codec), unless --pcm16; name it .flac"},
        {{"convert", "file://" + at("in.wav"), "file://" + at("d.wav"), "--rate", "44100.9"}, 0, "", {}},
        {{"fix-frame-rate", "29.97"}, 0, "29.97002997003\n", ""},
        // Extraction: paths, file URLs, names that are not UTF-8.
        {{"extract", "--dotnet", "file://" + at("Bänd%20clips/tëst%20tone.wav"), "file://" + at("from%20url.wav")}, 0,
            "", "\n" + at("from url.wav") + ": WAV"},
        {{"extract", "-q", at("lat\xE9.wav"), at("out\xE9.wav")}, 0, "", ""},
        // "-" is stdin and stdout: the whole WAV, its header sizes filled in
        // (145745 frames).
        {{"extract", "-q", "-", "-"}, 0, std::string("RIFF\xC6\x72\x04\x00WAVE", 12), "", {}, mp4},
        {{"extract", "--stereo", mediaFixture("flac.flac"), at("f.wav")}, 0, "",
            "\nresult 2: success, but no video frame rate was found"},
        {{"extract", "--quiet", "file://" + at("missing.mov"), at("out.wav")}, 1, "",
            "zuk: extract failed: -4 (extraction failed: no back end could extract the audio); " +
                missingFile(at("missing.mov"))},
        {{"extract", "--quiet", "--verbose", at("missing.mov"), at("out.wav")}, 1, "",
            "ZUK: Could not extract audio. \n"},
        {{"extract", "-q", "-v", videoOnly, at("v.wav")}, 1, "", "moovBox"}, // the MP4 route's commentary
        // Failures name their cause, not what libsndfile thinks of a movie.
        {{"extract", videoOnly, at("o.wav")}, 1, {}, "; no audio stream in "},
        {{"extract", mediaFixture("video-only.m2t"), at("o.wav")}, 1, {}, "; no audio PID in the transport stream "},
        {{"mp4-unwrap", mp4, at("o.wav")}, 1, {}, "; the sound track of "},
        {{"extract", at("text.mp3"), at("o.wav")}, 1, {},
            "; .mp3 files go to the QuickTime back end alone, and it (libQTMLClient.so) is not installed\n"},
        {{"extract", garbage, at("o.wav")}, 1, {}, "; cannot open "},
        {{"extract", folder, at("o.wav")}, 1, {}, "; " + folder + " is not a regular file but a folder"},
        {{"extract", mp4, folder}, 1, {}, " is a folder; name a file to write\n"},
        {{"extract", at("loop"), at("o.wav")}, 1, {}, ": Too many levels of symbolic links\n"},
        // Many inputs: a report line each; one failure fails the batch.
        {{"extract", "-q", mp4, movie, "--outdir", at("many"), "--report", at("report.jsonl")}, 0, "", ""},
        {{"extract", "-j", "2", at("text.mp3"), mp4, "--outdir", at("many")}, 1, "", "1 of 2 inputs failed\n"},
        {{"extract", folder, "--outdir", at("many")}, 2, "", "is a folder; add --recursive"},
        // The back-end check and the reader.
        {{"quicktime-installed"}, 1, "QuickTime is not installed (libQTMLClient.so not found)\n", {}},
        {{"quicktime-installed"}, 0, "QuickTime is installed\n", {}, {"LD_LIBRARY_PATH=" + fakeFolder("quicktime")}},
        {{"info", movie}, 0, "frame rate:    25 fps\nduration:      3.0000000 s (30000000 x 100 ns)\n", {}},
        {{"info", garbage}, 1, "", "zuk info: cannot open " + garbage + ": "},
        // As JSON: null for what is missing; U+FFFD for names that are not UTF-8.
        {{"info", "--json", movie}, 0,
            R"("audio":{"format_tag":255,"channels":2,"sample_rate":44100,"bits_per_sample":0,"block_align":1},)"
            R"("video":{"width":160,"height":120})",
            ""},
        {{"info", "--json", videoOnly}, 0, R"("audio":null)", ""},
        {{"info", "--json", movie + "\xff"}, 1, R"("file":")" + movie + "\xef\xbf\xbd\"", {}},
        {{"read", mp4, at("t.wav"), "--frames", "60000", "--seek-time", "0.75"}, 0, "",
            "read 60000 frames from frame 36000 (0.750 s); position reached: frame 96000 (2.000 s)"},
        {{"read", avi, at("tail.wav"), "--frames", "48000", "--seek-time", "-0.25", "--from", "end"}, 0, "",
            "read 12000 frames from frame 98400 (2.050 s); position reached: frame 110400 (2.300 s)"},
        {{"read", videoOnly, at("none.wav"), "--frames", "10"}, 1, {}, "has no audio stream"},
        {{"read", avi, at("x.wav"), "--frames", "9", "--seek-time", "-2.5", "--from", "end"}, 2, {},
            "before the start"},
        // Graph commands. replace-audio finds libsndfilewrapper.so beside libzuk.so.
        {{"is-ac3", mediaFixture("ac3.ac3")}, 0, {}, {}},
        {{"is-ac3", mediaFixture("mp2.mp2")}, 1, "not an AC-3 stream", {}},
        {{"is-ac3", at("missing.ac3")}, 2, {}, "zuk: " + missingFile(at("missing.ac3"))},
        {{"wrap-avi", mediaFixture("mpeg-ps.mpg"), at("sound.avi")}, 0, {}, {}},
        {{"replace-audio", avi, at("new.wav"), at("replaced.avi")}, 0, {}, {}},
        {{"wrap-avi", at("missing.mpg"), at("x.avi")}, 1, {},
            "zuk: wrap-avi failed: 0x80070002 (-2147024894): The system cannot find the file specified.; " +
                missingFile(at("missing.mpg"))},
        // Transport streams.
        {{"ts-audio", mediaFixture("bdav-ac3.m2ts"), at("sound.mp2"), "--bdav"}, 0, {},
            at("sound.mp2") + ": elementary stream, 48384 bytes\n" + at("sound.mp2") +
                ".m2v: PES packets of the audio PID, 48741 bytes\n"},
        {{"mts-extract", "--quiet", mediaFixture("ts-mp2.m2t"), at("ts.wav")}, 0, "", ""},
        {{"ts-audio", at("missing.m2t"), at("sound.mp2")}, 1, {},
            "zuk: ts-audio failed: -4 (extraction failed: no back end could extract the audio); " +
                missingFile(at("missing.m2t"))},
        // MP4 boxes: the dump on stdout, the parse commentary only for --verbose.
        {{"mp4-dump", pcmMov}, 0, "Boxes contained in moovBox:\n", {}},
        {{"mp4-unwrap", pcmMov, at("unwrapped.wav")}, 0, {}, {}},
        {{"mp4-unwrap", at("nothing.mp4"), at("x.wav"), "--verbose"}, 1, {}, "No Movie Found"},
    };
    // Wrong command lines: the usage error, and the command's help named.
    for (const auto& wrong : std::vector<std::vector<std::string>>{{"resample", "a.wav"},
             {"resample", "a.wav", "b.wav", "--rate"}, {"resample", "a.wav", "b.wav", "--rate", "fast"},
             {"resample", "a.wav", "b.wav", "--speed", "2"}, {"resample", "a.wav", "b.wav", "--rate", "0"},
             {"convert", "a.wav", "b.wav"}, {"slice", "a.wav", "b.wav", "--start", "1", "--end", "0.5"},
             {"slice", "a.wav", "b.wav", "--start", "0", "--end", "1", "--lead", "-1"}, {"extract", "a.mov", "b.mp3"},
             {"extract", "a.mov"}, {"extract", "a.mov", "b.wav", "--force"}, {"wrap-avi", "a.mov", "-"},
             {"info", "a.mov", "--stereo"}, {"read", "a.mov", "b.wav", "--frames", "1e3"}, {"read", "a.mov", "b.wav"},
             {"read", "a.mov", "b.wav", "--frames", "0"}, {"convert", "a.wav", "b.wav", "--rate", "0.5"},
             {"read", "a.mov", "b.wav", "--frames", "9", "--from", "end"},
             {"read", "a.mov", "b.wav", "--frames", "9", "--seek-time", "1", "--seek-sample", "48000"},
             {"read", "a.mov", "b.wav", "--frames", "9", "--seek-time", "1", "--from", "end"},
             {"read", "a.mov", "b.wav", "--frames", "9", "--seek-sample", "-5"},
             {"read", "a.mov", "b.wav", "--frames", "9", "--seek-time", "1", "--from", "middle"}})
        rows.push_back({wrong, 2, "", "\nTry 'zuk " + wrong.front() + " --help'.\n"});
    for (const Row& row : rows) {
        const std::string what = ::testing::PrintToString(row.arguments);
        const Outcome run = zuk(row.arguments, row.environment, row.input);
        EXPECT_EQ(run.status, row.status) << what << "\n" << run.err;
        expectPart(run.out, row.out, what + ": stdout");
        expectPart(run.err, row.err, what + ": stderr");
        EXPECT_EQ(run.err.find("libsndfile"), std::string::npos) << what << "\n" << run.err;
        EXPECT_EQ(run.out.find("MP4Box: int getBoxData"), std::string::npos) << what;
        if (row.arguments.size() > 1 && row.arguments[1] == "--json") {
            EXPECT_TRUE(nlohmann::json::accept(run.out)) << what;
        }
    }
    std::ifstream report(at("report.jsonl"));
    size_t lines = 0;
    for (std::string line; std::getline(report, line); ++lines)
        for (const char* field :
            {"input", "output", "result", "result_text", "skipped", "audio_seconds", "wall_seconds"})
            EXPECT_TRUE(nlohmann::json::parse(line).contains(field)) << line;
    EXPECT_EQ(lines, 2u);
}

// A reader that stops early makes a clean failure, not a death by SIGPIPE.
TEST(Cli, AWavWrittenToAClosedPipeFails)
{
    TempDir dir;
    const std::string early = shellQuoted(ZUK_CLI) + " extract -q " + shellQuoted(mediaFixture("mp4-aac.mp4")) +
        " - 2>" + shellQuoted(dir.file("err")) + "; echo $? >" + shellQuoted(dir.file("status"));
    ASSERT_EQ(std::system(("(" + early + ") | head -c 100 >/dev/null").c_str()), 0);
    EXPECT_EQ(fileBytes(dir.file("status")), "1\n");
    EXPECT_EQ(fileBytes(dir.file("err")).rfind("zuk: the WAV could not be written to stdout in full", 0), 0u);
}
