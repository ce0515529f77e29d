#include "platform/media/ffmpeg/AudioDecoder.h"

#include "platform/WorkControl.h"
#include "platform/media/ffmpeg/LibAv.h"
#include "platform/media/ffmpeg/StreamLength.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>

namespace zuk::media {

namespace {

// Demuxer seeks that land after the target are retried this often, each time
// further back, before decoding from the start instead.
constexpr int kSeekAttempts = 3;
// Decode errors in a row without asking for input: a decoder stuck on one.
constexpr int kMostErrorsInARow = 64;
// A decoded frame is converted in pieces that make at most about this many
// frames, so that a frame whose rate lies far below the stream's (rates may
// change from frame to frame) is not turned into gigabytes at once.
constexpr int kMostFramesPerBlock = 1 << 15;
// Samples decoded ahead of next() (512 KB, three seconds of stereo at 44.1
// kHz: enough to go on through a reader's pause to write what it has), and
// the one block that may cross the mark. Each side wakes the other for many
// blocks at once, not for each block: the decoder once half have gone, the
// reader once a few are queued (or the last).
constexpr size_t kValuesAhead = size_t{1} << 18;
constexpr size_t kBlocksToWakeReader = 8;
// Storage of taken blocks kept for the decoder to reuse: at most 32 MB of the
// largest blocks.
constexpr size_t kMostSpareBlocks = 64;

// Errors that say the decoder cannot go on, as against a corrupt packet.
bool isFatal(int error)
{
    return error == AVERROR(ENOMEM) || error == AVERROR(EINVAL) || error == AVERROR_BUG || error == AVERROR_BUG2;
}

bool within(int64_t a, int64_t b, int64_t tolerance)
{
    const int64_t difference = av_sat_sub64(a, b);
    return difference >= -tolerance && difference <= tolerance;
}

// Lossless codecs whose packets stand alone need no decoding before the target.
bool needsNoWarmUp(AVCodecID codec)
{
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codec);
    const int both = AV_CODEC_PROP_INTRA_ONLY | AV_CODEC_PROP_LOSSLESS;
    return descriptor != nullptr && (descriptor->props & both) == both;
}

// What the converter to s16 is set up for: the decoded frames' format.
struct FrameShape {
    int format = AV_SAMPLE_FMT_NONE;
    ChannelLayout layout;
    int rate = 0;

