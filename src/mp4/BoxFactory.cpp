#include "mp4/BoxFactory.h"

#include "mp4/ContainerBoxes.h"
#include "mp4/Diagnostics.h"
#include "mp4/drefBox.h"
#include "mp4/elstBox.h"
#include "mp4/hdlrBox.h"
#include "mp4/mdhdBox.h"
#include "mp4/mvhdBox.h"
#include "mp4/smhdBox.h"
#include "mp4/stcoBox.h"
#include "mp4/stscBox.h"
#include "mp4/stsdBox.h"
#include "mp4/stszBox.h"
#include "mp4/sttsBox.h"
#include "mp4/tkhdBox.h"
#include "mp4/urlBox.h"
#include "mp4/urnBox.h"
#include "mp4/vmhdBox.h"

#include <string_view>

namespace MP4Box {

namespace {

struct FactoryRow {
    std::string_view code;
    const char* message; // empty: the class is made silently
    std::unique_ptr<MP4Box> (*make)();
};

template <class Box>
std::unique_ptr<MP4Box> make()
{
    return std::make_unique<Box>();
}

// "moov" is not here: the movie is recognised at the top level only.
constexpr FactoryRow kFactory[] = {
    {"mvhd", "Found mvhd Box, parsing\n", make<mvhdBox>},
    {"trak", "Found trak Box, parsing\n", make<trakBox>},
    {"tkhd", "Found tkhd Box, parsing\n", make<tkhdBox>},
    {"edts", "Found edtx Box, parsing\n", make<edtsBox>},
    {"elst", "Found elst Box, parsing\n", make<elstBox>},
    {"mdia", "Found mdia Box, parsing\n", make<mdiaBox>},
    {"mdhd", "Found mdhd Box, parsing\n", make<mdhdBox>},
    {"hdlr", "Found hdlr Box, parsing\n", make<hdlrBox>},
    {"minf", "Found minf Box, parsing\n", make<minfBox>},
    {"vmhd", "Found vmhd Box, parsing\n", make<vmhdBox>},
    {"smhd", "Found smhd Box, parsing\n", make<smhdBox>},
    {"dinf", "Found dinf Box, parsing\n", make<dinfBox>},
    {"urn ", "Found urn Box, parsing\n", make<urnBox>},
    {"url ", "Found url Box, parsing\n", make<urlBox>},
    {"dref", "", make<drefBox>},
    {"stbl", "Found stbl Box, parsing\n", make<stblBox>},
    {"stsd", "Found stsd Box, parsing\n", make<stsdBox>},
    {"stts", "Found stts Box, parsing\n", make<sttsBox>},
    {"stsc", "Found stsc Box, parsing\n", make<stscBox>},
    {"stsz", "Found stsz Box, parsing\n", make<stszBox>},
    {"stco", "Found stco Box, parsing\n", make<stcoBox>},
};

} // namespace

std::unique_ptr<MP4Box> makeBox(const FourCC& code)
{
    const std::string_view wanted(code.data(), code.size());
    for (const FactoryRow& row : kFactory)
        if (row.code == wanted) {
            diagnostics() << row.message;
            return row.make();
        }
    return nullptr;
}

} // namespace MP4Box
