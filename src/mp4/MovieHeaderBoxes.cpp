#include "mp4/MovieHeaderBoxes.h"

#include "mp4/Diagnostics.h"

namespace MP4Box {

namespace {

template <size_t N>
void readWords(BoxReader& fields, std::array<uint32_t, N>& words)
{
    for (uint32_t& word : words)
        word = fields.u32();
}

template <size_t N>
void printWords(std::ostream& out, const std::array<uint32_t, N>& words)
{
    for (size_t i = 0; i < N; ++i)
        out << (i == 0 ? "" : " ") << words[i];
    out << "\n";
}

} // namespace

int32_t mvhdBox::getBoxData(std::istream& in)
{
    if (const int32_t header = FullBox::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    creation_time = versionedTime(fields, version);
    modification_time = versionedTime(fields, version);
    timescale = fields.u32();
    duration = versionedTime(fields, version);
    rate = fields.u32();
    volume = fields.u16();
    reservedBits = fields.u16();
    readWords(fields, reservedWords);
    readWords(fields, matrix);
    readWords(fields, pre_defined);
    next_track_ID = fields.u32();
    return 0;
}

void mvhdBox::dump() const
{
    FullBox::dump();
    std::ostream& out = diagnostics();
    out << "Creation Time (seconds since Jan.1, 1904): " << creation_time << "\n";
    out << "Modification Time (second since Jan.1,1904: " << modification_time << "\n";
    out << "timescale(times units in a second):" << timescale << "\n";
    out << "Duration( in timescale units):" << duration << "\n";
    out << "Preferred play back rate:" << (rate >> 16) << ":" << (rate & 0xFFFF) << "\n";
    out << "Preferred volume:" << (volume >> 8) << ":" << (volume & 0xFF) << "\n";
    out << "Reserved Bits:" << reservedBits << "\n";
    out << "reversed words:" << reservedWords[0] << " , " << reservedWords[1] << "\n";
    out << "Matrix : ";
    printWords(out, matrix);
    out << "Predefined :";
    printWords(out, pre_defined);
    out << "Next Track ID" << next_track_ID << "\n";
}

int32_t tkhdBox::getBoxData(std::istream& in)
{
    if (const int32_t header = FullBox::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    creation_time = versionedTime(fields, version);
    modification_time = versionedTime(fields, version);
    track_ID = fields.u32();
    reserved1 = fields.u32();
    duration = versionedTime(fields, version);
    readWords(fields, reserved2);
    layer = fields.u16();
    alternate_group = fields.u16();
    volume = fields.u16();
    reserved3 = fields.u16();
    readWords(fields, matrix);
    width = fields.u32();
    height = fields.u32();
    return 0;
}

void tkhdBox::dump() const
{
    FullBox::dump();
    std::ostream& out = diagnostics();
    out << "Creation Time (seconds since 1904):" << creation_time << "\n";
    out << "ModificationTime (seconds since 1904):" << modification_time << "\n";
    out << "Reserved 1: " << reserved1 << "\n";
    out << "Track ID: " << track_ID << "\n";
    out << "Duration: " << duration << "\n";
    out << "reserved2: " << reserved2[0] << " " << reserved2[1] << "\n";
    out << "layer : " << layer << "\n";
    out << "alternate_group:" << alternate_group << "\n";
    out << "volume:" << volume << "\n";
    out << "reserved3:" << reserved3 << "\n";
    out << "Matrix: ";
    printWords(out, matrix);
    out << "width:" << width << "\n";
    out << "height:" << height << "\n";
}

int32_t mdhdBox::getBoxData(std::istream& in)
{
    if (const int32_t header = FullBox::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    creation_time = versionedTime(fields, version);
    modification_time = versionedTime(fields, version);
    timescale = fields.u32();
    duration = versionedTime(fields, version);
    fields.bytes(language);
    fields.bytes(pre_defined);
    return 0;
}

void mdhdBox::dump() const
{
    FullBox::dump();
    std::ostream& out = diagnostics();
    out << "Creation Time (seconds since 1904):" << creation_time << "\n";
    out << "ModificationTime (seconds since 1904):" << modification_time << "\n";
    out << "timescale: " << timescale << "\n";
    out << "Duration: " << duration << "\n";
    out << "language:" << (language[0] << 8 | language[1]) << "\n";
    out << "pre_defined:" << (pre_defined[0] << 8 | pre_defined[1]) << "\n";
}

} // namespace MP4Box
