# Installing is how the component registers itself on this platform: the
# library, its headers, a CMake package and a pkg-config file.
include(CMakePackageConfigHelpers)

set(KORVIX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Korvix)

install(TARGETS korvix EXPORT KorvixTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY include/korvix DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_BINARY_DIR}/include/korvix/version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/korvix)
install(TARGETS korvix_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_BINARY_DIR}/tools/korvix/korvix.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES tools/korvix/completion/korvix.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME korvix)

install(EXPORT KorvixTargets NAMESPACE Korvix:: DESTINATION ${KORVIX_CMAKE_DIR})
configure_package_config_file(cmake/KorvixConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/KorvixConfig.cmake INSTALL_DESTINATION ${KORVIX_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/KorvixConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KorvixConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/KorvixConfigVersion.cmake DESTINATION ${KORVIX_CMAKE_DIR})

configure_file(cmake/korvix.pc.in ${CMAKE_CURRENT_BINARY_DIR}/korvix.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/korvix.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