    bool operator==(const FrameShape& other) const
    {
        return format == other.format && layout == other.layout && rate == other.rate;
    }
};

// Infinite and NaN samples become 0, as they read in sound files read without
// FFmpeg: libswresample would turn them into full-scale clicks, or spread
// them through its filter when it resamples.
//
// The search runs over every decoded sample, so it looks at the exponent bits
// (all ones: infinite or NaN) without branching, which the compiler vectorises.
template <class Sample, class Bits>
bool hasNonFinite(const Sample* samples, size_t count)
{
    static_assert(std::numeric_limits<Sample>::is_iec559);
    constexpr Bits kExponent =
        sizeof(Sample) == 4 ? static_cast<Bits>(0x7F800000u) : static_cast<Bits>(0x7FF0000000000000u);
    Bits found = 0;
    for (size_t i = 0; i < count; ++i)
        found |= static_cast<Bits>((std::bit_cast<Bits>(samples[i]) & kExponent) == kExponent);
    return found != 0;
}

template <class Sample>
bool zeroNonFiniteSamples(AVFrame& decoded, int planes, size_t perPlane)
{
    using Bits = std::conditional_t<sizeof(Sample) == 4, uint32_t, uint64_t>;
    bool any = false;
    for (int plane = 0; plane < planes && !any; ++plane)
        any = hasNonFinite<Sample, Bits>(reinterpret_cast<const Sample*>(decoded.extended_data[plane]), perPlane);
    if (!any)
        return true;
    if (av_frame_make_writable(&decoded) < 0)
        return false;
    for (int plane = 0; plane < planes; ++plane) {
        auto* samples = reinterpret_cast<Sample*>(decoded.extended_data[plane]);
        std::replace_if(
            samples, samples + perPlane, [](Sample sample) { return !std::isfinite(sample); }, Sample{0});
    }
    return true;
}

bool zeroNonFinite(AVFrame& decoded)
{
    const auto format = static_cast<AVSampleFormat>(decoded.format);
    const AVSampleFormat packed = av_get_packed_sample_fmt(format);
    if (packed != AV_SAMPLE_FMT_FLT && packed != AV_SAMPLE_FMT_DBL)
        return true;
    const int channels = decoded.ch_layout.nb_channels;
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    const int planes = planar ? channels : 1;
    const size_t perPlane = static_cast<size_t>(decoded.nb_samples) * static_cast<size_t>(planar ? 1 : channels);
    return packed == AV_SAMPLE_FMT_FLT ? zeroNonFiniteSamples<float>(decoded, planes, perPlane)
                                       : zeroNonFiniteSamples<double>(decoded, planes, perPlane);
}

// One result of decoding a block, in the order the decoder made them.
struct DecodedBlock {
    AudioDecoder::Status status = AudioDecoder::Status::Frames;
    std::vector<int16_t> frames;
    int64_t first = 0;
    int64_t from = 0; // the decoder's position before it: where a reader that stops here stands
    std::exception_ptr thrown;
};

// Decodes on a thread of its own while the caller uses what came before, so
// that demuxing and decoding overlap with the work downstream. The thread
// runs `decode` (which owns the decoder's state while it runs) until the
// queue is full, stop() is called, or a block ends the stream or fails;
// the caller takes the blocks in order with take(). stop() joins the thread
// and keeps what it queued, so the decoder is where the last queued block
// left it, as though the caller had decoded them itself.
class ReadAhead {
public:
    using Decode = std::function<void(DecodedBlock&)>;

    explicit ReadAhead(Decode decodeBlock) : decode(std::move(decodeBlock)) { }
    ~ReadAhead() { stop(); }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Starts the thread unless it runs, the last run met the end or a
    // failure, or blocks of a stopped run are left: a block that ends a run
    // is always the last of its thread's, which then has returned. Where no
    // thread starts, the caller decodes on its own.
    void start()
    {
        if (worker.joinable() || ended || !queue.empty())
            return;
        stopping = false;
        try {
            worker = std::thread([this] { run(); });
        } catch (const std::system_error&) {
        }
    }

    // Joins the thread and lets a later start() decode again (after a seek).
    void stop()
    {
        if (worker.joinable()) {
            {
                const std::lock_guard guard(lock);
                stopping = true;
            }
            changed.notify_all();
            worker.join();
        }
        ended = false;
    }

    // Whether take() has a block: one queued, or the thread will queue one.
    bool ready() const { return worker.joinable() || !queue.empty(); }

    // The next block, swapped into `into`; waits for the thread when none is
    // queued. Only when ready(). Rethrows what decoding threw.
    void take(DecodedBlock& into)
    {
        {
            std::unique_lock guard(lock);
            changed.wait(guard, [&] { return !queue.empty(); });
            std::swap(into, queue.front());
            if (spare.size() < kMostSpareBlocks)
                spare.push_back(std::move(queue.front().frames));
            queue.pop_front();
            const size_t before = queuedValues;
            queuedValues -= into.frames.size();
            if (before >= kValuesAhead / 2 && queuedValues < kValuesAhead / 2)
                changed.notify_all();
        }
        if (into.status != AudioDecoder::Status::Frames || into.thrown)
            finish();
        if (into.thrown)
            std::rethrow_exception(std::exchange(into.thrown, nullptr));
    }

    // The first block queued; null when none is. Only while stopped.
    const DecodedBlock* front() const { return queue.empty() ? nullptr : &queue.front(); }

