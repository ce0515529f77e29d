#include "mp4/BoxList.h"

#include "mp4/BoxFactory.h"
#include "mp4/Diagnostics.h"

namespace MP4Box {

int32_t getListOfBoxes(Children& children, MP4Box& parent, std::istream& in)
{
    std::ostream& out = diagnostics();
    out << "*********In getListOfBoxes \n*********";
    if (parent.depth() >= kMaxBoxDepth) {
        out << "Boxes nested too deeply, contents skipped\n";
        return 0;
    }
    const uint64_t end = parent.endPosition();
    for (int counter = 0;; ++counter) {
        const auto here = in.tellg();
        if (here < 0 || static_cast<uint64_t>(here) >= end)
            break;
        auto probe = std::make_unique<MP4Box>();
        probe->parent = &parent;
        if (probe->readBox(in, end) != 0)
            break;
        std::unique_ptr<MP4Box> box = makeBox(probe->code);
        const uint64_t probeEnd = probe->endPosition();
        if (box) {
            box->parent = &parent; // set first: a parser may look up its track
            in.seekg(static_cast<std::streamoff>(probe->startPosition));
            box->readBox(in, end);
            // Whatever that parse did, the next box starts behind this one.
            in.clear();
            in.seekg(static_cast<std::streamoff>(probeEnd));
        } else {
            box = std::move(probe);
        }
        out << "\nMP4Box: Box " << counter << " found code " << std::string_view(box->code.data(), 4) << ", size "
            << static_cast<int32_t>(box->size) << "\n";
        children.push_back(std::move(box));
    }
    return 0;
}

void dumpChildren(const Children& children, const char* label)
{
    for (const auto& child : children) {
        diagnostics() << label << "\n";
        child->dump();
    }
}

} // namespace MP4Box
