// What the resampler makes of every kind of input and output it may be given.
#include "support/TestFiles.h"

#include <zuk/zuk.h>

#include <gtest/gtest.h>

#include <fstream>
#include <random>

using namespace zuktest;

namespace {

int32_t resampleFiles(const std::string& in, const std::string& out, int rate = 48000)
{
    return resampleAudioWithRate(wide(in).c_str(), wide(out).c_str(), nullptr, rate);
}

} // namespace

TEST(SoundFileInputs, EncodingsLibsndfileReadsKeepTheirLevel)
{
    TempDir dir;
    const auto signal = testSignal(20000, 2, 44100);
    for (const int format : {SF_FORMAT_WAV | SF_FORMAT_PCM_24, SF_FORMAT_WAV | SF_FORMAT_PCM_32,
             SF_FORMAT_WAV | SF_FORMAT_PCM_U8, SF_FORMAT_AIFF | SF_FORMAT_PCM_16, SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
             SF_FORMAT_OGG | SF_FORMAT_VORBIS, SF_FORMAT_AU | SF_FORMAT_ULAW}) {
        const std::string in = dir.file("in " + std::to_string(format) + " é");
        writeShorts(in, 44100, 2, signal, format);
        ASSERT_EQ(resampleFiles(in, in + ".wav"), 0) << std::hex << format;
        const Sound out = readShorts(in + ".wav");
        EXPECT_EQ(out.frames(), (20000 - 1) * 48000LL / 44100 + 1) << std::hex << format;
        int peak = 0;
        for (int16_t s : out.samples)
            peak = std::max(peak, std::abs(int{s}));
        EXPECT_GT(peak, 10000) << "format " << std::hex << format << " lost its level";
    }
}

// Inputs that are no sound, locations that name no file, rates that are not
// positive, outputs that cannot be made: -1, nothing written, nothing left open.
TEST(SoundFileInputs, WhatCannotBeResampledGivesMinusOneAndNoOutput)
{
    TempDir dir;
    writeShorts(dir.file("in.wav"), 8000, 1, testSignal(800, 1, 8000));
    std::ofstream(dir.file("text.wav")) << "RIFF but not really a wave file";
    std::ofstream noise(dir.file("noise.wav"), std::ios::binary);
    std::mt19937 bytes(7);
    for (int i = 0; i < 100000; ++i)
        noise.put(static_cast<char>(bytes()));
    noise.close();
    std::ofstream(dir.file("empty.wav")).close();
    std::filesystem::create_directory(dir.file("folder.wav"));
    const std::u16string in = wide(dir.file("in.wav"));
    const std::u16string out = wide(dir.file("out.wav"));
    std::u16string loneSurrogate = out;
    loneSurrogate.insert(loneSurrogate.size() - 4, 1, u'\xD800');
    const std::u16string notThere[] = {u"", loneSurrogate, wide("/proc/zuk-out.wav"), wide(dir.file("missing/out.wav")),
        wide(dir.file("in.wav/out.wav"))};
    const int before = openDescriptorCount();
    for (const char* name : {"text.wav", "noise.wav", "empty.wav", "folder.wav", "missing.wav"})
        EXPECT_EQ(resampleFiles(dir.file(name), dir.file("out.wav")), -1) << name;
    EXPECT_EQ(resampleAudioWithRate(nullptr, out.c_str(), nullptr, 48000), -1);
    EXPECT_EQ(resampleAudioWithRate(u"", out.c_str(), nullptr, 48000), -1);
    EXPECT_EQ(resampleAudioWithRate(in.c_str(), nullptr, nullptr, 48000), -1);
    for (const std::u16string& output : notThere)
        EXPECT_EQ(resampleAudioWithRate(in.c_str(), output.c_str(), nullptr, 48000), -1);
    for (const int rate : {0, -1, -48000})
        EXPECT_EQ(resampleFiles(dir.file("in.wav"), dir.file("out.wav"), rate), -1) << rate;
    for (const float rate : {0.9f, NAN, 3e9f})
        EXPECT_EQ(ConvertToWav(in.c_str(), out.c_str(), rate), -1) << rate;
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.wav")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 5) << "nothing written beside";
    EXPECT_EQ(openDescriptorCount(), before);
}

TEST(SoundFileInputs, FailedWritesGiveMinusSevenAndKeepWhatWasWritten)
{
    TempDir dir;
    writeShorts(dir.file("in.wav"), 48000, 1, testSignal(200000, 1, 48000));
    const int before = openDescriptorCount();
    {
        const FileSizeLimit limit(100 * 1024);
        EXPECT_EQ(resampleFiles(dir.file("in.wav"), dir.file("out.wav")), -7);
    }
    EXPECT_EQ(openDescriptorCount(), before);
    const Sound kept = readShorts(dir.file("out.wav"));
    const Sound input = readShorts(dir.file("in.wav"));
    ASSERT_GT(kept.frames(), 20000);
    ASSERT_LT(kept.frames(), input.frames());
    EXPECT_EQ(kept.samples, std::vector<int16_t>(input.samples.begin(), input.samples.begin() + kept.frames()));
}
