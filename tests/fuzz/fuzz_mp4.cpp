// Feeds arbitrary bytes, as an MP4 or QuickTime file, to the unwrapper, and
// dumps the box tree it parses from them. Results are ignored; what matters
// is that nothing crashes, leaks, hangs or runs into undefined behaviour.
#include "FuzzScratch.h"
#include "mp4/Diagnostics.h"
#include "mp4/TopLevel.h"
#include "mp4/UnwrapMP4.h"

#include <fstream>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzScratch scratch{"out.wav"};
    static const std::u16string output = fuzzWide(scratch.path("out.wav"));
    scratch.write(data, size);

    // The parse commentary and the dump are formatted for real, then dropped.
    std::ostringstream text;
    MP4Box::setDiagnostics(&text);
    {
        std::ifstream in(scratch.inputPath(), std::ios::binary);
        zuk::unwrapMP4(output.c_str(), in);
    }
    {
        std::ifstream in(scratch.inputPath(), std::ios::binary);
        zuk::scanTopLevel(in, [](const MP4Box::MP4Box& box) { box.dump(); });
    }
    MP4Box::setDiagnostics(nullptr);
    scratch.removeOutputs();
    return 0;
}
