#include "mp4/UnwrapMP4.h"

#include "mp4/AudioTrack.h"
#include "mp4/Makewavfile.h"
#include "mp4/Mp4Log.h"
#include "mp4/TopLevel.h"

namespace zuk {

int32_t unwrapMP4(const zuk_char* output, std::ifstream& input)
{
    const TopLevel top = scanTopLevel(input);
    if (top.result != 0)
        return top.result;
    if (!top.movie) {
        mp4Log("No Movie Found \n");
        return ZUK_E_OPEN;
    }
    AudioTrackBoxes track;
    if (findAudioTrack(top.movie->children, track) == nullptr) {
        mp4Log("No Audio Track \n");
        return ZUK_E_OPEN;
    }
    input.clear();
    input.seekg(0);
    const int32_t result = Makewavfile(output, track, input, 0);
    input.close();
    return result;
}

} // namespace zuk
