# The demultiplexer's sources, for the library and for the command line,
# which compiles them in to run the demultiplexing stage alone.
set(ZUK_MTS_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/AudioStreamSearch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ByteCursor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MtsLog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MtsPacket.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OutputFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PesExtraction.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PesPacket.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PidExtraction.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgramTables.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReadAhead.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TransportUnits.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TsToMp2.cpp
)
