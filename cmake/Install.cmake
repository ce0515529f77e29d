# Installs the libraries, the tool and the headers, with a CMake package
# (find_package(zuk) gives zuk::zuk and zuk::tolvane) and a pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS zuk tolvane EXPORT zukTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# The COM module is found beside libzuk.so, never through the export set.
install(TARGETS sndfilewrapper LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS zuk_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY include/zuk DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT zukTargets NAMESPACE zuk:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zuk)
file(WRITE ${PROJECT_BINARY_DIR}/zukConfig.cmake.in [=[
@PACKAGE_INIT@
include(CMakeFindDependencyMacro)
find_dependency(PkgConfig)
pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)
include("${CMAKE_CURRENT_LIST_DIR}/zukTargets.cmake")
]=])
configure_package_config_file(${PROJECT_BINARY_DIR}/zukConfig.cmake.in ${PROJECT_BINARY_DIR}/zukConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zuk)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zukConfigVersion.cmake COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zukConfig.cmake ${PROJECT_BINARY_DIR}/zukConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zuk)

file(WRITE ${PROJECT_BINARY_DIR}/zuk.pc.in [=[
prefix=@CMAKE_INSTALL_PREFIX@
libdir=${prefix}/@CMAKE_INSTALL_LIBDIR@
includedir=${prefix}/@CMAKE_INSTALL_INCLUDEDIR@

Name: zuk
Description: The sound of any media file as a WAV file
Version: @PROJECT_VERSION@
Requires: sndfile
Libs: -L${libdir} -lzuk -ltolvane
Cflags: -I${includedir}
]=])
configure_file(${PROJECT_BINARY_DIR}/zuk.pc.in ${PROJECT_BINARY_DIR}/zuk.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zuk.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
