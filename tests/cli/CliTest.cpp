// The zuk command line as a user runs it: arguments, output, exit status.
#include "support/FakeSiblings.h"
#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

using namespace zuktest;

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

std::string quoted(const std::string& text)
{
    std::string result = "'";
    for (char c : text)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

// Runs zuk with `arguments`, stdout and stderr going to files (not a terminal),
// stdin coming from `input`, and `environment` (NAME=VALUE ...) set for it.
Outcome zuk(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {},
            const std::string& input = "/dev/null")
{
    TempDir dir;
    std::string command = "env ";
    for (const auto& setting : environment)
        command.append(quoted(setting)).append(" ");
    command.append(quoted(ZUK_CLI));
    for (const auto& argument : arguments)
        command.append(" ").append(quoted(argument));
    command.append(" >").append(quoted(dir.file("out")));
    command.append(" 2>").append(quoted(dir.file("err")));
    command.append(" <").append(quoted(input));
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, fileBytes(dir.file("out")), fileBytes(dir.file("err"))};
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

TEST(Cli, HelpListsTheCommands)
{
    const Outcome general = zuk({"--help"});
    EXPECT_EQ(general.status, 0);
    for (const char* command :
         {"extract", "quicktime-installed", "info", "read", "resample", "convert", "slice", "fix-frame-rate", "is-ac3",
          "wrap-avi", "replace-audio", "mts-extract", "ts-audio"})
        EXPECT_NE(general.out.find(command), std::string::npos) << command;
    const Outcome slice = zuk({"slice", "--help"});
    EXPECT_EQ(slice.status, 0);
    EXPECT_EQ(slice.out.rfind("usage: zuk slice IN OUT --start S --end E", 0), 0u);
    for (const auto& same : std::vector<std::vector<std::string>>{{"help", "slice"}, {"slice", "-h"}})
        EXPECT_EQ(zuk(same).out, slice.out) << same[0] << " " << same[1];
    EXPECT_EQ(zuk({"help", "nope"}).status, 2);
    const Outcome bare = zuk({});
    EXPECT_EQ(bare.status, 2);
    EXPECT_TRUE(bare.out.empty());
    EXPECT_EQ(bare.err.rfind("usage: zuk COMMAND", 0), 0u);
    for (const char* flag : {"--version", "-V"}) {
        const Outcome version = zuk({flag});
        EXPECT_EQ(version.status, 0) << flag;
        EXPECT_TRUE(std::regex_match(version.out, std::regex("zuk [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version.out;
    }
}

TEST(Cli, ResampleReportsWhatItWrote)
{
    TempDir dir;
    writeShorts(dir.file("in.wav"), 44100, 2, testSignal(100000, 2, 44100));
    const Outcome run = zuk({"resample", dir.file("in.wav"), dir.file("out.wav")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "") << "stdout carries only what was asked for";
    // Not a terminal: one line per whole percent, rising, ending at 100%;
    // then what was written.
    auto lines = linesOf(run.err);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), dir.file("out.wav") + ": WAV (Microsoft), Signed 16 bit PCM, 48000 Hz, 1 channel, 108843 "
                                                  "frames (2.268 s)");
    lines.pop_back();
    ASSERT_GE(lines.size(), 3u);
    int last = -1;
    for (const auto& line : lines) {
        ASSERT_TRUE(std::regex_match(line, std::regex("[0-9]+%"))) << line;
        EXPECT_GT(std::stoi(line), last);
        last = std::stoi(line);
    }
    EXPECT_EQ(lines.back(), "100%");

    const Outcome quiet = zuk({"resample", "-q", dir.file("in.wav"), dir.file("q.wav"), "--rate=16000"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err + quiet.out, "");
    EXPECT_EQ(readShorts(dir.file("q.wav")).info.samplerate, 16000);
}

TEST(Cli, FailuresNameTheCodeOnOneLine)
{
    TempDir dir;
    const Outcome missing = zuk({"resample", "--quiet", dir.file("missing.wav"), dir.file("out.wav")});
    EXPECT_EQ(missing.status, 1);
    ASSERT_EQ(linesOf(missing.err).size(), 1u) << missing.err;
    EXPECT_NE(missing.err.find("zuk: resample failed: -1 ("), std::string::npos) << missing.err;
    EXPECT_NE(missing.err.find("cannot read " + dir.file("missing.wav")), std::string::npos) << missing.err;

    writeShorts(dir.file("in.wav"), 8000, 1, testSignal(800, 1, 8000));
    const Outcome noFolder = zuk({"resample", "--quiet", dir.file("in.wav"), dir.file("no/out.wav")});
    EXPECT_EQ(noFolder.status, 1);
    EXPECT_NE(noFolder.err.find("cannot write in " + dir.file("no")), std::string::npos) << noFolder.err;

    // Causes come from what failed, not from what libsndfile thinks of a movie.
    std::ofstream(dir.file("text.mp3")) << "not sound";
    const struct {
        std::vector<std::string> arguments;
        std::string cause;
    } rows[] = {
        {{"extract", mediaFixture("video-only.mp4"), dir.file("o.wav")}, "; no audio stream in "},
        {{"extract", mediaFixture("video-only.m2t"), dir.file("o.wav")}, "; no audio PID in the transport stream "},
        {{"ts-audio", mediaFixture("video-only.m2t"), dir.file("o.mp2")}, "; no audio PID in the transport stream "},
        {{"mp4-unwrap", mediaFixture("mp4-aac.mp4"), dir.file("o.wav")}, "; the sound track of "},
        {{"extract", dir.file("text.mp3"), dir.file("o.wav")},
         "; .mp3 files go to the QuickTime back end alone, and it (libQTMLClient.so) is not installed\n"},
        {{"extract", mediaFixture("garbage.bin"), dir.file("o.wav")}, "; cannot open "},
        {{"extract", dir.path().string(), dir.file("o.wav")}, "; " + dir.path().string() + " is not a regular file but a folder"},
        {{"extract", mediaFixture("mp4-aac.mp4"), dir.path().string()}, " is a folder; name a file to write\n"},
        {{"wrap-avi", dir.path().string(), dir.file("o.avi")}, "; " + dir.path().string() + " is not a regular file but"},
        {{"extract", dir.file("loop"), dir.file("o.wav")}, ": Too many levels of symbolic links\n"},
    };
    std::filesystem::create_symlink("loop", dir.file("loop"));
    for (const auto& row : rows) {
        const Outcome run = zuk(row.arguments);
        EXPECT_EQ(run.status, 1) << row.arguments[0] << " " << row.arguments[1];
        EXPECT_NE(run.err.find(row.cause), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("libsndfile"), std::string::npos) << run.err;
    }
}

TEST(Cli, WrongCommandLinesExitWithTwo)
{
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"frobnicate"},
                                               {"resample", "a.wav"},
                                               {"resample", "a.wav", "b.wav", "--rate"},
                                               {"resample", "a.wav", "b.wav", "--rate", "fast"},
                                               {"resample", "a.wav", "b.wav", "--speed", "2"},
                                               {"resample", "a.wav", "b.wav", "--rate", "0"},
                                               {"convert", "a.wav", "b.wav"},
                                               {"convert", "a.wav", "b.wav", "--rate", "0.5"},
                                               {"slice", "a.wav", "b.wav", "--start", "1"},
                                               {"slice", "a.wav", "b.wav", "--start", "1", "--end", "0.5"},
                                               {"slice", "a.wav", "b.wav", "--start", "0", "--end", "1", "--lead", "-1"},
                                               {"slice", "a.wav", "b.wav", "--start", "0", "--end", "1", "--total", "-2"},
                                               {"extract", "a.mov", "b.mp3"},
                                               {"wrap-avi", "a.mov", "b.wav"},
                                               {"fix-frame-rate", "thirty"},
                                               {"info"},
                                               {"info", "a.mov", "--stereo"},
                                               {"extract", "a.mov", "b.wav", "--mono"},
                                               {"read", "a.mov", "b.wav"},
                                               {"read", "a.mov", "b.wav", "--frames", "0"},
                                               {"read", "a.mov", "b.wav", "--frames", "1e3"},
                                               {"read", "a.mov", "b.wav", "--frames", "9", "--from", "end"},
                                               {"read", "a.mov", "b.wav", "--frames", "9", "--seek-time", "1",
                                                "--seek-sample", "48000"},
                                               {"read", "a.mov", "b.wav", "--frames", "9", "--seek-time", "1",
                                                "--from", "end"},
                                               {"read", "a.mov", "b.wav", "--frames", "9", "--seek-sample", "-5"},
                                               {"read", "a.mov", "b.wav", "--frames", "9", "--seek-time", "1",
                                                "--from", "middle"}}) {
        const Outcome run = zuk(arguments);
        EXPECT_EQ(run.status, 2) << arguments.front() << " " << run.err;
        EXPECT_FALSE(run.err.empty());
    }
}

TEST(Cli, SliceConvertAndFrameRate)
{
    TempDir dir;
    const std::string in = dir.file("été.wav");
    writeShorts(in, 48000, 2, testSignal(48000, 2, 48000));

    EXPECT_EQ(zuk({"slice", in, dir.file("a.wav"), "--start", "0.5", "--end", "1.5"}).status, 0);
    EXPECT_EQ(readShorts(dir.file("a.wav")).frames(), 48000);
    EXPECT_EQ(zuk({"slice", in, dir.file("b.wav"), "--start", "0", "--end", "0.5", "--lead", "0.25", "--pcm16"}).status,
              0);
    EXPECT_EQ(readShorts(dir.file("b.wav")).frames(), 36000);
    EXPECT_EQ(zuk({"slice", in, dir.file("c.wav"), "--start=0", "--end=0.5", "--total=2"}).status, 0);
    EXPECT_EQ(readShorts(dir.file("c.wav")).frames(), 96000);
    // slice writes its input's format: a FLAC input into a .wav name would lie.
    const Outcome misnamed = zuk({"slice", mediaFixture("flac.flac"), dir.file("e.wav"), "--start=0", "--end=1"});
    EXPECT_EQ(misnamed.status, 2);
    EXPECT_EQ(linesOf(misnamed.err).at(0), "zuk slice: " + dir.file("e.wav") +
                                               " ends in .wav, but this command writes the input's format, FLAC "
                                               "(Free Lossless Audio Codec), unless --pcm16; name it .flac");

    // Every command takes file:// URLs as it takes paths.
    EXPECT_EQ(zuk({"convert", "file://" + in, "file://" + dir.file("d.wav"), "--rate", "44100.9"}).status, 0);
    EXPECT_EQ(readShorts(dir.file("d.wav")).info.samplerate, 44100);

    const Outcome rate = zuk({"fix-frame-rate", "29.97"});
    EXPECT_EQ(rate.status, 0);
    EXPECT_EQ(rate.out, "29.97002997003\n");
}

TEST(Cli, ExtractTakesPathsAndFileUrlsAlike)
{
    TempDir dir;
    std::filesystem::create_directories(dir.path() / "Bänd clips");
    const std::string input = dir.file("Bänd clips/tëst tone.wav");
    writeShorts(input, 44100, 2, testSignal(44100, 2, 44100));

    const Outcome plain = zuk({"extract", "--quiet", input, dir.file("plain.wav")});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(readShorts(dir.file("plain.wav")).frames(), 47999);

    std::string url = "file://";
    for (const char c : input)
        url += c == ' ' ? std::string("%20") : std::string(1, c);
    const std::string output = dir.file("from url.wav");
    std::string outputUrl = "file://" + dir.file("from%20url.wav");
    const Outcome fromUrl = zuk({"extract", "--dotnet", url, outputUrl});
    ASSERT_EQ(fromUrl.status, 0) << fromUrl.err;
    EXPECT_NE(fromUrl.err.find("\n" + output + ": WAV"), std::string::npos) << "the written file is described where it lies";
    EXPECT_EQ(readShorts(output).samples, readShorts(dir.file("plain.wav")).samples);

    // Names that are not UTF-8, as old cameras and Latin-1 archives write them.
    const std::string latin1 = dir.file("lat\xE9.wav");
    std::filesystem::copy_file(input, latin1);
    const Outcome fromLatin1 = zuk({"extract", "-q", latin1, dir.file("out\xE9.wav")});
    ASSERT_EQ(fromLatin1.status, 0) << fromLatin1.err;
    EXPECT_EQ(readShorts(dir.file("out\xE9.wav")).samples, readShorts(dir.file("plain.wav")).samples);
}

TEST(Cli, DashIsStdinAndStdout)
{
    TempDir dir;
    const std::string movie = mediaFixture("mp4-aac.mp4");
    ASSERT_EQ(zuk({"extract", "-q", movie, dir.file("file.wav")}).status, 0);
    const Outcome piped = zuk({"extract", "-q", "-", "-"}, {}, movie);
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.err, "");
    EXPECT_TRUE(piped.out == fileBytes(dir.file("file.wav"))) << "stdout carries the whole WAV, header and all";

    // A reader that stops early makes a clean failure, not a death by SIGPIPE.
    const std::string early = quoted(ZUK_CLI) + " extract -q " + quoted(movie) + " - 2>" + quoted(dir.file("err")) +
                              "; echo $? >" + quoted(dir.file("status"));
    ASSERT_EQ(std::system(("(" + early + ") | head -c 100 >/dev/null").c_str()), 0);
    EXPECT_EQ(fileBytes(dir.file("status")), "1\n");
    EXPECT_EQ(fileBytes(dir.file("err")).rfind("zuk: the WAV could not be written to stdout in full", 0), 0u);

    EXPECT_EQ(zuk({"wrap-avi", movie, "-"}).status, 2);
}

