#include "mp4/SampleEntryBoxes.h"

#include "mp4/Diagnostics.h"

#include <algorithm>

namespace MP4Box {

namespace {

// The little-endian flag of an "enda" box among the boxes from the stream's
// position to `end`, or inside a "wave" box there, where QuickTime keeps it.
bool endaFlagSet(std::istream& in, uint64_t end, bool insideWave = false)
{
    for (;;) {
        BoxReader header(in, end);
        const uint64_t start = header.position();
        const uint32_t size = header.u32();
        const FourCC code = header.fourCC();
        if (!header || size < 8 || size > end - start)
            return false;
        const uint64_t boxEnd = start + size;
        const std::string_view name(code.data(), code.size());
        if (name == "enda")
            return (BoxReader(in, boxEnd).u16() & 0xFF) != 0;
        if (name == "wave" && !insideWave && endaFlagSet(in, boxEnd, true))
            return true;
        in.clear();
        in.seekg(static_cast<std::streamoff>(boxEnd));
    }
}

} // namespace

int32_t sampleEntryBox::getBoxData(std::istream& in)
{
    if (const int32_t header = MP4Box::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    fields.bytes(reserved);
    data_reference_index = fields.u16();
    return 0;
}

void sampleEntryBox::dump() const
{
    MP4Box::dump();
    std::ostream& out = diagnostics();
    out << "Reserved : ";
    for (const uint8_t byte : reserved)
        out << static_cast<unsigned>(byte) << " ";
    out << "\n";
    out << "data_reference_index:" << data_reference_index << "\n";
}

int32_t audioSampleEntryBox::getBoxData(std::istream& in)
{
    if (const int32_t header = sampleEntryBox::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    fields.bytes(reserved2);
    channelcount = fields.u16();
    samplesize = fields.u16();
    fields.bytes(pre_defined);
    reserved3 = fields.u16();
    samplerate = fields.u32();
    if (soundVersion() == 1) {
        versionOne.samplesPerPacket = fields.u32();
        versionOne.bytesPerPacket = fields.u32();
        versionOne.bytesPerFrame = fields.u32();
        versionOne.bytesPerSample = fields.u32();
    }
    if (fields)
        littleEndian = endaFlagSet(in, endPosition());
    return 0;
}

void audioSampleEntryBox::dump() const
{
    sampleEntryBox::dump();
    std::ostream& out = diagnostics();
    out << "Channel Count:" << channelcount << "\n";
    out << "sample size :" << samplesize << "\n";
    out << "sample rate :" << samplerate << " , " << (samplerate >> 16) << ":" << (samplerate & 0xFFFF) << "\n";
}

int32_t videoSampleEntryBox::getBoxData(std::istream& in)
{
    if (const int32_t header = sampleEntryBox::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    fields.bytes(pre_defined);
    width = fields.u16();
    height = fields.u16();
    horizresolution = fields.u32();
    vertresolution = fields.u32();
    reserved3 = fields.u32();
    frame_count = fields.u16();
    fields.bytes(compressorname);
    depth = fields.u16();
    pre_defined2 = fields.u16();
    return 0;
}

void videoSampleEntryBox::dump() const
{
    sampleEntryBox::dump();
    std::ostream& out = diagnostics();
    out << "width :" << width << "\n";
    out << "height :" << height << "\n";
    out << "horizontal resolution:" << horizresolution << "\n";
    out << "vertical resolution:" << vertresolution << "\n";
    out << "frame cout:" << frame_count << "\n";
    // The name is a Pascal string: a length byte, then the characters.
    const size_t length = std::min<size_t>(compressorname[0], compressorname.size() - 1);
    out << "compressor name:"
        << std::string_view(reinterpret_cast<const char*>(compressorname.data()) + 1, length) << "\n";
    out << "depth:" << depth << "\n";
}

} // namespace MP4Box
