#include "platform/media/MediaSplitter.h"

#include "platform/WideText.h"
#include "platform/media/BaseFilter.h"
#include "platform/media/FileBehind.h"
#include "platform/media/OpenFailure.h"
#include "platform/media/ffmpeg/AudioDecoder.h"
#include "platform/media/ffmpeg/MediaProbe.h"

#include <algorithm>
#include <string>
#include <vector>

namespace zuk::media {

namespace {

class MediaSplitter;

// Each buffer holds at most a tenth of a second of sound (and at least one
// frame). The graph can pause only between buffers, and a converter
// downstream makes of each buffer as much sound as it lasts: at 1 Hz one
// frame is a second, which at 48 kHz is 48000 frames.
constexpr int kBuffersPerSecond = 10;

// One output: a stream of the file.
struct StreamOutput {
    BasePin* pin = nullptr;
    StreamInfo info;
    std::unique_ptr<AudioDecoder> decoder; // audio outputs while connected
    bool ended = false;
};

class MediaSplitter : public Filter<IStreamSource, IAudioPosition> {
public:
    MediaSplitter() : Filter(CLSID_MediaSplitter)
    {
        input = &addPin(
            std::make_unique<SimplePin<MediaSplitter>>(*this, u"Input", PINDIR_INPUT, &MediaSplitter::acceptsStream));
    }

    bool acceptsStream(const BasePin&, const AM_MEDIA_TYPE& type) const
    {
        return IsEqualGUID(type.majortype, MEDIATYPE_Stream);
    }
    bool acceptsNothing(const BasePin&, const AM_MEDIA_TYPE&) const { return false; }

    std::vector<MediaType> offersStreamType(const BasePin& pin) const
    {
        const StreamOutput& output = outputFor(pin);
        if (output.info.kind == StreamInfo::Kind::Video)
            return {videoStreamType(output.info.video)};
        if (output.info.audio.decodable)
            return {pcmAudioType(output.info.audio.sampleRate, output.info.audio.channels)};
        return {audioStreamType(output.info.audio)};
    }

    HRESULT checkConnect(BasePin& pin, const AM_MEDIA_TYPE&, IPin* connector) override
    {
        if (&pin != input)
            return S_OK;
        if (!path.empty())
            return VFW_E_ALREADY_CONNECTED; // a splitter reads one file in its life
        const auto file = fileBehind(connector);
        if (!file)
            return VFW_E_NO_TRANSPORT;
        OpenError why = OpenError::None;
        const auto probe = probeMedia(*file, why);
        if (!probe)
            return openFailure(why);
        path = *file;
        makeOutputs(*probe);
        return S_OK;
    }

    void connectionChanged(BasePin& pin) override
    {
        if (&pin == input)
            return;
        StreamOutput& output = outputFor(pin);
        output.decoder.reset();
        output.ended = false;
        if (pin.isConnected() && output.info.kind == StreamInfo::Kind::Audio && output.info.audio.decodable) {
            OpenError why = OpenError::None;
            output.decoder = AudioDecoder::open(path, output.info.audio.index, why);
        }
    }

    // IStreamSource: one decoded buffer of one stream per call, taking the
    // connected streams in turn.
    HRESULT DeliverNext() override
    {
        for (size_t step = 0; step < outputs.size(); ++step) {
            StreamOutput& output = outputs[(nextOutput + step) % outputs.size()];
            if (!output.pin->isConnected() || output.ended)
                continue;
            nextOutput = (nextOutput + step + 1) % outputs.size();
            return deliverFrom(output);
        }
        return S_FALSE;
    }

    bool IsConnected() override
    {
        for (const StreamOutput& output : outputs)
            if (output.pin->isConnected())
                return true;
        return false;
    }

    // IAudioPosition: the first connected audio stream.
    HRESULT GetAudioLength(LONGLONG* length, long* rate) override
    {
        if (length == nullptr || rate == nullptr)
            return E_POINTER;
        StreamOutput* audio = positionedAudio();
        if (audio == nullptr)
            return VFW_E_NOT_CONNECTED;
        *length = audio->decoder->lengthInFrames();
        *rate = audio->decoder->sampleRate();
        return S_OK;
    }

