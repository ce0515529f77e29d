#include "platform/media/AviSplitter.h"

#include "platform/media/BaseFilter.h"
#include "platform/media/FileBehind.h"
#include "platform/media/OpenFailure.h"
#include "platform/media/ffmpeg/AviReader.h"

#include <cstdio>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zuk::media {

namespace {

// Missing and unreadable files say so; anything else is no AVI this splitter reads.
HRESULT aviOpenFailure(OpenError why)
{
    return why == OpenError::NotFound || why == OpenError::AccessDenied ? openFailure(why) : VFW_E_INVALID_FILE_FORMAT;
}

// The media type of a stream as stored, or nothing when a format block
// cannot describe it (neither sound nor picture, a tag wider than a WAVE
// tag, more codec data than cbSize can count).
std::optional<MediaType> storedType(const StoredStream& stream)
{
    switch (stream.kind) {
    case StreamInfo::Kind::Video:
        return videoStreamType(stream.video, stream.codecData);
    case StreamInfo::Kind::Audio:
        if (stream.codecTag > std::numeric_limits<WORD>::max() ||
            stream.codecData.size() > std::numeric_limits<WORD>::max())
            return std::nullopt;
        return audioStreamType(stream.audio, stream.codecData);
    default:
        return std::nullopt;
    }
}

std::u16string outputName(unsigned index)
{
    char digits[24];
    std::snprintf(digits, sizeof digits, "Stream %02u", index);
    return std::u16string(digits, digits + std::char_traits<char>::length(digits));
}

struct StreamOutput {
    BasePin* pin = nullptr;
    std::optional<MediaType> type; // what the output offers; nothing: it cannot connect
    REFERENCE_TIME lastStart = 0;  // for packets that carry no time
};

class AviSplitter : public Filter<IStreamSource> {
public:
    AviSplitter() : Filter(CLSID_AviSplitter)
    {
        input = &addPin(
            std::make_unique<SimplePin<AviSplitter>>(*this, u"input pin", PINDIR_INPUT, &AviSplitter::acceptsStream));
    }

    bool acceptsStream(const BasePin&, const AM_MEDIA_TYPE& type) const
    {
        return IsEqualGUID(type.majortype, MEDIATYPE_Stream);
    }
    // Outputs only send.
    bool acceptsNothing(const BasePin&, const AM_MEDIA_TYPE&) const { return false; }

    std::vector<MediaType> offersStoredType(const BasePin& pin) const
    {
        for (const StreamOutput& output : outputs)
            if (output.pin == &pin && output.type)
                return {*output.type};
        return {};
    }

    HRESULT checkConnect(BasePin& pin, const AM_MEDIA_TYPE&, IPin* connector) override
    {
        if (&pin != input)
            return S_OK;
        if (file)
            return VFW_E_ALREADY_CONNECTED; // a splitter reads one file in its life
        const auto path = fileBehind(connector);
        if (!path)
            return VFW_E_NO_TRANSPORT;
        OpenError why = OpenError::None;
        file = AviReader::open(*path, why);
        if (!file)
            return aviOpenFailure(why);
        makeOutputs();
        return S_OK;
    }

    // IStreamSource: one packet of the file per call; those of streams that
    // nothing is connected to are dropped.
    HRESULT DeliverNext() override
    {
        if (!file)
            return VFW_E_NOT_CONNECTED;
        StoredPacket packet;
        switch (file->next(packet)) {
        case AviReader::Status::Packet:
            return deliverPacket(packet);
        case AviReader::Status::End:
            endEveryStream();
            return S_FALSE;
        case AviReader::Status::OutOfMemory:
            return E_OUTOFMEMORY;
        case AviReader::Status::Unreadable:
            break;
        }
        return VFW_E_INVALID_FILE_FORMAT;
    }

    bool IsConnected() override
    {
        for (const StreamOutput& output : outputs)
            if (output.pin->isConnected())
                return true;
        return false;
    }

private:
    void makeOutputs()
    {
        const std::vector<StoredStream>& streams = file->streams();
        for (unsigned index = 0; index < streams.size(); ++index) {
            BasePin& pin = addPin(std::make_unique<SimplePin<AviSplitter>>(
                *this, outputName(index), PINDIR_OUTPUT, &AviSplitter::acceptsNothing, &AviSplitter::offersStoredType));
            outputs.push_back(StreamOutput{&pin, storedType(streams[index]), 0});
        }
    }

    HRESULT deliverPacket(const StoredPacket& packet)
    {
        if (packet.stream < 0 || static_cast<size_t>(packet.stream) >= outputs.size())
            return S_OK;
        StreamOutput& output = outputs[static_cast<size_t>(packet.stream)];
        if (!output.pin->isConnected())
            return S_OK;
        output.lastStart = packet.start.value_or(output.lastStart);
        const DWORD flags = packet.keyFrame ? DWORD{BUFFER_SYNC_POINT} : DWORD{0};
        return output.pin->deliver(packet.data.data(), static_cast<long>(packet.data.size()), output.lastStart, flags);
    }

    // Downstream filters that fail at the end tell the graph themselves.
    void endEveryStream()
    {
        for (StreamOutput& output : outputs)
            if (output.pin->isConnected())
                output.pin->deliverEndOfStream();
    }

    BasePin* input = nullptr;
    std::unique_ptr<AviReader> file;
    std::vector<StreamOutput> outputs; // one per stream of the file, by index
};

} // namespace

HRESULT createAviSplitter(REFIID iid, void** object)
{
    return makeComObject<AviSplitter>()->QueryInterface(iid, object);
}

} // namespace zuk::media
