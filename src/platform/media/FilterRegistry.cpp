#include "platform/media/FilterRegistry.h"

#include "platform/com/Guids.h"
#include "platform/media/Ac3Parser.h"
#include "platform/media/AcmWrapper.h"
#include "platform/media/AviMux.h"
#include "platform/media/AviSplitter.h"
#include "platform/media/FileSource.h"
#include "platform/media/FileWriter.h"
#include "platform/media/MediaSplitter.h"
#include "platform/media/NullRenderer.h"
#include "platform/media/PcmConverter.h"
#include "platform/media/SampleGrabber.h"

namespace zuk::media {

std::span<const FilterClass> filterClasses()
{
    static const FilterClass classes[] = {
        {CLSID_AsyncReader, u"File Source (Async.)", false, createFileSource},
        {CLSID_MediaSplitter, u"Media Splitter", false, createMediaSplitter},
        {CLSID_PcmConverter, u"PCM", true, createPcmConverter},
        {CLSID_SampleGrabber, u"SampleGrabber", false, createSampleGrabber},
        {CLSID_NullRenderer, u"Null Renderer", false, createNullRenderer},
        {CLSID_AC3ParserFilter, u"AC3 Parser Filter", false, createAc3Parser},
        {CLSID_ACMWrapper, u"ACM Wrapper", false, createAcmWrapper},
        {CLSID_AviSplitter, u"AVI Splitter", false, createAviSplitter},
        {CLSID_AviDest, u"AVI Mux", false, createAviMux},
        {CLSID_FileWriter, u"File writer", false, createFileWriter},
    };
    return classes;
}

} // namespace zuk::media
