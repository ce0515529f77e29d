// The classes of the media layer, joined to the COM class table on first use.
#include "platform/com/Com.h"
#include "platform/com/Guids.h"
#include "platform/media/DeviceEnumerator.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/FilterRegistry.h"
#include "platform/media/MediaDetector.h"

void registerBuiltInComClasses()
{
    using namespace zuk::media;
    registerComClass(CLSID_FilterGraph, createFilterGraph);
    registerComClass(CLSID_MediaDet, createMediaDetector);
    registerComClass(CLSID_SystemDeviceEnum, createSystemDeviceEnum);
    for (const FilterClass& filter : filterClasses())
        registerComClass(filter.clsid, filter.create);
}