    // Forgets what is queued: the decoder has been positioned elsewhere.
    // Only while stopped.
    void clear()
    {
        const std::lock_guard guard(lock);
        queue.clear();
        queuedValues = 0;
    }

private:
    void run()
    {
        for (;;) {
            DecodedBlock block;
            {
                std::unique_lock guard(lock);
                changed.wait(guard, [&] { return stopping || queuedValues < kValuesAhead; });
                if (stopping)
                    return;
                if (!spare.empty()) {
                    block.frames = std::move(spare.back());
                    spare.pop_back();
                }
            }
            block.frames.clear();
            try {
                decode(block);
            } catch (...) {
                block.thrown = std::current_exception();
            }
            const bool last = block.status != AudioDecoder::Status::Frames || block.thrown;
            bool wake = last;
            {
                const std::lock_guard guard(lock);
                queuedValues += block.frames.size();
                queue.push_back(std::move(block));
                wake = wake || queue.size() == kBlocksToWakeReader;
            }
            if (wake)
                changed.notify_all();
            if (last)
                return;
        }
    }

    // The thread has stopped of itself: once its last block is taken, the
    // caller decodes on its own until the next stop(), as it did before.
    void finish()
    {
        if (worker.joinable())
            worker.join();
        ended = true;
    }

    Decode decode;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<DecodedBlock> queue;          // under lock
    size_t queuedValues = 0;                 // under lock: the samples in queue
    std::vector<std::vector<int16_t>> spare; // under lock: emptied blocks' storage, reused
    bool stopping = false;                   // under lock
    bool ended = false;                      // the caller's only
    std::thread worker;
};

} // namespace

struct AudioDecoder::State {
    std::string path;
    int streamIndex = -1;
    FormatContextPtr format;
    CodecContextPtr codec;
    AVStream* stream = nullptr;
    PacketPtr packet{av_packet_alloc()};
    FramePtr frame{av_frame_alloc()};
    int heldFrom = -1; // the first frame of `frame` not yet converted; -1: none held
    std::vector<const uint8_t*> pieceStart;

    int rate = 0;
    ChannelLayout layout;
    int64_t length = 0;
    int64_t warmUpFrames = 0;
    bool inputEnded = false; // the decoder has been told that no packets follow

    ResamplerPtr toS16;
    std::optional<FrameShape> converting;

    // The timeline. Timestamps finer than a frame place every block exactly.
    // Coarser ones (Matroska's milliseconds) only confirm the running count,
    // which is then the position; a seek in such a stream decodes from the
    // start, since no timestamp tells where a block really begins.
    bool timestampsPlaceFrames = false;
    int64_t tolerance = 1;           // frames a timestamp may be off from a contiguous position
    std::optional<int64_t> origin;   // timestamp of frame 0: the first frame the stream decodes to
    std::optional<int64_t> expected; // where the next block starts if it follows on

    // What next() returns before decoding more: the block a seek stopped in,
    // or what is left of a block handed out in pieces. Samples before
    // pendingAt are handed out already; a block is dropped once all are.
    std::vector<int16_t> pending;
    size_t pendingAt = 0;
    int64_t pendingFirst = 0;
    std::optional<Status> pendingStatus;
    int64_t dropBefore = INT64_MIN;
    std::vector<int16_t> block;
    DecodedBlock taken;
    bool decodesAhead = false; // the opening thread's extraction may use another thread

    // Last, so that its thread is joined before the rest goes.
    ReadAhead ahead{[this](DecodedBlock& decoded) {
        decoded.from = expected.value_or(INT64_MAX);
        decoded.status = decodeBlock(decoded.frames, decoded.first);
    }};

    bool openInput(OpenError& why);
    bool chooseStream();
    void learnStream();
    void resetTimeline();
    int64_t toFrames(int64_t ticks) const { return av_rescale_q(ticks, stream->time_base, AVRational{1, rate}); }
    int64_t toTicks(int64_t frames) const { return av_rescale_q(frames, AVRational{1, rate}, stream->time_base); }

