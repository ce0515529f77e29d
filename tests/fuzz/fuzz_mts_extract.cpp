// Feeds arbitrary bytes as a file to the demultiplexing stage, plain and BDAV,
// and straight to the PES walk as an intermediate file. Results are ignored;
// nothing may read outside the bytes read from a file.
#include "FuzzScratch.h"
#include "mts/PesExtraction.h"
#include "mts/TsToMp2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzScratch scratch{"out.mp2", "out.mp2.m2v", "pes.mp2"};
    scratch.write(data, size);
    for (const bool bdav : {false, true})
        zuk::EXTRACT_TS_TO_MP2(scratch.inputPath(), scratch.path("out.mp2"), bdav);
    zuk::extractPesPayloads(scratch.inputPath(), scratch.path("pes.mp2"));
    scratch.removeOutputs();
    return 0;
}
