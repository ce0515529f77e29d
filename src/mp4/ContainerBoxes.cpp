#include "mp4/ContainerBoxes.h"

#include "mp4/BoxList.h"
#include "mp4/Diagnostics.h"

namespace MP4Box {

int32_t ContainerBox::getBoxData(std::istream& in)
{
    diagnostics() << texts.beforeHeader;
    if (const int32_t header = MP4Box::getBoxData(in); header != 0)
        return header;
    diagnostics() << texts.afterHeader;
    return getListOfBoxes(children, *this, in);
}

void ContainerBox::dump() const
{
    MP4Box::dump();
    diagnostics() << texts.dumpHeading;
    dumpChildren(children, texts.childLabel);
}

namespace {

const ContainerBox::Texts kMoov{"moovBox getBoxData \nCalling MP4 getBoxdata \n",
    "back to moovBox, and beginning to read boxes contained with\n", "Boxes contained in moovBox:\n", "moov:"};
const ContainerBox::Texts kTrak{
    "Calling base getBoxData\n", "Back to trak Box \nGetting list of boxes \n", "", "trakBox:"};
const ContainerBox::Texts kEdts{
    "Calling base getBoxData\n", "Back in edtsBox\nGetting list of boxes\n", "", "edtsBox:"};
const ContainerBox::Texts kMdia{"Calling base MP4Box\n", "Back in mdiaBox \n", "", "mdiaBox:"};
const ContainerBox::Texts kMinf{"", "", "", "minf"};
const ContainerBox::Texts kDinf{"", "", "", "dinfBox"};
const ContainerBox::Texts kStbl{"", "", "", "stbl:"};

} // namespace

moovBox::moovBox() : ContainerBox(kMoov) { }
trakBox::trakBox() : ContainerBox(kTrak) { }
edtsBox::edtsBox() : ContainerBox(kEdts) { }
mdiaBox::mdiaBox() : ContainerBox(kMdia) { }
minfBox::minfBox() : ContainerBox(kMinf) { }
dinfBox::dinfBox() : ContainerBox(kDinf) { }
stblBox::stblBox() : ContainerBox(kStbl) { }

} // namespace MP4Box
