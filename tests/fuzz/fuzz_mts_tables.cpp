// Feeds arbitrary bytes to the PAT and PMT parsers, as one packet's payload,
// and as a file to both audio stream searches, plain and BDAV. Results are
// ignored; nothing may read outside the bytes given or read from the file.
#include "FuzzScratch.h"
#include "mts/AudioStreamSearch.h"
#include "mts/ProgramTables.h"

#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzScratch scratch{};
    const std::span<const uint8_t> bytes(data, size);

    zuk::PatTable pat;
    zuk::parsePat(bytes, pat);
    uint16_t pmtPid = 0;
    zuk::findProgramMapPid(bytes, pmtPid);
    zuk::PmtTable pmt;
    zuk::parsePmt(bytes, pmt);

    scratch.write(data, size);
    for (const bool bdav : {false, true}) {
        zuk::findAudioStream2(scratch.inputPath(), bdav);
        zuk::findAudioStream(scratch.inputPath(), bdav);
    }
    return 0;
}
