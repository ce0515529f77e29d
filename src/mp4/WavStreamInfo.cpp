#include "mp4/WavStreamInfo.h"

#include "mp4/Mp4Log.h"

#include <algorithm>

namespace zuk {

namespace {

// True when every sample of the track is one frame of `frameBytes` bytes:
// each lasts one tick of the sample rate and all have that size, as
// uncompressed sound is stored.
bool oneFramePerSample(const AudioTrackBoxes& track, uint64_t frameBytes)
{
    if (track.stts == nullptr || track.stsz == nullptr || track.stts->rows.empty() ||
        track.stts->rows.size() != track.stts->entry_count)
        return false;
    return track.stsz->sample_size == frameBytes &&
        std::all_of(track.stts->rows.begin(), track.stts->rows.end(),
            [](const MP4Box::sttsBox::Row& run) { return run.sample_delta == 1; });
}

} // namespace

int32_t getWavStreamInfo(const AudioTrackBoxes& track, WavStreamInfo& info)
{
    if (track.stsd == nullptr) {
        mp4Log("Sample table lacks a sample description\n");
        return -1;
    }
    const MP4Box::stsdBox& description = *track.stsd;
    mp4Log("Examining sample description box\n");
    if (description.entry_count == 0) {
        mp4Log("No description of audio samples\n");
        return -1;
    }
    if (description.entry_count > 1) {
        mp4Log("More than 1 sample type, probably not wav encoding.\n");
        return -1;
    }
    const auto* entry = description.children.empty()
        ? nullptr
        : dynamic_cast<const MP4Box::audioSampleEntryBox*>(description.children.front().get());
    if (entry == nullptr) {
        mp4Log("Sample description is not an audio sample entry\n");
        return -1;
    }
    const auto format = pcmFormatOf(*entry);
    if (!format) {
        mp4Log("Samples are not integer PCM of 8, 16, 24 or 32 bits\n");
        return -1;
    }
    info.sampleRate = static_cast<int>(entry->samplerate >> 16);
    info.channels = entry->channelcount;
    info.format = *format;
    if (info.sampleRate == 0 || info.channels == 0) {
        mp4Log("Sample rate or channel count is 0\n");
        return -1;
    }
    if (isUnknownFormatCode(entry->code) &&
        !oneFramePerSample(track, uint64_t{format->bytesPerSample} * static_cast<uint64_t>(info.channels))) {
        mp4Log("Unknown sample format, and the sample tables do not show uncompressed frames\n");
        return -1;
    }
    return 0;
}

} // namespace zuk
