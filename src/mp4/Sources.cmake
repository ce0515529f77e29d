# The MP4 unwrapper's sources, for the library and for the command line,
# which compiles them in to reach the box tree.
set(ZUK_MP4_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/AudioTrack.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BoxFactory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BoxList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BoxReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ChunkTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ContainerBoxes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DataEntryBoxes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Diagnostics.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DiagnosticsExport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/elstBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FullBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hdlrBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Makewavfile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MediaHeaderBoxes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MovieHeaderBoxes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Mp4Log.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MP4Box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PcmFormat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SampleEntryBoxes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SampleTableBoxes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stsdBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TopLevel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UnwrapMP4.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WavStreamInfo.cpp
)