    HRESULT GetAudioPosition(LONGLONG* frame) override
    {
        if (frame == nullptr)
            return E_POINTER;
        if (positionedAudio() == nullptr)
            return VFW_E_NOT_CONNECTED;
        *frame = position;
        return S_OK;
    }

    HRESULT SeekAudio(LONGLONG frame) override
    {
        StreamOutput* audio = positionedAudio();
        if (audio == nullptr)
            return VFW_E_NOT_CONNECTED;
        frame = std::clamp<LONGLONG>(frame, 0, audio->decoder->lengthInFrames());
        for (StreamOutput& output : outputs)
            if (output.pin->isConnected())
                output.pin->deliverBeginFlush();
        bool positioned = true;
        for (StreamOutput& output : outputs) {
            if (output.decoder)
                positioned = output.decoder->seekToFrame(frame) && positioned;
            output.ended = false;
        }
        for (StreamOutput& output : outputs)
            if (output.pin->isConnected())
                output.pin->deliverEndFlush();
        position = frame;
        return positioned ? S_OK : E_FAIL;
    }

private:
    void makeOutputs(const MediaProbe& probe)
    {
        int audioCount = 0;
        int videoCount = 0;
        for (const StreamInfo& info : probe.streams) {
            if (info.kind == StreamInfo::Kind::Other)
                continue;
            const bool audio = info.kind == StreamInfo::Kind::Audio;
            std::u16string id = audio ? u"Audio" : u"Video";
            const int number = audio ? audioCount++ : videoCount++;
            if (number > 0)
                id.append(u" ").append(utf8ToUtf16(std::to_string(number + 1)).value_or(u""));
            BasePin& pin = addPin(std::make_unique<SimplePin<MediaSplitter>>(
                *this, std::move(id), PINDIR_OUTPUT, &MediaSplitter::acceptsNothing, &MediaSplitter::offersStreamType));
            outputs.push_back(StreamOutput{&pin, info, nullptr, false});
        }
    }

    HRESULT deliverFrom(StreamOutput& output)
    {
        if (!output.decoder) {
            // Compressed streams carry nothing here; their consumers only need the end.
            output.ended = true;
            output.pin->deliverEndOfStream();
            return S_OK;
        }
        decoded.clear();
        int64_t first = 0;
        const int64_t mostFrames = std::max(1, output.decoder->sampleRate() / kBuffersPerSecond);
        switch (output.decoder->next(decoded, first, mostFrames)) {
        case AudioDecoder::Status::End:
            output.ended = true;
            output.pin->deliverEndOfStream();
            return S_OK;
        case AudioDecoder::Status::Failed:
            return VFW_E_INVALID_FILE_FORMAT;
        case AudioDecoder::Status::Frames:
            break;
        }
        const int channels = output.decoder->channels();
        const int64_t count = channels > 0 ? static_cast<int64_t>(decoded.size()) / channels : 0;
        if (&output == positionedAudio())
            position = first + count;
        const REFERENCE_TIME start = referenceTimeAfter(0, first, output.decoder->sampleRate());
        return output.pin->deliver(
            reinterpret_cast<const BYTE*>(decoded.data()), static_cast<long>(decoded.size() * sizeof(int16_t)), start);
    }

    StreamOutput* positionedAudio()
    {
        for (StreamOutput& output : outputs)
            if (output.decoder)
                return &output;
        return nullptr;
    }

    StreamOutput& outputFor(const BasePin& pin)
    {
        for (StreamOutput& output : outputs)
            if (output.pin == &pin)
                return output;
        throw std::logic_error("not an output of this splitter");
    }
    const StreamOutput& outputFor(const BasePin& pin) const { return const_cast<MediaSplitter*>(this)->outputFor(pin); }

    void* queryExtra(REFIID iid) override { return Filter::queryExtra(iid); }

    BasePin* input = nullptr;
    std::string path;
    std::vector<StreamOutput> outputs;
    size_t nextOutput = 0;
    int64_t position = 0;
    std::vector<int16_t> decoded;
};

} // namespace

HRESULT createMediaSplitter(REFIID iid, void** object)
{
    return makeComObject<MediaSplitter>()->QueryInterface(iid, object);
}

} // namespace zuk::media
