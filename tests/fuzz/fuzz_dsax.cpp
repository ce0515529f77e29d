// Feeds arbitrary bytes, as a media file, to the dsax reader and to the
// extraction built on it: open, reads of every kind and seeks of every kind
// chosen by the input's last bytes, close; then a whole extraction. Nothing
// may crash, leak, hang or run into undefined behaviour; results are ignored.
#include "FuzzScratch.h"

#include <zuk/dsax.h>
#include <zuk/zuk.h>

#include <cstdint>
#include <exception>
#include <vector>

namespace {

// Steers the calls from the input's tail, so that the fuzzer can vary them.
struct Steering {
    const uint8_t* data;
    size_t size;
    size_t next = 0;
    uint8_t byte() { return size == 0 ? 0 : data[size - 1 - (next++ % size)]; }
};

void readAndSeek(uint32_t handle, Steering& steer)
{
    std::vector<int16_t> shorts(2 * 5000);
    std::vector<double> doubles(5000);
    uint32_t progress = 0;
    for (int step = 0; step < 8; ++step) {
        const int64_t count = 1 + steer.byte() * 19;
        try {
            switch (steer.byte() % 6) {
            case 0:
                dsax::dsax_read_short(handle, shorts.data(), count, &progress);
                break;
            case 1:
                dsax::dsax_read_short_stereo(handle, shorts.data(), count, nullptr);
                break;
            case 2:
                dsax::dsax_set_norm_double(handle, steer.byte() & 1);
                dsax::dsax_read_double(handle, doubles.data(), count, &progress);
                break;
            case 3:
                dsax::dsax_seek_nsec(handle, (int64_t{steer.byte()} - 128) * 1'000'000, steer.byte() % 4);
                break;
            case 4:
                dsax::dsax_seek_samp(handle, (int64_t{steer.byte()} - 128) * 1000, steer.byte() % 4);
                break;
            default:
                dsax::dsax_read_short(handle, shorts.data(), 5000, nullptr);
                break;
            }
        } catch (const std::exception&) {
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzScratch scratch{"out.wav"};
    static const bool ready = (dsax::dsax_init(), true);
    (void)ready;
    scratch.write(data, size);
    const std::u16string file = fuzzWide(scratch.inputPath());

    Steering steer{data, size};
    try {
        dsax::DSAX_MEDIA_INFO* info = dsax::dsax_open(file.c_str());
        readAndSeek(info->handle, steer);
        dsax::dsax_close(&info);
    } catch (const std::exception&) {
    }

    const std::u16string output = fuzzWide(scratch.path("out.wav"));
    Dsax_Extraction(file.c_str(), output.c_str(), steer.byte() & 1, nullptr);
    scratch.removeOutputs();
    return 0;
}
