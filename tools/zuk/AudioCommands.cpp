// resample, convert, slice and fix-frame-rate: the sound-file tools.
#include "CommandLine.h"
#include "FileOperation.h"
#include "OutputName.h"

#include <zuk/zuk.h>

#include <cstdio>

namespace zukcli {

namespace {

// A sample rate from --rate: a whole number of Hz above 0.
int positiveRate(const std::string& text)
{
    const int rate = parseInt(text, "--rate");
    if (rate <= 0)
        throw UsageError{"--rate must be above 0 Hz, not " + text};
    return rate;
}

// Seconds from `option` that must not be negative.
std::optional<double> optionalDuration(const Invocation& call, std::string_view option)
{
    const auto seconds = parseOptionalSeconds(call, option);
    if (seconds && *seconds < 0)
        throw UsageError{"--" + std::string(option) + " must not be negative, not " + *call.value(option)};
    return seconds;
}

// The extensions a file of `format` goes by; libsndfile names one of them.
std::vector<std::string_view> extensionsOf(const SoundFormat& format)
{
    if (format.extension == "oga" || format.extension == "ogg")
        return {"ogg", "oga", "opus"};
    if (format.extension == "aiff" || format.extension == "aif")
        return {"aiff", "aif", "aifc"};
    if (format.extension == "wav")
        return {"wav", "wave"};
    return {format.extension};
}

// slice writes its input's format unless --pcm16 asks for the standard WAV.
void checkSliceOutputName(const Invocation& call)
{
    const std::string& output = call.positional.at(1);
    if (call.has("pcm16")) {
        checkOutputNamesWav(output);
        return;
    }
    if (const auto format = soundFormatOf(call.positional.at(0)))
        checkOutputNames(output, "the input's format, " + format->name + ", unless --pcm16", extensionsOf(*format));
}

int resampleCommand(const Invocation& call)
{
    const std::string* rateText = call.value("rate");
    const int rate = rateText != nullptr ? positiveRate(*rateText) : 48000;
    checkOutputNamesWav(call.positional.at(1));
    return runWithProgress(call, [&](const std::u16string& in, const std::u16string& out) {
        return resampleAudioWithRate(in.c_str(), out.c_str(), reportProgress, rate);
    });
}

int convertCommand(const Invocation& call)
{
    const std::string* rateText = call.value("rate");
    if (rateText == nullptr)
        throw UsageError{"--rate is required"};
    const auto rate = static_cast<float>(parseDouble(*rateText, "--rate"));
    if (!(rate >= 1))
        throw UsageError{"--rate must be at least 1 Hz, not " + *rateText};
    checkOutputNamesWav(call.positional.at(1));
    return runWithProgress(call, [&](const std::u16string& in, const std::u16string& out) {
        return ConvertToWav(in.c_str(), out.c_str(), rate);
    });
}

int sliceCommand(const Invocation& call)
{
    const double start = parseSeconds(call, "start");
    const double end = parseSeconds(call, "end");
    if (!(end > start))
        throw UsageError{"--end (" + *call.value("end") + ") must come after --start (" + *call.value("start") + ")"};
    const auto lead = optionalDuration(call, "lead");
    const auto total = optionalDuration(call, "total");
    checkSliceOutputName(call);
    const int32_t force16 = call.has("pcm16") ? 1 : 0;
    return runWithProgress(call, [&](const std::u16string& in, const std::u16string& out) {
        if (!lead && !total)
            return sliceAudio(in.c_str(), out.c_str(), start, end, force16);
        const double leadSeconds = lead.value_or(0.0);
        return sliceAudioWithPadding(
            in.c_str(), leadSeconds, out.c_str(), start, end, total.value_or(leadSeconds + (end - start)), force16);
    });
}

int fixFrameRateCommand(const Invocation& call)
{
    const double measured = parseDouble(call.positional.at(0), "FPS");
    std::printf("%.15g\n", FixFrameRate(measured));
    return 0;
}

const Command resampleInfo{"resample", "convert a sound file to a mono 16-bit WAV (48000 Hz unless --rate)",
    "usage: zuk resample IN OUT [--rate HZ]\n"
    "\n"
    "Converts any sound file libsndfile reads to a mono 16-bit PCM WAV by linear\n"
    "interpolation, at HZ (default 48000).\n",
    2, {"rate"}, {}, resampleCommand};

const Command convertInfo{"convert", "convert a sound file to a mono 16-bit WAV at a given rate",
    "usage: zuk convert IN OUT --rate HZ\n"
    "\n"
    "As resample, with the rate truncated to whole Hz (44100.9 gives 44100) and\n"
    "no progress.\n",
    2, {"rate"}, {}, convertCommand};

const Command sliceInfo{"slice", "cut a time range out of a sound file, with silence around it",
    "usage: zuk slice IN OUT --start S --end E [--lead S] [--total S] [--pcm16]\n"
    "\n"
    "Writes the range from --start to --end seconds of IN to OUT, with --lead\n"
    "seconds of silence before it and silence after it until OUT lasts --total\n"
    "seconds (default: lead plus the range). A range past the end of IN is filled\n"
    "with silence. OUT has IN's rate, channels and format, or 16-bit PCM WAV with\n"
    "--pcm16.\n",
    2, {"start", "end", "lead", "total"}, {"pcm16"}, sliceCommand};

const Command fixFrameRateInfo{"fix-frame-rate", "snap a measured video frame rate to its nominal value",
    "usage: zuk fix-frame-rate FPS\n"
    "\n"
    "Prints the nominal rate nearest FPS: a whole rate, or one of the 1000/1001\n"
    "family (29.97 gives 29.97002997003).\n",
    1, {}, {}, fixFrameRateCommand};

} // namespace

std::vector<Command> audioCommands()
{
    return {resampleInfo, convertInfo, sliceInfo, fixFrameRateInfo};
}

} // namespace zukcli