    Status decodeBlock(std::vector<int16_t>& out, int64_t& position);
    Status takeBlock(std::vector<int16_t>& out, int64_t& position);
    Status decodeIntoPending();
    void handOut(std::vector<int16_t>& out, int64_t& firstFrame, int64_t mostFrames);
    void clearPending();
    bool feedDecoder();
    void releaseFrame();
    std::optional<int64_t> place(int64_t stamp, int64_t frames);
    bool convertPiece(std::vector<int16_t>& out);
    bool setUpConverter(const FrameShape& shape);
    bool appendConverted(const uint8_t* const* in, int frames, std::vector<int16_t>& out);
    bool drainConverter(std::vector<int16_t>& out);

    void primeFirstBlock();
    int64_t position() const;
    bool seekDemuxerTo(int64_t target);
    bool reopen();
    bool restart();
    enum class Advance { Reached, Overshot, Failed };
    Advance advanceTo(int64_t target, bool mayStartAfterTarget);
    bool keepFrom(std::vector<int16_t>& frames, int64_t& first, int64_t target) const;
};

bool AudioDecoder::State::openInput(OpenError& why)
{
    format = openMediaFile(path, why);
    if (!format)
        return false;
    why = OpenError::NoDecodableStream;
    if (!chooseStream() || !(codec = openDecoder(*stream)))
        return false;
    why = OpenError::Unreadable;
    if (!packet || !frame)
        return false;
    learnStream();
    inputEnded = false;
    why = OpenError::None;
    return true;
}

// The audio stream asked for, with the others left unread.
bool AudioDecoder::State::chooseStream()
{
    if (streamIndex < 0 || static_cast<unsigned>(streamIndex) >= format->nb_streams)
        return false;
    stream = format->streams[streamIndex];
    const AVCodecParameters& coded = *stream->codecpar;
    if (coded.codec_type != AVMEDIA_TYPE_AUDIO || coded.sample_rate <= 0 || coded.ch_layout.nb_channels <= 0 ||
        stream->time_base.num <= 0 || stream->time_base.den <= 0)
        return false;
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (static_cast<int>(i) != streamIndex)
            format->streams[i]->discard = AVDISCARD_ALL;
    return true;
}

void AudioDecoder::State::learnStream()
{
    const AVCodecParameters& coded = *stream->codecpar;
    rate = coded.sample_rate;
    layout = ChannelLayout(coded.ch_layout);
    length = audioStreamFrames(*format, *stream);
    // Half a second covers the memory of the lossy decoders (MP3's bit
    // reservoir, overlapping transforms) and Opus's stated pre-roll.
    warmUpFrames = needsNoWarmUp(coded.codec_id) ? 0 : std::max<int64_t>(rate / 2, coded.seek_preroll);
    const AVRational tick = stream->time_base;
    timestampsPlaceFrames = int64_t{tick.num} * rate <= tick.den;
    tolerance = timestampsPlaceFrames ? 1 : av_rescale_rnd(rate, tick.num, tick.den, AV_ROUND_UP);
}

void AudioDecoder::State::resetTimeline()
{
    releaseFrame();
    origin.reset();
    expected = 0;
    toS16.reset();
    converting.reset();
    clearPending();
    pendingStatus.reset();
    ahead.clear();
}

AudioDecoder::AudioDecoder(std::unique_ptr<State> decoderState) : state(std::move(decoderState)) { }

AudioDecoder::~AudioDecoder() = default;

std::unique_ptr<AudioDecoder> AudioDecoder::open(const std::string& path, int streamIndex, OpenError& why)
{
    auto state = std::make_unique<State>();
    state->path = path;
    state->streamIndex = streamIndex;
    state->decodesAhead = decodeThreads() > 1;
    if (!state->openInput(why))
        return nullptr;
    state->resetTimeline();
    state->primeFirstBlock();
    return std::make_unique<AudioDecoder>(std::move(state));
}

