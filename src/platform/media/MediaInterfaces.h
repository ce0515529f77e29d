// The interfaces, structures and constants of the media graph, shaped as the
// platform's filter-graph API is, so that graph code reads as it would there:
// same method names, argument orders and result codes. Only what the library
// calls is declared.
#pragma once

#include "platform/com/Automation.h"
#include "platform/com/Guids.h"
#include "platform/com/Unknown.h"

#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using LONGLONG = int64_t;
using REFERENCE_TIME = int64_t; // 100-ns units
using LONG_PTR = intptr_t;
using OAFilterState = LONG;
using LPCWSTR = const char16_t*;
using LPWSTR = char16_t*;
using LPCOLESTR = const OLECHAR*;
using LPOLESTR = OLECHAR*;

inline constexpr DWORD INFINITE = 0xFFFFFFFF;

// ---- Formats --------------------------------------------------------------

#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18, "a WAVEFORMATEX is 18 packed bytes in every file and format block");

inline constexpr WORD WAVE_FORMAT_PCM = 1;
inline constexpr WORD WAVE_FORMAT_IEEE_FLOAT = 3;

struct RECT {
    LONG left, top, right, bottom;
};

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct VIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame;
    BITMAPINFOHEADER bmiHeader;
};
static_assert(sizeof(VIDEOINFOHEADER) == 88);

struct AM_MEDIA_TYPE {
    GUID majortype;
    GUID subtype;
    BOOL bFixedSizeSamples;
    BOOL bTemporalCompression;
    ULONG lSampleSize;
    GUID formattype;
    IUnknown* pUnk;
    ULONG cbFormat;
    BYTE* pbFormat; // CoTaskMemAlloc'd; FreeMediaType releases it
};

// Releases the format block and pUnk of `type` (not `type` itself).
void FreeMediaType(AM_MEDIA_TYPE& type);
// FreeMediaType, then CoTaskMemFree of `type` itself (null allowed).
void DeleteMediaType(AM_MEDIA_TYPE* type);
// Deep copy: a new format block, pUnk referenced again.
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);

// ---- Filters and pins -----------------------------------------------------

enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };
enum FILTER_STATE { State_Stopped = 0, State_Paused = 1, State_Running = 2 };

struct IBaseFilter;
struct IFilterGraph;
struct IPin;
struct IReferenceClock; // no clock exists here: graphs run as fast as they decode
struct IMediaSample;    // the grabber hands out bytes only
struct IBindCtx;
struct IErrorLog;

struct FILTER_INFO {
    char16_t achName[128];
    IFilterGraph* pGraph; // referenced; the caller releases it
};

struct PIN_INFO {
    IBaseFilter* pFilter; // referenced; the caller releases it
    PIN_DIRECTION dir;
    char16_t achName[128];
};

struct IPin : IUnknown {
    static constexpr const IID& iid = IID_IPin;
    // On an output pin: connects to `receivePin`, with `type` or (null) a
    // type both accept. The graph calls it; filters rarely do.
    virtual HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) = 0;
    // On an input pin: accepts or refuses a connection an output pin offers.
    virtual HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT Disconnect() = 0;            // S_FALSE when it was not connected
    virtual HRESULT ConnectedTo(IPin** pin) = 0; // VFW_E_NOT_CONNECTED when free
    virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;
    virtual HRESULT QueryDirection(PIN_DIRECTION* direction) = 0;
    virtual HRESULT QueryId(LPWSTR* id) = 0; // CoTaskMemAlloc'd
    virtual HRESULT QueryAccept(const AM_MEDIA_TYPE* type) = 0;
    // On input pins, called on the streaming thread by the upstream filter.
    virtual HRESULT EndOfStream() = 0;
    virtual HRESULT BeginFlush() = 0;
    virtual HRESULT EndFlush() = 0;

protected:
    ~IPin() = default;
};

struct IEnumPins : IUnknown {
    static constexpr const IID& iid = IID_IEnumPins;
    virtual HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumPins** copy) = 0;

protected:
    ~IEnumPins() = default;
};

struct IMediaFilter : IUnknown {
    static constexpr const IID& iid = IID_IMediaFilter;
    virtual HRESULT Stop() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Run(REFERENCE_TIME start) = 0;
    virtual HRESULT GetState(DWORD timeoutMs, FILTER_STATE* state) = 0;
    virtual HRESULT SetSyncSource(IReferenceClock* clock) = 0;
    virtual HRESULT GetSyncSource(IReferenceClock** clock) = 0;

protected:
    ~IMediaFilter() = default;
};

struct IBaseFilter : IMediaFilter {
    static constexpr const IID& iid = IID_IBaseFilter;
    virtual HRESULT EnumPins(IEnumPins** pins) = 0;
    virtual HRESULT FindPin(LPCWSTR id, IPin** pin) = 0;
    virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
    virtual HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) = 0;