TEST(Cli, ExtractFailureNamesTheCode)
{
    TempDir dir;
    const Outcome run = zuk({"extract", "--quiet", "file://" + dir.file("missing.mov"), dir.file("out.wav")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "zuk: extract failed: -4 (extraction failed: no back end could extract the audio); cannot read " +
                           dir.file("missing.mov") + ": No such file or directory\n");
    const Outcome verbose = zuk({"extract", "--quiet", "--verbose", dir.file("missing.mov"), dir.file("out.wav")});
    EXPECT_NE(verbose.err.find("ZUK: Could not extract audio. \n"), std::string::npos) << verbose.err;
    // The MP4 route's box-by-box commentary is only for --verbose, on stderr.
    const std::string noAudio = mediaFixture("video-only.mp4");
    EXPECT_EQ(zuk({"extract", "-q", noAudio, dir.file("v.wav")}).out, "");
    const Outcome told = zuk({"extract", "-q", "-v", noAudio, dir.file("v.wav")});
    EXPECT_EQ(told.out, "");
    EXPECT_NE(told.err.find("moovBox"), std::string::npos) << told.err;
}

TEST(Cli, QuickTimeInstalledAsksTheLoader)
{
    const Outcome absent = zuk({"quicktime-installed"});
    EXPECT_EQ(absent.status, 1);
    EXPECT_EQ(absent.out, "QuickTime is not installed (libQTMLClient.so not found)\n");
    const Outcome present = zuk({"quicktime-installed"}, {"LD_LIBRARY_PATH=" + fakeFolder("quicktime")});
    EXPECT_EQ(present.status, 0) << present.err;
    EXPECT_EQ(present.out, "QuickTime is installed\n");
}

TEST(Cli, ExtractFindsBackEndsOnTheLoadersPath)
{
    TempDir dir;
    writeShorts(dir.file("made.wav"), 48000, 1, testSignal(4800, 1, 48000));
    const Outcome run = zuk({"extract", "--quiet", dir.file("song.mp3"), dir.file("out.wav")},
                            {"LD_LIBRARY_PATH=" + fakeFolder("quicktime") + ":" + fakeFolder("dornalt"),
                             "ZUK_FAKE_DORNALT_WAV=" + dir.file("made.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readShorts(dir.file("out.wav")).samples, readShorts(dir.file("made.wav")).samples);
}

TEST(Cli, InfoShowsTheReadersRecordAsTextOrJson)
{
    const std::string movie = mediaFixture("mov-aac.mov");
    const Outcome text = zuk({"info", movie});
    ASSERT_EQ(text.status, 0) << text.err;
    for (const std::string line :
         {"audio:         format tag 0x00FF (AAC), 2 channels, 44100 Hz, ", "video:         160 x 120\n",
          "frame rate:    25 fps\n", "duration:      3.0000000 s (30000000 x 100 ns)\n",
          "sample length: 132300 frames at the source rate\n"})
        EXPECT_NE(text.out.find(line), std::string::npos) << line << "\nin:\n" << text.out;

    EXPECT_NE(text.out.find("stream 1:      audio, aac, 44100 Hz, stereo\n"), std::string::npos) << text.out;

    using nlohmann::json;
    const Outcome described = zuk({"info", "--json", movie});
    ASSERT_EQ(described.status, 0) << described.err;
    const json record = json::parse(described.out);
    EXPECT_EQ(record["file"], movie);
    EXPECT_EQ(record["audio"], json::parse(R"({"format_tag":255,"channels":2,"sample_rate":44100,"bits_per_sample":0,
                                               "block_align":1})"));
    EXPECT_EQ(record["video"], json::parse(R"({"width":160,"height":120})"));
    EXPECT_EQ(record["frame_rate"], 25);
    EXPECT_EQ(record["duration_100ns"], 30000000);
    EXPECT_EQ(record["sample_length"], 132300);
    EXPECT_EQ(record["streams"], json::parse(R"([
        {"index":0,"type":"video","codec_name":"mpeg4","width":160,"height":120,"frame_rate":25,"duration_seconds":3},
        {"index":1,"type":"audio","codec_name":"aac","sample_rate":44100,"channels":2,"channel_layout":"stereo",
         "duration_seconds":3}])"));

    // What a file lacks is null; a failure is JSON too.
    EXPECT_TRUE(json::parse(zuk({"info", "--json", mediaFixture("video-only.mp4")}).out)["audio"].is_null());
    EXPECT_TRUE(json::parse(zuk({"info", "--json", mediaFixture("flac.flac")}).out)["video"].is_null());
    const Outcome missing = zuk({"info", "--json", movie + ".missing"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(json::parse(missing.out)["error"], "cannot open " + movie +
                                                     ".missing: The system cannot find the file specified.");
}

TEST(Cli, InfoOnWhatCannotBeOpenedSaysWhyAndExitsWithOne)
{
    const std::string garbage = mediaFixture("garbage.bin");
    const Outcome run = zuk({"info", garbage});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    ASSERT_EQ(linesOf(run.err).size(), 1u) << run.err;
    EXPECT_TRUE(std::regex_match(run.err, std::regex("zuk info: cannot open " + garbage + ": [A-Z].+\n"))) << run.err;
}

TEST(Cli, ReadAfterASeekWritesTheSameFramesAsAFullExtraction)
{
    TempDir dir;
    const std::string movie = mediaFixture("mp4-aac.mp4");
    ASSERT_EQ(zuk({"extract", "--quiet", movie, dir.file("mono.wav")}).status, 0);
    ASSERT_EQ(zuk({"extract", "--quiet", "--stereo", movie, dir.file("stereo.wav")}).status, 0);
    const Sound mono = readShorts(dir.file("mono.wav"));
    const Sound stereo = readShorts(dir.file("stereo.wav"));

    // More frames than one read buffer holds, from a time and from a sample.
    const Outcome byTime = zuk({"read", movie, dir.file("t.wav"), "--frames", "60000", "--seek-time", "0.75"});
    ASSERT_EQ(byTime.status, 0) << byTime.err;
    EXPECT_EQ(linesOf(byTime.err).at(0), "read 60000 frames from frame 36000 (0.750 s); position reached: frame 96000 "
                                         "(2.000 s)");
    const Sound t = readShorts(dir.file("t.wav"));
    EXPECT_EQ(t.info.channels, 1);
    EXPECT_EQ(t.samples, std::vector<int16_t>(mono.samples.begin() + 36000, mono.samples.begin() + 96000));

    const Outcome bySample =
        zuk({"read", movie, dir.file("s.wav"), "--frames=1000", "--seek-sample=36000", "--stereo"});
    ASSERT_EQ(bySample.status, 0) << bySample.err;
    const Sound s = readShorts(dir.file("s.wav"));
    EXPECT_EQ(s.info.channels, 2);
    EXPECT_EQ(s.samples, std::vector<int16_t>(stereo.samples.begin() + 2 * 36000, stereo.samples.begin() + 2 * 37000));
}

TEST(Cli, ReadPastTheEndWritesWhatThereIs)
{
    TempDir dir;
    const std::string movie = mediaFixture("avi-pcm.avi"); // 2.3 s of sound at 48000 Hz
    ASSERT_EQ(zuk({"extract", "--quiet", movie, dir.file("full.wav")}).status, 0);
    const Outcome run =
        zuk({"read", movie, dir.file("tail.wav"), "--frames", "48000", "--seek-time", "-0.25", "--from", "end"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(linesOf(run.err).at(0), "read 12000 frames from frame 98400 (2.050 s); position reached: frame 110400 "
                                      "(2.300 s)");
    const std::vector<int16_t> full = readShorts(dir.file("full.wav")).samples;
    EXPECT_EQ(readShorts(dir.file("tail.wav")).samples,
              std::vector<int16_t>(full.begin() + 98400, full.begin() + 110400));

    const Outcome silent = zuk({"read", mediaFixture("video-only.mp4"), dir.file("none.wav"), "--frames", "10"});
    EXPECT_EQ(silent.status, 1);
    EXPECT_NE(silent.err.find("has no audio stream"), std::string::npos) << silent.err;
    // A seek out of the sound is a wrong command line, not a quiet clamp.
    for (const char* seconds : {"2.5", "-2.5"}) {
        const Outcome outside = zuk({"read", movie, dir.file("x.wav"), "--frames", "9", "--seek-time", seconds, "--from",
                                     seconds[0] == '-' ? "end" : "start"});
        EXPECT_EQ(outside.status, 2) << seconds;
        EXPECT_NE(outside.err.find("the seek goes"), std::string::npos) << outside.err;
    }
}

TEST(Cli, ExtractStereoWritesTwoChannelsAndSaysWhenItCouldNotPad)
{
    TempDir dir;
    const Outcome movie = zuk({"extract", "--quiet", "--stereo", mediaFixture("mov-aac.mov"), dir.file("m.wav")});
    ASSERT_EQ(movie.status, 0) << movie.err;
    const Sound sound = readShorts(dir.file("m.wav"));
    EXPECT_EQ(sound.info.channels, 2);
    EXPECT_EQ(sound.info.samplerate, 48000);
    EXPECT_EQ(sound.frames(), 145920); // 144893 decoded frames, padded to 76 frames at 25 fps
    int64_t differing = 0;
    for (size_t i = 0; i + 1 < sound.samples.size(); i += 2)
        differing += sound.samples[i] != sound.samples[i + 1];
    EXPECT_GT(differing, sound.frames() / 2) << "each channel keeps its own sweep";

    // No video: written unpadded, which is still a success, noted on stderr.
    const Outcome audioOnly = zuk({"extract", "--stereo", mediaFixture("flac.flac"), dir.file("f.wav")});
    EXPECT_EQ(audioOnly.status, 0) << audioOnly.err;
    EXPECT_NE(audioOnly.err.find("\nresult 2: success, but no video frame rate was found"), std::string::npos)
        << audioOnly.err;
}

TEST(Cli, GraphCommandsAnswerWithExitStatusAndTheCodesText)
{
    TempDir dir;
    EXPECT_EQ(zuk({"is-ac3", mediaFixture("ac3.ac3")}).status, 0);
    const Outcome notAc3 = zuk({"is-ac3", mediaFixture("mp2.mp2")});
    EXPECT_EQ(notAc3.status, 1);
    EXPECT_NE(notAc3.out.find("not an AC-3 stream"), std::string::npos) << notAc3.out;
    const Outcome unreadable = zuk({"is-ac3", dir.file("missing.ac3")});
    EXPECT_EQ(unreadable.status, 2);
    EXPECT_EQ(unreadable.err, "zuk: cannot read " + dir.file("missing.ac3") + ": No such file or directory\n");

    const Outcome wrapped = zuk({"wrap-avi", mediaFixture("mpeg-ps.mpg"), dir.file("sound.avi")});
    EXPECT_EQ(wrapped.status, 0) << wrapped.err;
    EXPECT_EQ(ffprobeStreams(dir.file("sound.avi")), (std::vector<std::string>{"audio:pcm_s16le"}));

    // The tool finds libsndfilewrapper.so beside libzuk.so, where the build puts it.
    writeShorts(dir.file("new.wav"), 48000, 1, testSignal(48000, 1, 48000));
    const Outcome replaced =
        zuk({"replace-audio", mediaFixture("avi-pcm.avi"), dir.file("new.wav"), dir.file("replaced.avi")});
    EXPECT_EQ(replaced.status, 0) << replaced.err;
    EXPECT_EQ(ffprobeStreams(dir.file("replaced.avi")), (std::vector<std::string>{"video:mjpeg", "audio:pcm_s16le"}));

    const Outcome missing = zuk({"wrap-avi", dir.file("missing.mpg"), dir.file("x.avi")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "zuk: wrap-avi failed: 0x80070002 (-2147024894): The system cannot find the file specified.; "
                           "cannot read " + dir.file("missing.mpg") + ": No such file or directory\n");
}

TEST(Cli, TransportStreamCommands)
{
    TempDir dir;
    const std::string mp2 = dir.file("sound.mp2");
    const Outcome lifted = zuk({"ts-audio", mediaFixture("bdav-ac3.m2ts"), mp2, "--bdav"});
    EXPECT_EQ(lifted.status, 0) << lifted.err;
    EXPECT_EQ(lifted.err, mp2 + ": elementary stream, 48384 bytes\n" + mp2 +
                              ".m2v: PES packets of the audio PID, 48741 bytes\n");
    EXPECT_TRUE(fileBytes(mp2) == fileBytes(mediaFixture("bdav-ac3.m2ts.mp2")));

    const Outcome extracted = zuk({"mts-extract", "--quiet", mediaFixture("ts-mp2.m2t"), dir.file("out.wav")});
    EXPECT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_EQ(readShorts(dir.file("out.wav")).frames(), 144000);

    const Outcome missing = zuk({"ts-audio", dir.file("missing.m2t"), mp2});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "zuk: ts-audio failed: -4 (extraction failed: no back end could extract the audio); "
                           "cannot read " + dir.file("missing.m2t") + ": No such file or directory\n");
}
