#include "platform/SoundFile.h"

#include "platform/WideText.h"

namespace zuk {

SoundFilePtr openSoundFile(const zuk_char* path, int mode, SF_INFO& info)
{
    const auto name = pathFromWide(path);
    if (!name)
        return nullptr;
    return SoundFilePtr(sf_open(name->c_str(), mode, &info));
}

SoundFilePtr createPcm16Wav(const zuk_char* path, int rate, int channels, SF_INFO& info)
{
    info = SF_INFO{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    return openSoundFile(path, SFM_WRITE, info);
}

bool closeSoundFile(SoundFilePtr& file)
{
    if (!file)
        return true;
    return sf_close(file.release()) == 0;
}

} // namespace zuk