int AudioDecoder::sampleRate() const
{
    return state->rate;
}

int AudioDecoder::channels() const
{
    return state->layout.channels();
}

int64_t AudioDecoder::lengthInFrames() const
{
    return state->length;
}

// Decodes the first block at once: its timestamp is the origin of the
// timeline, which a seek needs before anything has been read.
void AudioDecoder::State::primeFirstBlock()
{
    int64_t first = 0;
    const Status status = decodeBlock(pending, first);
    if (status == Status::Frames)
        pendingFirst = first;
    else
        pendingStatus = status;
}

AudioDecoder::Status AudioDecoder::next(std::vector<int16_t>& out, int64_t& firstFrame, int64_t mostFrames)
{
    State& s = *state;
    if (!s.pendingStatus && s.decodesAhead)
        s.ahead.start();
    if (s.pending.empty()) {
        if (s.pendingStatus)
            return *s.pendingStatus;
        if (const Status status = s.decodeIntoPending(); status != Status::Frames)
            return status;
    }
    s.handOut(out, firstFrame, mostFrames);
    return Status::Frames;
}

// The next block that holds frames from dropBefore on, kept in pending.
AudioDecoder::Status AudioDecoder::State::decodeIntoPending()
{
    for (;;) {
        block.clear();
        int64_t first = 0;
        const Status status = takeBlock(block, first);
        if (status != Status::Frames)
            return status;
        if (!keepFrom(block, first, dropBefore))
            continue;
        pending.swap(block);
        pendingFirst = first;
        return Status::Frames;
    }
}

// Up to `mostFrames` frames from the front of pending (at least one).
void AudioDecoder::State::handOut(std::vector<int16_t>& out, int64_t& firstFrame, int64_t mostFrames)
{
    const auto channels = static_cast<size_t>(layout.channels());
    const size_t frames = (pending.size() - pendingAt) / channels;
    const size_t given = std::min(frames, static_cast<size_t>(std::max<int64_t>(mostFrames, 1)));
    const auto start = pending.begin() + static_cast<std::ptrdiff_t>(pendingAt);
    out.insert(out.end(), start, start + static_cast<std::ptrdiff_t>(given * channels));
    pendingAt += given * channels;
    if (pendingAt == pending.size())
        clearPending();
    firstFrame = pendingFirst;
    pendingFirst += static_cast<int64_t>(given);
}

void AudioDecoder::State::clearPending()
{
    pending.clear();
    pendingAt = 0;
}

// Drops the frames of `frames` (starting at `first`) that lie before
// `target`; false when none is left.
bool AudioDecoder::State::keepFrom(std::vector<int16_t>& frames, int64_t& first, int64_t target) const
{
    if (first >= target)
        return true;
    const int64_t count = static_cast<int64_t>(frames.size()) / layout.channels();
    const int64_t drop = av_sat_sub64(target, first);
    if (drop >= count)
        return false;
    frames.erase(frames.begin(), frames.begin() + static_cast<std::ptrdiff_t>(drop * layout.channels()));
    first = target;
    return true;
}

// The next block: the read-ahead's while it has one, else decoded here.
AudioDecoder::Status AudioDecoder::State::takeBlock(std::vector<int16_t>& out, int64_t& position)
{
    if (!ahead.ready())
        return decodeBlock(out, position);
    ahead.take(taken);
    out.swap(taken.frames);
    position = taken.first;
    return taken.status;
}

