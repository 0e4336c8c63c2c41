# Installing is how the component registers itself on this platform: the
# library, its headers, a CMake package and a pkg-config file.
include(CMakePackageConfigHelpers)

set(KORVIX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Korvix)

# The components are what the Debian packages are cut along (cmake/Packaging.cmake):
# library, dev, tool, qt and qt_dev, sqlite, postgresql; python for the package
# under a prefix, wheel for the Python wheel.
install(TARGETS korvix EXPORT KorvixTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library NAMELINK_COMPONENT dev
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT library)
install(DIRECTORY include/korvix DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev
  PATTERN qt_toolkit.h EXCLUDE)
install(FILES ${PROJECT_BINARY_DIR}/include/korvix/version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/korvix COMPONENT dev)
install(TARGETS korvix_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
install(FILES ${PROJECT_BINARY_DIR}/tools/korvix/korvix.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
  COMPONENT tool)
install(FILES tools/korvix/completion/korvix.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME korvix COMPONENT tool)

install(EXPORT KorvixTargets NAMESPACE Korvix:: DESTINATION ${KORVIX_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(cmake/KorvixConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/KorvixConfig.cmake INSTALL_DESTINATION ${KORVIX_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/KorvixConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KorvixConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/KorvixConfigVersion.cmake DESTINATION ${KORVIX_CMAKE_DIR}
  COMPONENT dev)

# The prefix relative to the file, however deep the library directory lies
# (lib, or lib/x86_64-linux-gnu under /usr).
file(RELATIVE_PATH KORVIX_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(cmake/korvix.pc.in ${CMAKE_CURRENT_BINARY_DIR}/korvix.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/korvix.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT dev)
