# Debian packages, cut from this build tree along the install components:
#   cpack --config build/release/CPackConfig.cmake -B build/packages   (make packages)
# CPack rather than debian/ and dpkg-buildpackage: the packages hold exactly
# what `cmake --install` puts in place, from the tree that the tests ran on,
# with no second build; dpkg-shlibdeps still finds the dependencies.

set(KORVIX_DEB_LIBRARY libkorvix${PROJECT_VERSION_MAJOR})
set(KORVIX_DEB_QT libkorvix-qt${PROJECT_VERSION_MAJOR})

# component, package name, section, and what it needs beyond its shared libraries
set(korvix_deb_components library dev tool sqlite)
set(korvix_deb_library_name ${KORVIX_DEB_LIBRARY})
set(korvix_deb_library_section libs)
set(korvix_deb_dev_name libkorvix-dev)
set(korvix_deb_dev_section libdevel)
set(korvix_deb_dev_depends "${KORVIX_DEB_LIBRARY} (= ${PROJECT_VERSION})")
set(korvix_deb_tool_name korvix)
set(korvix_deb_tool_section utils)
set(korvix_deb_sqlite_name libsqlite3-mod-korvix)
set(korvix_deb_sqlite_section libs)
set(korvix_deb_sqlite_depends "libsqlite3-0")
if(TARGET korvix_qt)
  list(APPEND korvix_deb_components qt qt_dev)
  set(korvix_deb_qt_name ${KORVIX_DEB_QT})
  set(korvix_deb_qt_section libs)
  set(korvix_deb_qt_dev_name libkorvix-qt-dev)
  set(korvix_deb_qt_dev_section libdevel)
  set(korvix_deb_qt_dev_depends
    "libkorvix-dev (= ${PROJECT_VERSION}), ${KORVIX_DEB_QT} (= ${PROJECT_VERSION}), qt6-base-dev")
  # The tool loads the Qt toolkit only for `korvix dialog` and `dedupe --choose`.
  set(CPACK_DEBIAN_TOOL_PACKAGE_RECOMMENDS "${KORVIX_DEB_QT} (= ${PROJECT_VERSION})")
endif()
if(KORVIX_POSTGRES_EXTENSION)
  execute_process(COMMAND ${PG_CONFIG} --version OUTPUT_VARIABLE pg_version
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REGEX MATCH "[0-9]+" KORVIX_PG_MAJOR "${pg_version}")
  list(APPEND korvix_deb_components postgresql)
  set(korvix_deb_postgresql_name postgresql-${KORVIX_PG_MAJOR}-korvix)
  set(korvix_deb_postgresql_section database)
  set(korvix_deb_postgresql_depends "postgresql-${KORVIX_PG_MAJOR}")
endif()
list(APPEND korvix_deb_tool_depends "${KORVIX_DEB_LIBRARY} (= ${PROJECT_VERSION})")
list(JOIN korvix_deb_tool_depends ", " korvix_deb_tool_depends)

# Every package carries the copyright file and the changelog that Debian's
# policy asks for. The changelog's date is the build's (SOURCE_DATE_EPOCH
# when set), gzip -n keeps the archive free of time stamps.
string(TIMESTAMP KORVIX_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(KORVIX_DEB_MAINTAINER
  "Korvix maintainers <maintainers@users.noreply.c-seed-1c6f7013.example>")
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in
  ${PROJECT_BINARY_DIR}/debian/changelog @ONLY)
execute_process(COMMAND gzip -9nf ${PROJECT_BINARY_DIR}/debian/changelog COMMAND_ERROR_IS_FATAL ANY)

file(WRITE ${PROJECT_BINARY_DIR}/debian/triggers "activate-noawait ldconfig\n")

foreach(component ${korvix_deb_components})
  set(name ${korvix_deb_${component}_name})
  string(TOUPPER ${component} upper)
  file(READ ${CMAKE_CURRENT_LIST_DIR}/debian/${component}.description description)
  string(STRIP "${description}" description)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${name})
  set(CPACK_DEBIAN_${upper}_PACKAGE_SECTION ${korvix_deb_${component}_section})
  set(CPACK_DEBIAN_${upper}_DESCRIPTION "${description}")
  if(korvix_deb_${component}_depends)
    set(CPACK_DEBIAN_${upper}_PACKAGE_DEPENDS "${korvix_deb_${component}_depends}")
  endif()
  # The shared objects in the library directory tell ldconfig by a trigger.
  if(component MATCHES "^(library|qt|sqlite)$")
    set(CPACK_DEBIAN_${upper}_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/triggers)
  endif()
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${PROJECT_BINARY_DIR}/debian/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${name} COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

set(CPACK_GENERATOR DEB)
# Each description's first line is its package's synopsis; no summary of the
# project in front of it. (CPack writes the texts between double quotes
# unescaped: the descriptions hold none.)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_PACKAGE_NAME korvix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${KORVIX_DEB_MAINTAINER}")
set(CPACK_COMPONENTS_ALL ${korvix_deb_components})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Installed under /usr; DESTDIR so that the extension's absolute directories
# land in the package, not in the server's.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libkorvix and libkorvix-qt are not installed while their users are
# packaged: dpkg-shlibdeps finds them here, and the Depends above name them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/lib)
# shlibs files and the ldconfig trigger for the two shared libraries.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
include(CPack)