AudioDecoder::Status AudioDecoder::State::decodeBlock(std::vector<int16_t>& out, int64_t& position)
{
    if (!format || !codec)
        return Status::Failed;
    int errorsInARow = 0;
    for (;;) {
        if (heldFrom >= 0) {
            const size_t before = out.size();
            // Only a frame's first piece has a timestamp; the others follow on.
            const int64_t stamp = heldFrom == 0 ? frame->best_effort_timestamp : AV_NOPTS_VALUE;
            const bool converted = convertPiece(out);
            const int64_t frames = static_cast<int64_t>(out.size() - before) / layout.channels();
            const std::optional<int64_t> placed = converted ? place(stamp, frames) : std::nullopt;
            if (!converted || heldFrom >= frame->nb_samples)
                releaseFrame();
            if (!converted)
                return Status::Failed;
            if (frames == 0)
                continue;
            if (!placed) { // before any timestamp after a seek: no known position
                out.resize(before);
                continue;
            }
            position = *placed;
            return Status::Frames;
        }
        const int received = avcodec_receive_frame(codec.get(), frame.get());
        if (received == 0) {
            errorsInARow = 0;
            if (!zeroNonFinite(*frame)) {
                av_frame_unref(frame.get());
                return Status::Failed;
            }
            heldFrom = 0;
            continue;
        }
        if (received == AVERROR_EOF) {
            const size_t before = out.size();
            if (!drainConverter(out))
                return Status::Failed;
            if (out.size() == before || !expected)
                return Status::End;
            position = *expected;
            expected = av_sat_add64(*expected, static_cast<int64_t>(out.size() - before) / layout.channels());
            return Status::Frames;
        }
        if (received == AVERROR(EAGAIN)) {
            errorsInARow = 0;
            if (!feedDecoder())
                return Status::Failed;
            continue;
        }
        if (isFatal(received) || ++errorsInARow > kMostErrorsInARow)
            return Status::Failed;
    }
}

// Sends the decoder the stream's next packet, skipping packets it refuses as
// corrupt. Like the ffmpeg command line, the input ends at its end or at data
// the demuxer cannot read past; other read errors fail.
bool AudioDecoder::State::feedDecoder()
{
    if (inputEnded)
        return false;
    for (;;) {
        const int read = av_read_frame(format.get(), packet.get());
        if (read == AVERROR_EOF || read == AVERROR_INVALIDDATA) {
            inputEnded = true;
            return avcodec_send_packet(codec.get(), nullptr) == 0;
        }
        if (read < 0)
            return false;
        if (packet->stream_index != streamIndex) {
            av_packet_unref(packet.get());
            continue;
        }
        const int sent = avcodec_send_packet(codec.get(), packet.get());
        av_packet_unref(packet.get());
        if (sent == 0)
            return true;
        if (isFatal(sent))
            return false;
    }
}

void AudioDecoder::State::releaseFrame()
{
    av_frame_unref(frame.get());
    heldFrom = -1;
}

// The position of a decoded block of `frames` frames, from its timestamp
// relative to frame 0's, or from the count when that is all there is.
std::optional<int64_t> AudioDecoder::State::place(int64_t stamp, int64_t frames)
{
    std::optional<int64_t> at;
    if (stamp != AV_NOPTS_VALUE) {
        if (!origin)
            origin = av_sat_sub64(stamp, toTicks(expected.value_or(0)));
        const int64_t fromStamp = toFrames(av_sat_sub64(stamp, *origin));
        at = expected && within(fromStamp, *expected, tolerance) ? *expected : fromStamp;
    } else if (expected) {
        at = *expected;
    } else {
        return std::nullopt;
    }
    expected = av_sat_add64(*at, frames);
    return at;
}

