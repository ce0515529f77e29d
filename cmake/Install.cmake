# Installs the libraries, the tool with its manual page and bash completion,
# and the headers, with a CMake package
# (find_package(zuk) gives zuk::zuk and zuk::tolvane) and a pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS zuk tolvane EXPORT zukTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# The COM module is found beside libzuk.so, never through the export set.
install(TARGETS sndfilewrapper LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS zuk_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_BINARY_DIR}/zuk.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES tools/zuk/zuk-completion.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
  RENAME zuk)
install(DIRECTORY include/zuk DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT zukTargets NAMESPACE zuk:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zuk)
file(WRITE ${PROJECT_BINARY_DIR}/zukConfig.cmake.in [=[
@PACKAGE_INIT@
# libsndfile is looked up inside a function under a prefix of our own, so that
# the consumer's variables (SNDFILE_* among them) stay as they were.
function(_zuk_find_sndfile)
  if(TARGET PkgConfig::zuk_sndfile)
    return()
  endif()
  find_package(PkgConfig QUIET)
  if(NOT PKG_CONFIG_FOUND)
    set(zuk_FOUND FALSE PARENT_SCOPE)
    set(zuk_NOT_FOUND_MESSAGE "zuk needs pkg-config to find libsndfile" PARENT_SCOPE)
    return()
  endif()
  pkg_check_modules(zuk_sndfile QUIET IMPORTED_TARGET sndfile)
  if(NOT zuk_sndfile_FOUND)
    set(zuk_FOUND FALSE PARENT_SCOPE)
    set(zuk_NOT_FOUND_MESSAGE "zuk needs libsndfile (Debian package libsndfile1-dev)" PARENT_SCOPE)
  endif()
endfunction()
_zuk_find_sndfile()
if(NOT DEFINED zuk_FOUND OR zuk_FOUND)
  include("${CMAKE_CURRENT_LIST_DIR}/zukTargets.cmake")
endif()
]=])
configure_package_config_file(${PROJECT_BINARY_DIR}/zukConfig.cmake.in ${PROJECT_BINARY_DIR}/zukConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zuk)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zukConfigVersion.cmake COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zukConfig.cmake ${PROJECT_BINARY_DIR}/zukConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zuk)

# The prefix is found from where the .pc file lies, so that an installation
# moved or made with `cmake --install --prefix P` points at itself.
file(RELATIVE_PATH zuk_pc_to_prefix "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
string(REGEX REPLACE "/$" "" zuk_pc_to_prefix "${zuk_pc_to_prefix}")
file(WRITE ${PROJECT_BINARY_DIR}/zuk.pc.in [=[
prefix=${pcfiledir}/@zuk_pc_to_prefix@
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
