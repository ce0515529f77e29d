#include "mp4/WavStreamInfo.h"

#include "mp4/Mp4Log.h"

namespace zuk {

int32_t getWavStreamInfo(const MP4Box::stsdBox& description, WavStreamInfo& info)
{
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
    return 0;
}

} // namespace zuk
