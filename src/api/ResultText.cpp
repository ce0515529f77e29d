// One line on what each result code means, for hosts that show results to a
// person.
#include <zuk/zuk.h>

extern "C" ZUK_API const char* zuk_result_text(int32_t code)
{
    switch (code) {
    case ZUK_OK:
        return "success";
    case ZUK_OK_UNPADDED:
        return "success, but no video frame rate was found, so the WAV is not padded to whole video frames";
    case ZUK_E_OPEN:
        return "a file cannot be opened or positioned, an argument is invalid, or a needed library is missing";
    case ZUK_E_UNSUPPORTED:
        return "the media cannot be opened or rendered here";
    case ZUK_E_SHORT_COPY:
        return "a copy wrote fewer frames than it read";
    case ZUK_E_EXTRACT:
        return "extraction failed: no back end could extract the audio";
    case ZUK_E_NO_SAMPLES:
        return "the decoder delivered no samples";
    case ZUK_E_WRITE:
        return "the output file cannot be written";
    case ZUK_E_PES_FILE:
        return "the intermediate PES file cannot be created";
    default:
        return code < 0 ? "a result passed on from a sibling library" : "success";
    }
}
