#include "mp4/audioSampleEntryBox.h"

#include "mp4/Diagnostics.h"

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

} // namespace MP4Box
