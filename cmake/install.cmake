# Install rules and the Debian package.
#
# libvanto is installed as a shared library with a SONAME, its public headers,
# a CMake package (find_package(vanto) gives vanto::vanto) and a pkg-config
# file (vanto.pc). The programs, their man pages and the bash completion go
# next to it; `cpack -G DEB` turns the whole installation into one package.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# Installing and packaging take the build as it is and never start a build of
# their own (build first, then install or run cpack): a package test must not
# rebuild a tree that other work is changing.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(VANTO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/vanto)

# The library: SONAME libvanto.so.<major>; the major number changes with the
# binary interface.
set_target_properties(vanto_shared PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}
  EXPORT_NAME vanto)
# The public headers need C++17 (string_view); users of the installed library
# get at least that. The library itself is built as C++20.
target_compile_features(vanto_shared PUBLIC cxx_std_17)

install(TARGETS vanto_shared EXPORT vantoTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
          NAMELINK_COMPONENT development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/client/include/vanto
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development
  FILES_MATCHING PATTERN "*.h")

install(EXPORT vantoTargets NAMESPACE vanto:: DESTINATION ${VANTO_CMAKE_DIR}
  COMPONENT development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/vantoConfig.cmake.in
  ${PROJECT_BINARY_DIR}/vantoConfig.cmake INSTALL_DESTINATION ${VANTO_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/vantoConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/vantoConfig.cmake
              ${PROJECT_BINARY_DIR}/vantoConfigVersion.cmake
  DESTINATION ${VANTO_CMAKE_DIR} COMPONENT development)

# pkg-config: paths relative to the file's own place, so a moved or unpacked
# installation still answers correctly.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(VANTO_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH VANTO_PC_UP /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
  string(REGEX REPLACE "/$" "" VANTO_PC_UP "${VANTO_PC_UP}")
  set(VANTO_PC_PREFIX "\${pcfiledir}/${VANTO_PC_UP}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/vanto.pc.in ${PROJECT_BINARY_DIR}/vanto.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vanto.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

# The programs. They carry libvanto's code themselves (src/client): they run
# wherever the tree is put (a scratch prefix, an unpacked package) and load
# one shared library fewer at every start.
set(VANTO_PROGRAMS vantoget vantoput streamcat vantozmq_subscribe)
install(TARGETS ${VANTO_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  COMPONENT runtime)
# The reference server is a daemon: sbin, with its demo configuration.
install(TARGETS vantoserver RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR}
  COMPONENT runtime)
install(FILES ${PROJECT_SOURCE_DIR}/examples/demo.toml ${PROJECT_SOURCE_DIR}/examples/demo.sr
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples COMPONENT runtime)

# Documentation: man pages and the reference texts.
foreach(page vantoget.1 vantoput.1 streamcat.1 vantozmq_subscribe.1 vanto-sr.5 vantoserver.8)
  string(REGEX MATCH "[0-9]$" section ${page})
  install(FILES ${PROJECT_SOURCE_DIR}/docs/man/${page}
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT runtime)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/README.md
              ${PROJECT_SOURCE_DIR}/docs/protocol.md ${PROJECT_SOURCE_DIR}/docs/rpc.md
              ${PROJECT_SOURCE_DIR}/docs/server-config.md ${PROJECT_SOURCE_DIR}/docs/text-forms.md
              ${PROJECT_SOURCE_DIR}/docs/tango.md ${PROJECT_SOURCE_DIR}/docs/epics.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT runtime)

# Bash completion: one script under each program's name, since bash-completion
# loads the file named after the command being completed.
foreach(program ${VANTO_PROGRAMS})
  install(FILES ${PROJECT_SOURCE_DIR}/contrib/bash-completion/vantotools
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ${program}
    COMPONENT runtime)
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
