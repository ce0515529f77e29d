#include "mts/TsToMp2.h"

#include "log/Log.h"
#include "mts/AudioStreamSearch.h"
#include "mts/MtsLog.h"
#include "mts/PesExtraction.h"
#include "mts/PidExtraction.h"
#include "platform/FileIdentity.h"

#include <zuk/zuk.h>

#include <fstream>

namespace zuk {

namespace {

// The table route first, then the packet route. A PID of 0 (no audio start
// found) is no failure: the stages then run on PID 0 and fail in the PES
// stage, as there is nothing to walk.
int32_t findAudioPid(const std::filesystem::path& input, bool bdav)
{
    const int32_t pid = findAudioStream2(input, bdav);
    if (pid >= 1)
        return pid;
    mtsLog("Trying secondary audio stream lookup function");
    return findAudioStream(input, bdav);
}

} // namespace

std::filesystem::path pesFileFor(const std::filesystem::path& mp2Path)
{
    std::filesystem::path pes = mp2Path;
    pes += ".m2v";
    return pes;
}

int32_t EXTRACT_TS_TO_MP2(const std::filesystem::path& input, const std::filesystem::path& mp2Path, bool bdav)
{
    if (refusesPaths({mp2Path.string(), pesFileFor(mp2Path).string()}, {input.string()}, LogString))
        return ZUK_E_OPEN;
    mtsLog("-----In EXTRACT_TS_TO_MP2-----");
    const int32_t pid = findAudioPid(input, bdav);
    if (pid < 0)
        return ZUK_E_EXTRACT;
    // The packet search answers 0 when no packet starts audio; PID 0 carries
    // the program association table, whose bytes a PES walk could mistake
    // for sound.
    if (pid == 0) {
        mtsLog("No, audio Stream Found");
        return ZUK_E_OPEN;
    }

    const std::filesystem::path pesPath = pesFileFor(mp2Path);
    {
        std::ifstream in(input, std::ios::binary);
        if (!in)
            return ZUK_E_EXTRACT;
        const int32_t units = extractPidToFile(pesPath, pid, in, bdav);
        if (units < 0) {
            mtsLog("Error, parsing transport packets");
            return units;
        }
    }
    const int32_t packets = extractPesPayloads(pesPath, mp2Path);
    if (packets < 0) {
        mtsLog("Error, parsing PES packets");
        return packets;
    }
    return 0;
}

} // namespace zuk