protected:
    ~IBaseFilter() = default;
};

struct IEnumFilters : IUnknown {
    static constexpr const IID& iid = IID_IEnumFilters;
    virtual HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumFilters** copy) = 0;

protected:
    ~IEnumFilters() = default;
};

struct IFileSourceFilter : IUnknown {
    static constexpr const IID& iid = IID_IFileSourceFilter;
    virtual HRESULT Load(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) = 0;

protected:
    ~IFileSourceFilter() = default;
};

struct IFileSinkFilter : IUnknown {
    static constexpr const IID& iid = IID_IFileSinkFilter;
    virtual HRESULT SetFileName(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) = 0;

protected:
    ~IFileSinkFilter() = default;
};

// The file writer's second sink interface, which adds how the file is opened.
struct IFileSinkFilter2 : IFileSinkFilter {
    static constexpr const IID& iid = IID_IFileSinkFilter2;
    virtual HRESULT SetMode(DWORD flags) = 0;
    virtual HRESULT GetMode(DWORD* flags) = 0;

protected:
    ~IFileSinkFilter2() = default;
};

// ---- The graph -------------------------------------------------------------

struct IFilterGraph : IUnknown {
    static constexpr const IID& iid = IID_IFilterGraph;
    virtual HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) = 0;
    virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
    virtual HRESULT EnumFilters(IEnumFilters** filters) = 0;
    virtual HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) = 0;
    virtual HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT Disconnect(IPin* pin) = 0;

protected:
    ~IFilterGraph() = default;
};

struct IGraphBuilder : IFilterGraph {
    static constexpr const IID& iid = IID_IGraphBuilder;
    // Connects, inserting a splitter/decoder and, where needed, a converter.
    virtual HRESULT Connect(IPin* output, IPin* input) = 0;
    virtual HRESULT Render(IPin* output) = 0;
    virtual HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) = 0;
    virtual HRESULT AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter) = 0;

protected:
    ~IGraphBuilder() = default;
};

struct IMediaControl : IUnknown {
    static constexpr const IID& iid = IID_IMediaControl;
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT StopWhenReady() = 0;
    virtual HRESULT GetState(LONG timeoutMs, OAFilterState* state) = 0;

protected:
    ~IMediaControl() = default;
};

inline constexpr long EC_COMPLETE = 0x01;
inline constexpr long EC_USERABORT = 0x02;
inline constexpr long EC_ERRORABORT = 0x03;
// Codes from here on are the application's own.
inline constexpr long EC_USER = 0x8000;

struct IMediaEvent : IUnknown {
    static constexpr const IID& iid = IID_IMediaEvent;
    // E_ABORT when no event arrives within the timeout.
    virtual HRESULT GetEvent(long* code, LONG_PTR* param1, LONG_PTR* param2, long timeoutMs) = 0;
    virtual HRESULT FreeEventParams(long code, LONG_PTR param1, LONG_PTR param2) = 0;
    // Waits for the end of the stream or an abort; E_ABORT on timeout.
    virtual HRESULT WaitForCompletion(long timeoutMs, long* code) = 0;

protected:
    ~IMediaEvent() = default;
};

enum AM_SEEKING_SEEKING_CAPABILITIES : DWORD {
    AM_SEEKING_CanSeekAbsolute = 0x1,
    AM_SEEKING_CanSeekForwards = 0x2,
    AM_SEEKING_CanSeekBackwards = 0x4,
    AM_SEEKING_CanGetCurrentPos = 0x8,
    AM_SEEKING_CanGetStopPos = 0x10,
    AM_SEEKING_CanGetDuration = 0x20,
};

enum AM_SEEKING_SEEKING_FLAGS : DWORD {
    AM_SEEKING_NoPositioning = 0x0,
    AM_SEEKING_AbsolutePositioning = 0x1,
    AM_SEEKING_RelativePositioning = 0x2,
    AM_SEEKING_IncrementalPositioning = 0x3,
    AM_SEEKING_PositioningBitsMask = 0x3,
};

struct IMediaSeeking : IUnknown {
    static constexpr const IID& iid = IID_IMediaSeeking;
    virtual HRESULT GetCapabilities(DWORD* capabilities) = 0;
    // S_OK when every asked capability is there, S_FALSE when some, E_FAIL when none.
    virtual HRESULT CheckCapabilities(DWORD* capabilities) = 0;
    virtual HRESULT IsFormatSupported(const GUID* format) = 0;
    virtual HRESULT GetTimeFormat(GUID* format) = 0;
    virtual HRESULT SetTimeFormat(const GUID* format) = 0;
    virtual HRESULT GetDuration(LONGLONG* duration) = 0;
    virtual HRESULT GetStopPosition(LONGLONG* stop) = 0;
    virtual HRESULT GetCurrentPosition(LONGLONG* current) = 0;
    virtual HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) = 0;
    virtual HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) = 0;