// Converts the next piece of the held frame and moves heldFrom past it.
bool AudioDecoder::State::convertPiece(std::vector<int16_t>& out)
{
    const AVFrame& decoded = *frame;
    if (heldFrom == 0) {
        FrameShape shape;
        shape.format = decoded.format;
        shape.layout = ChannelLayout(decoded.ch_layout);
        shape.rate = decoded.sample_rate > 0 ? decoded.sample_rate : rate;
        if (!converting || !(*converting == shape)) {
            if (!drainConverter(out) || !setUpConverter(shape))
                return false;
        }
    }
    const int piece =
        std::min(decoded.nb_samples - heldFrom, inputFramesFor(kMostFramesPerBlock, converting->rate, rate));
    const auto sampleFormat = static_cast<AVSampleFormat>(decoded.format);
    const int channels = decoded.ch_layout.nb_channels;
    const bool planar = av_sample_fmt_is_planar(sampleFormat) != 0;
    const size_t offset = static_cast<size_t>(heldFrom) * static_cast<size_t>(av_get_bytes_per_sample(sampleFormat)) *
        static_cast<size_t>(planar ? 1 : channels);
    pieceStart.resize(static_cast<size_t>(planar ? channels : 1));
    for (size_t plane = 0; plane < pieceStart.size(); ++plane)
        pieceStart[plane] = decoded.extended_data[plane] + offset;
    if (!appendConverted(pieceStart.data(), piece, out))
        return false;
    heldFrom += piece;
    return true;
}

// Interleaved s16 at the stream's rate. A frame with the stream's channel
// count keeps its own layout (no mixing, as the command line does); another
// count is mixed to the stream's layout.
bool AudioDecoder::State::setUpConverter(const FrameShape& shape)
{
    toS16.reset();
    converting.reset();
    if (shape.format < 0 || shape.layout.channels() <= 0)
        return false;
    const ChannelLayout& target = shape.layout.channels() == layout.channels() ? shape.layout : layout;
    SwrContext* raw = nullptr;
    const int allocated = swr_alloc_set_opts2(&raw, target.forSwr(), AV_SAMPLE_FMT_S16, rate, shape.layout.forSwr(),
        static_cast<AVSampleFormat>(shape.format), shape.rate, 0, nullptr);
    ResamplerPtr converter(raw);
    if (allocated < 0 || swr_init(converter.get()) < 0)
        return false;
    toS16 = std::move(converter);
    converting = shape;
    return true;
}

// Appends what `frames` frames of `in` make; null `in` drains the converter.
bool AudioDecoder::State::appendConverted(const uint8_t* const* in, int frames, std::vector<int16_t>& out)
{
    const int capacity = in ? outputRoomFor(frames, converting->rate, rate) : kMostFramesPerBlock;
    const size_t before = out.size();
    out.resize(before + static_cast<size_t>(capacity) * static_cast<size_t>(layout.channels()));
    auto* target = reinterpret_cast<uint8_t*>(out.data() + before);
    const int made = swr_convert(toS16.get(), &target, capacity, const_cast<const uint8_t**>(in), frames);
    if (made < 0) {
        out.resize(before);
        return false;
    }
    out.resize(before + static_cast<size_t>(made) * static_cast<size_t>(layout.channels()));
    return true;
}

// What a resampling converter still holds, about its filter's length at the
// new rate; nothing when rates match.
bool AudioDecoder::State::drainConverter(std::vector<int16_t>& out)
{
    if (!toS16)
        return true;
    for (size_t before = SIZE_MAX; out.size() != before;) {
        before = out.size();
        if (!appendConverted(nullptr, 0, out))
            return false;
    }
    return true;
}

int64_t AudioDecoder::State::position() const
{
    if (!pending.empty())
        return pendingFirst;
    if (const DecodedBlock* queued = ahead.front())
        return queued->from;
    return expected.value_or(INT64_MAX);
}

