# The MP4 unwrapper's sources, for the library and for the command line,
# which compiles them in to reach the box tree. The export that points the
# library's diagnostics somewhere is the library's alone: a copy in the tool
# would answer the tool's calls and leave the library's stream unchanged.
set(ZUK_MP4_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/AudioTrack.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BoxFactory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BoxList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BoxReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ChunkTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ContainerBoxes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Diagnostics.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FullBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MP4Box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Makewavfile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Mp4Log.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PcmFormat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TopLevel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UnwrapMP4.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WavStreamInfo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/audioSampleEntryBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drefBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/elstBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hdlrBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mdhdBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mvhdBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sampleEntryBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/smhdBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stcoBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stscBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stsdBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stszBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sttsBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tkhdBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/urlBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/urnBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/videoSampleEntryBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/vmhdBox.cpp
)