protected:
    ~IMediaSeeking() = default;
};

// What filters tell the graph that holds them (EC_COMPLETE from a renderer at
// the end of its stream, EC_ERRORABORT from a source that cannot go on).
struct IMediaEventSink : IUnknown {
    static constexpr const IID& iid = IID_IMediaEventSink;
    virtual HRESULT Notify(long code, LONG_PTR param1, LONG_PTR param2) = 0;

protected:
    ~IMediaEventSink() = default;
};

// ---- Sample Grabber ----------------------------------------------------------

// Called by the Sample Grabber on the graph's streaming thread, once per buffer.
struct ISampleGrabberCB : IUnknown {
    static constexpr const IID& iid = IID_ISampleGrabberCB;
    virtual HRESULT SampleCB(double sampleTime, IMediaSample* sample) = 0;
    // `sampleTime`: media time of the buffer's first sample from the start of
    // the file, in seconds, also after a seek. The bytes are valid during the call.
    virtual HRESULT BufferCB(double sampleTime, BYTE* buffer, long length) = 0;

protected:
    ~ISampleGrabberCB() = default;
};

struct ISampleGrabber : IUnknown {
    static constexpr const IID& iid = IID_ISampleGrabber;
    virtual HRESULT SetOneShot(BOOL oneShot) = 0;
    // The type its input accepts; GUID_NULL fields accept anything.
    virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT GetConnectedMediaType(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT SetBufferSamples(BOOL buffer) = 0;
    virtual HRESULT GetCurrentBuffer(long* size, long* buffer) = 0;
    virtual HRESULT GetCurrentSample(IMediaSample** sample) = 0;
    // which: 0 SampleCB, 1 BufferCB. The grabber holds a reference to `callback`.
    virtual HRESULT SetCallback(ISampleGrabberCB* callback, long which) = 0;

protected:
    ~ISampleGrabber() = default;
};

// ---- Media detector ------------------------------------------------------------

struct IMediaDet : IUnknown {
    static constexpr const IID& iid = IID_IMediaDet;
    virtual HRESULT get_OutputStreams(long* count) = 0;
    virtual HRESULT get_CurrentStream(long* index) = 0;
    virtual HRESULT put_CurrentStream(long index) = 0;
    virtual HRESULT get_StreamType(GUID* majorType) = 0;
    virtual HRESULT get_StreamLength(double* seconds) = 0;
    virtual HRESULT get_Filename(BSTR* fileName) = 0;
    virtual HRESULT put_Filename(BSTR fileName) = 0;
    virtual HRESULT get_StreamMediaType(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT get_FrameRate(double* framesPerSecond) = 0;

protected:
    ~IMediaDet() = default;
};

// ---- Registered filters ------------------------------------------------------------

struct IPropertyBag : IUnknown {
    static constexpr const IID& iid = IID_IPropertyBag;
    virtual HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) = 0;
    virtual HRESULT Write(LPCOLESTR name, VARIANT* value) = 0;

protected:
    ~IPropertyBag() = default;
};

struct IMoniker : IUnknown {
    static constexpr const IID& iid = IID_IMoniker;
    virtual HRESULT BindToObject(IBindCtx* context, IMoniker* left, REFIID iid, void** object) = 0;
    virtual HRESULT BindToStorage(IBindCtx* context, IMoniker* left, REFIID iid, void** object) = 0;

protected:
    ~IMoniker() = default;
};

struct IEnumMoniker : IUnknown {
    static constexpr const IID& iid = IID_IEnumMoniker;
    virtual HRESULT Next(ULONG count, IMoniker** monikers, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumMoniker** copy) = 0;

protected:
    ~IEnumMoniker() = default;
};

struct ICreateDevEnum : IUnknown {
    static constexpr const IID& iid = IID_ICreateDevEnum;
    // S_FALSE and a null enumerator when the category holds nothing.
    virtual HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** monikers, DWORD flags) = 0;

protected:
    ~ICreateDevEnum() = default;
};

struct IAMStreamConfig : IUnknown {
    static constexpr const IID& iid = IID_IAMStreamConfig;
    virtual HRESULT SetFormat(AM_MEDIA_TYPE* type) = 0;
    // A new media type (CoTaskMemAlloc'd, free with DeleteMediaType).
    virtual HRESULT GetFormat(AM_MEDIA_TYPE** type) = 0;
    virtual HRESULT GetNumberOfCapabilities(int* count, int* size) = 0;
    virtual HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) = 0;

protected:
    ~IAMStreamConfig() = default;
};