bool AudioDecoder::State::seekDemuxerTo(int64_t target)
{
    // libavformat's Ogg reader labels the packets after a seek wrongly once it
    // has met the end of the file; a reader that has not is trusted.
    if (inputEnded && !reopen())
        return false;
    const int64_t stamp = av_sat_add64(*origin, toTicks(target));
    if (av_seek_frame(format.get(), streamIndex, stamp, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    avcodec_flush_buffers(codec.get());
    releaseFrame();
    inputEnded = false;
    toS16.reset();
    converting.reset();
    expected.reset();
    clearPending();
    pendingStatus.reset();
    ahead.clear();
    return true;
}

// Opens the file afresh, keeping the timeline; false (and nothing open) when
// it no longer opens as the same stream.
bool AudioDecoder::State::reopen()
{
    const int oldRate = rate;
    const int oldChannels = layout.channels();
    OpenError ignored = OpenError::None;
    if (!openInput(ignored) || rate != oldRate || layout.channels() != oldChannels) {
        codec.reset();
        format.reset();
        return false;
    }
    return true;
}

// Back to the start: decoding from there gives what the first decode gave.
bool AudioDecoder::State::restart()
{
    if (!reopen())
        return false;
    resetTimeline();
    return true;
}

// Decodes up to `target` and keeps the block that holds it for next(). A
// first block that starts after the target means the demuxer landed too late
// (Overshot), unless `mayStartAfterTarget` (the stream has a gap there).
AudioDecoder::State::Advance AudioDecoder::State::advanceTo(int64_t target, bool mayStartAfterTarget)
{
    dropBefore = target;
    bool first = true;
    for (;;) {
        int64_t at = pendingFirst;
        if (!pending.empty()) {
            block.assign(pending.begin() + static_cast<std::ptrdiff_t>(pendingAt), pending.end());
            clearPending();
        } else {
            if (pendingStatus)
                return *pendingStatus == Status::Failed ? Advance::Failed : Advance::Reached;
            block.clear();
            const Status status = takeBlock(block, at);
            if (status != Status::Frames) {
                pendingStatus = status;
                return status == Status::Failed ? Advance::Failed : Advance::Reached;
            }
        }
        if (first && at > target && !mayStartAfterTarget)
            return Advance::Overshot;
        first = false;
        if (keepFrom(block, at, target)) {
            pending.swap(block);
            pendingFirst = at;
            return Advance::Reached;
        }
    }
}

bool AudioDecoder::seekToFrame(int64_t frame)
{
    State& s = *state;
    s.ahead.stop();
    if (!s.format)
        return false;
    int64_t target = std::max<int64_t>(frame, 0);
    if (s.length > 0)
        target = std::min(target, s.length);
    // Forward within reach: decoding on costs less than positioning and
    // keeps the exact count.
    const int64_t here = s.position();
    if (here <= target && (!s.timestampsPlaceFrames || target - here <= 2 * s.warmUpFrames + s.rate))
        return s.advanceTo(target, true) != State::Advance::Failed;
    if (s.timestampsPlaceFrames && s.origin) {
        int64_t back = s.warmUpFrames + s.rate / 10;
        for (int attempt = 0; attempt < kSeekAttempts; ++attempt, back *= 4) {
            const int64_t from = target - back;
            if (from <= 0 || !s.seekDemuxerTo(from))
                break;
            if (s.advanceTo(target, false) == State::Advance::Reached)
                return true;
        }
    }
    return s.restart() && s.advanceTo(target, true) != State::Advance::Failed;
}

bool AudioDecoder::seeksExactly() const
{
    const AVCodecID codec = state->stream->codecpar->codec_id;
    const bool pcm = codec >= AV_CODEC_ID_FIRST_AUDIO && codec < AV_CODEC_ID_ADPCM_IMA_QT;
    const bool exact = pcm || codec == AV_CODEC_ID_FLAC || codec == AV_CODEC_ID_MP3 || codec == AV_CODEC_ID_VORBIS ||
        codec == AV_CODEC_ID_OPUS;
    return exact && state->timestampsPlaceFrames;
}

bool firstAudioSeeksExactly(const std::string& path)
{
    OpenError why = OpenError::None;
    const auto probe = probeMedia(path, why);
    if (!probe)
        return false;
    for (const StreamInfo& stream : probe->streams)
        if (stream.kind == StreamInfo::Kind::Audio) {
            const auto decoder = stream.audio.decodable ? AudioDecoder::open(path, stream.audio.index, why) : nullptr;
            return decoder != nullptr && decoder->seeksExactly();
        }
    return false;
}

} // namespace zuk::media
