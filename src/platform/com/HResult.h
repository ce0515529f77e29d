// COM result codes: negative is failure. Values are the platform's own; the
// published description of each is in ErrorText.h.
#pragma once

#include <cstdint>

using HRESULT = int32_t;

constexpr bool SUCCEEDED(HRESULT hr)
{
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr)
{
    return hr < 0;
}

// A Win32 error code as an HRESULT (facility 7), as the platform's macro makes it.
constexpr HRESULT HRESULT_FROM_WIN32(uint32_t error)
{
    return static_cast<int32_t>(error) <= 0 ? static_cast<HRESULT>(error)
                                            : static_cast<HRESULT>((error & 0x0000FFFFu) | (7u << 16) | 0x80000000u);
}

constexpr HRESULT hresult(uint32_t bits)
{
    return static_cast<HRESULT>(bits);
}

// Win32 errors the layer reports through HRESULT_FROM_WIN32.
inline constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr uint32_t ERROR_PATH_NOT_FOUND = 3;
inline constexpr uint32_t ERROR_TOO_MANY_OPEN_FILES = 4;
inline constexpr uint32_t ERROR_ACCESS_DENIED = 5;
inline constexpr uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr uint32_t ERROR_WRITE_FAULT = 29;
inline constexpr uint32_t ERROR_SHARING_VIOLATION = 32;
inline constexpr uint32_t ERROR_HANDLE_EOF = 38;
inline constexpr uint32_t ERROR_DISK_FULL = 112;
inline constexpr uint32_t ERROR_INVALID_NAME = 123;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = hresult(0x80004005);
inline constexpr HRESULT E_INVALIDARG = hresult(0x80070057);
inline constexpr HRESULT E_OUTOFMEMORY = hresult(0x8007000E);
inline constexpr HRESULT E_NOTIMPL = hresult(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = hresult(0x80004002);
inline constexpr HRESULT E_POINTER = hresult(0x80004003);
inline constexpr HRESULT E_UNEXPECTED = hresult(0x8000FFFF);
inline constexpr HRESULT E_ABORT = hresult(0x80004004);
inline constexpr HRESULT E_ACCESSDENIED = hresult(0x80070005);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = hresult(0x80040154);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = hresult(0x80040110);
// A module asked for a class it does not hold.
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = hresult(0x80040111);
// Further codes (CO_E_*, VFW_E_*, VFW_S_*) follow below.
inline constexpr HRESULT E_HANDLE = hresult(0x80070006);
inline constexpr HRESULT E_PENDING = hresult(0x8000000A);
inline constexpr HRESULT CO_E_NOTINITIALIZED = hresult(0x800401F0);
inline constexpr HRESULT CO_E_ALREADYINITIALIZED = hresult(0x800401F1);
inline constexpr HRESULT RPC_E_CHANGED_MODE = hresult(0x80010106);
inline constexpr HRESULT E_PROP_ID_UNSUPPORTED = hresult(0x80070490);
inline constexpr HRESULT E_PROP_SET_UNSUPPORTED = hresult(0x80070492);

// Filter-graph codes: VFW_E_* failures, VFW_S_* successes.
inline constexpr HRESULT VFW_E_INVALIDMEDIATYPE = hresult(0x80040200);
inline constexpr HRESULT VFW_E_INVALIDSUBTYPE = hresult(0x80040201);
inline constexpr HRESULT VFW_E_NEED_OWNER = hresult(0x80040202);
inline constexpr HRESULT VFW_E_ENUM_OUT_OF_SYNC = hresult(0x80040203);
inline constexpr HRESULT VFW_E_ALREADY_CONNECTED = hresult(0x80040204);
inline constexpr HRESULT VFW_E_FILTER_ACTIVE = hresult(0x80040205);
inline constexpr HRESULT VFW_E_NO_TYPES = hresult(0x80040206);
inline constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = hresult(0x80040207);
inline constexpr HRESULT VFW_E_INVALID_DIRECTION = hresult(0x80040208);
inline constexpr HRESULT VFW_E_NOT_CONNECTED = hresult(0x80040209);
inline constexpr HRESULT VFW_E_NO_ALLOCATOR = hresult(0x8004020A);
inline constexpr HRESULT VFW_E_RUNTIME_ERROR = hresult(0x8004020B);
inline constexpr HRESULT VFW_E_BUFFER_NOTSET = hresult(0x8004020C);
inline constexpr HRESULT VFW_E_BUFFER_OVERFLOW = hresult(0x8004020D);
inline constexpr HRESULT VFW_E_BADALIGN = hresult(0x8004020E);
inline constexpr HRESULT VFW_E_ALREADY_COMMITTED = hresult(0x8004020F);
inline constexpr HRESULT VFW_E_BUFFERS_OUTSTANDING = hresult(0x80040210);
inline constexpr HRESULT VFW_E_NOT_COMMITTED = hresult(0x80040211);
inline constexpr HRESULT VFW_E_SIZENOTSET = hresult(0x80040212);
inline constexpr HRESULT VFW_E_NO_CLOCK = hresult(0x80040213);
inline constexpr HRESULT VFW_E_NO_SINK = hresult(0x80040214);
inline constexpr HRESULT VFW_E_NO_INTERFACE = hresult(0x80040215);
inline constexpr HRESULT VFW_E_NOT_FOUND = hresult(0x80040216);
inline constexpr HRESULT VFW_E_CANNOT_CONNECT = hresult(0x80040217);
inline constexpr HRESULT VFW_E_CANNOT_RENDER = hresult(0x80040218);
inline constexpr HRESULT VFW_E_CHANGING_FORMAT = hresult(0x80040219);
inline constexpr HRESULT VFW_E_NO_COLOR_KEY_SET = hresult(0x8004021A);
inline constexpr HRESULT VFW_E_NOT_OVERLAY_CONNECTION = hresult(0x8004021B);
inline constexpr HRESULT VFW_E_NOT_SAMPLE_CONNECTION = hresult(0x8004021C);
inline constexpr HRESULT VFW_E_PALETTE_SET = hresult(0x8004021D);
inline constexpr HRESULT VFW_E_COLOR_KEY_SET = hresult(0x8004021E);
inline constexpr HRESULT VFW_E_NO_COLOR_KEY_FOUND = hresult(0x8004021F);
inline constexpr HRESULT VFW_E_NO_PALETTE_AVAILABLE = hresult(0x80040220);
inline constexpr HRESULT VFW_E_NO_DISPLAY_PALETTE = hresult(0x80040221);
inline constexpr HRESULT VFW_E_TOO_MANY_COLORS = hresult(0x80040222);
inline constexpr HRESULT VFW_E_STATE_CHANGED = hresult(0x80040223);
inline constexpr HRESULT VFW_E_NOT_STOPPED = hresult(0x80040224);
inline constexpr HRESULT VFW_E_NOT_PAUSED = hresult(0x80040225);
inline constexpr HRESULT VFW_E_NOT_RUNNING = hresult(0x80040226);
inline constexpr HRESULT VFW_E_WRONG_STATE = hresult(0x80040227);
inline constexpr HRESULT VFW_E_START_TIME_AFTER_END = hresult(0x80040228);
inline constexpr HRESULT VFW_E_INVALID_RECT = hresult(0x80040229);
inline constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = hresult(0x8004022A);
inline constexpr HRESULT VFW_E_SAMPLE_REJECTED = hresult(0x8004022B);
inline constexpr HRESULT VFW_E_SAMPLE_REJECTED_EOS = hresult(0x8004022C);
inline constexpr HRESULT VFW_E_DUPLICATE_NAME = hresult(0x8004022D);
inline constexpr HRESULT VFW_S_DUPLICATE_NAME = hresult(0x0004022D);
inline constexpr HRESULT VFW_E_TIMEOUT = hresult(0x8004022E);
inline constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = hresult(0x8004022F);
inline constexpr HRESULT VFW_E_ENUM_OUT_OF_RANGE = hresult(0x80040230);
inline constexpr HRESULT VFW_E_CIRCULAR_GRAPH = hresult(0x80040231);
inline constexpr HRESULT VFW_E_NOT_ALLOWED_TO_SAVE = hresult(0x80040232);
inline constexpr HRESULT VFW_E_TIME_ALREADY_PASSED = hresult(0x80040233);
inline constexpr HRESULT VFW_E_ALREADY_CANCELLED = hresult(0x80040234);
inline constexpr HRESULT VFW_E_CORRUPT_GRAPH_FILE = hresult(0x80040235);
inline constexpr HRESULT VFW_E_ADVISE_ALREADY_SET = hresult(0x80040236);
inline constexpr HRESULT VFW_S_STATE_INTERMEDIATE = hresult(0x00040237);
inline constexpr HRESULT VFW_E_NO_MODEX_AVAILABLE = hresult(0x80040238);
inline constexpr HRESULT VFW_E_NO_ADVISE_SET = hresult(0x80040239);
inline constexpr HRESULT VFW_E_NO_FULLSCREEN = hresult(0x8004023A);
inline constexpr HRESULT VFW_E_IN_FULLSCREEN_MODE = hresult(0x8004023B);
inline constexpr HRESULT VFW_E_UNKNOWN_FILE_TYPE = hresult(0x80040240);
inline constexpr HRESULT VFW_E_CANNOT_LOAD_SOURCE_FILTER = hresult(0x80040241);
inline constexpr HRESULT VFW_S_PARTIAL_RENDER = hresult(0x00040242);
inline constexpr HRESULT VFW_E_FILE_TOO_SHORT = hresult(0x80040243);
inline constexpr HRESULT VFW_E_INVALID_FILE_VERSION = hresult(0x80040244);
inline constexpr HRESULT VFW_S_SOME_DATA_IGNORED = hresult(0x00040245);
inline constexpr HRESULT VFW_S_CONNECTIONS_DEFERRED = hresult(0x00040246);
inline constexpr HRESULT VFW_E_INVALID_CLSID = hresult(0x80040247);
inline constexpr HRESULT VFW_E_INVALID_MEDIA_TYPE = hresult(0x80040248);
inline constexpr HRESULT VFW_E_BAD_KEY = hresult(0x800403F2);
inline constexpr HRESULT VFW_S_NO_MORE_ITEMS = hresult(0x00040103);
inline constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = hresult(0x80040249);
inline constexpr HRESULT VFW_S_RESOURCE_NOT_NEEDED = hresult(0x00040250);
inline constexpr HRESULT VFW_E_MEDIA_TIME_NOT_SET = hresult(0x80040251);
inline constexpr HRESULT VFW_E_NO_TIME_FORMAT_SET = hresult(0x80040252);
inline constexpr HRESULT VFW_E_MONO_AUDIO_HW = hresult(0x80040253);
inline constexpr HRESULT VFW_S_MEDIA_TYPE_IGNORED = hresult(0x00040254);
inline constexpr HRESULT VFW_E_NO_DECOMPRESSOR = hresult(0x80040255);
inline constexpr HRESULT VFW_E_NO_AUDIO_HARDWARE = hresult(0x80040256);
inline constexpr HRESULT VFW_S_VIDEO_NOT_RENDERED = hresult(0x00040257);
inline constexpr HRESULT VFW_S_AUDIO_NOT_RENDERED = hresult(0x00040258);
inline constexpr HRESULT VFW_E_RPZA = hresult(0x80040259);
inline constexpr HRESULT VFW_S_RPZA = hresult(0x0004025A);
inline constexpr HRESULT VFW_E_PROCESSOR_NOT_SUITABLE = hresult(0x8004025B);
inline constexpr HRESULT VFW_E_UNSUPPORTED_AUDIO = hresult(0x8004025C);
inline constexpr HRESULT VFW_E_UNSUPPORTED_VIDEO = hresult(0x8004025D);
inline constexpr HRESULT VFW_E_MPEG_NOT_CONSTRAINED = hresult(0x8004025E);
inline constexpr HRESULT VFW_E_NOT_IN_GRAPH = hresult(0x8004025F);
inline constexpr HRESULT VFW_S_ESTIMATED = hresult(0x00040260);
inline constexpr HRESULT VFW_E_NO_TIME_FORMAT = hresult(0x80040261);
inline constexpr HRESULT VFW_E_READ_ONLY = hresult(0x80040262);
inline constexpr HRESULT VFW_S_RESERVED = hresult(0x00040263);
inline constexpr HRESULT VFW_E_BUFFER_UNDERFLOW = hresult(0x80040264);
inline constexpr HRESULT VFW_E_UNSUPPORTED_STREAM = hresult(0x80040265);
inline constexpr HRESULT VFW_E_NO_TRANSPORT = hresult(0x80040266);
inline constexpr HRESULT VFW_S_STREAM_OFF = hresult(0x00040267);
inline constexpr HRESULT VFW_S_CANT_CUE = hresult(0x00040268);
inline constexpr HRESULT VFW_E_BAD_VIDEOCD = hresult(0x80040269);
inline constexpr HRESULT VFW_S_NO_STOP_TIME = hresult(0x00040270);
inline constexpr HRESULT VFW_E_OUT_OF_VIDEO_MEMORY = hresult(0x80040271);
inline constexpr HRESULT VFW_E_VP_NEGOTIATION_FAILED = hresult(0x80040272);
inline constexpr HRESULT VFW_E_DDRAW_CAPS_NOT_SUITABLE = hresult(0x80040273);
inline constexpr HRESULT VFW_E_NO_VP_HARDWARE = hresult(0x80040274);
inline constexpr HRESULT VFW_E_NO_CAPTURE_HARDWARE = hresult(0x80040275);
inline constexpr HRESULT VFW_E_DVD_OPERATION_INHIBITED = hresult(0x80040276);
inline constexpr HRESULT VFW_E_DVD_INVALIDDOMAIN = hresult(0x80040277);
inline constexpr HRESULT VFW_E_DVD_NO_BUTTON = hresult(0x80040278);
inline constexpr HRESULT VFW_E_DVD_GRAPHNOTREADY = hresult(0x80040279);
inline constexpr HRESULT VFW_E_DVD_RENDERFAIL = hresult(0x8004027A);
inline constexpr HRESULT VFW_E_DVD_DECNOTENOUGH = hresult(0x8004027B);
inline constexpr HRESULT VFW_E_DDRAW_VERSION_NOT_SUITABLE = hresult(0x8004027C);
inline constexpr HRESULT VFW_E_COPYPROT_FAILED = hresult(0x8004027D);
inline constexpr HRESULT VFW_S_NOPREVIEWPIN = hresult(0x0004027E);
inline constexpr HRESULT VFW_E_TIME_EXPIRED = hresult(0x8004027F);
inline constexpr HRESULT VFW_S_DVD_NON_ONE_SEQUENTIAL = hresult(0x00040280);
inline constexpr HRESULT VFW_E_DVD_WRONG_SPEED = hresult(0x80040281);
inline constexpr HRESULT VFW_E_DVD_MENU_DOES_NOT_EXIST = hresult(0x80040282);
inline constexpr HRESULT VFW_E_DVD_CMD_CANCELLED = hresult(0x80040283);
inline constexpr HRESULT VFW_E_DVD_STATE_WRONG_VERSION = hresult(0x80040284);
inline constexpr HRESULT VFW_E_DVD_STATE_CORRUPT = hresult(0x80040285);
inline constexpr HRESULT VFW_E_DVD_STATE_WRONG_DISC = hresult(0x80040286);
inline constexpr HRESULT VFW_E_DVD_INCOMPATIBLE_REGION = hresult(0x80040287);
inline constexpr HRESULT VFW_E_DVD_NO_ATTRIBUTES = hresult(0x80040288);
inline constexpr HRESULT VFW_E_DVD_NO_GOUP_PGC = hresult(0x80040289);
inline constexpr HRESULT VFW_E_DVD_LOW_PARENTAL_LEVEL = hresult(0x8004028A);
inline constexpr HRESULT VFW_E_DVD_NOT_IN_KARAOKE_MODE = hresult(0x8004028B);
inline constexpr HRESULT VFW_S_DVD_CHANNEL_CONTENTS_NOT_AVAILABLE = hresult(0x0004028C);
inline constexpr HRESULT VFW_S_DVD_NOT_ACCURATE = hresult(0x0004028D);
inline constexpr HRESULT VFW_E_FRAME_STEP_UNSUPPORTED = hresult(0x8004028E);
inline constexpr HRESULT VFW_E_DVD_STREAM_DISABLED = hresult(0x8004028F);
inline constexpr HRESULT VFW_E_DVD_TITLE_UNKNOWN = hresult(0x80040290);
inline constexpr HRESULT VFW_E_DVD_INVALID_DISC = hresult(0x80040291);
inline constexpr HRESULT VFW_E_DVD_NO_RESUME_INFORMATION = hresult(0x80040292);
inline constexpr HRESULT VFW_E_PIN_ALREADY_BLOCKED_ON_THIS_THREAD = hresult(0x80040293);
inline constexpr HRESULT VFW_E_PIN_ALREADY_BLOCKED = hresult(0x80040294);
inline constexpr HRESULT VFW_E_CERTIFICATION_FAILURE = hresult(0x80040295);
inline constexpr HRESULT VFW_E_VMR_NOT_IN_MIXER_MODE = hresult(0x80040296);
inline constexpr HRESULT VFW_E_VMR_NO_AP_SUPPLIED = hresult(0x80040297);
inline constexpr HRESULT VFW_E_VMR_NO_DEINTERLACE_HW = hresult(0x80040298);
inline constexpr HRESULT VFW_E_VMR_NO_PROCAMP_HW = hresult(0x80040299);
inline constexpr HRESULT VFW_E_DVD_VMR9_INCOMPATIBLEDEC = hresult(0x8004029A);
inline constexpr HRESULT VFW_E_NO_COPP_HW = hresult(0x8004029B);
inline constexpr HRESULT VFW_E_DVD_NONBLOCKING = hresult(0x8004029C);
inline constexpr HRESULT VFW_E_DVD_TOO_MANY_RENDERERS_IN_FILTER_GRAPH = hresult(0x8004029D);
inline constexpr HRESULT VFW_E_DVD_NON_EVR_RENDERER_IN_FILTER_GRAPH = hresult(0x8004029E);
inline constexpr HRESULT VFW_E_DVD_RESOLUTION_ERROR = hresult(0x8004029F);
inline constexpr HRESULT VFW_E_CODECAPI_LINEAR_RANGE = hresult(0x80040310);
inline constexpr HRESULT VFW_E_CODECAPI_ENUMERATED = hresult(0x80040311);
inline constexpr HRESULT VFW_E_CODECAPI_NO_DEFAULT = hresult(0x80040313);
inline constexpr HRESULT VFW_E_CODECAPI_NO_CURRENT_VALUE = hresult(0x80040314);
inline constexpr HRESULT VFW_E_DVD_CHAPTER_DOES_NOT_EXIST = hresult(0x80040315);
