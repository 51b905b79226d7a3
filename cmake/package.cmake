# `cpack -G DEB`: the Debian package vantotools with the programs, libvanto and
# its development files, the man pages and the bash completion, and
# vantotools-tango and vantotools-epics with the modules of tango: and epics:
# addresses.
set(CPACK_PACKAGE_NAME vantotools)
set(CPACK_PACKAGE_VENDOR "vantotools developers")
set(CPACK_PACKAGE_CONTACT "vantotools developers <vantotools@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "command-line tools and client library of the VANTO control system")
set(CPACK_PACKAGE_DESCRIPTION
"vantoget reads channels, vantoput writes them and restores save & restore
files, streamcat watches data streams grouped by event and vantozmq_subscribe
follows one channel's updates. The package also holds libvanto, the client
library the tools are built on (with headers, a CMake package and a
pkg-config file), and vantoserver, a reference equipment server.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Library dependencies come from the binaries themselves (dpkg-shlibdeps).
# libzmq5 is among them: libvanto links it, so every program records it,
# streamcat too, whose RPC runs through libvanto. libzmq5 and vantoget's PNG
# library are named here as well, so that the package says what it needs even
# where shlibdeps is off.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libzmq5, libpng16-16")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion, pkg-config")
# A shlibs file for libvanto and the ldconfig trigger that goes with it.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

# vantotools (programs, libvanto, development files) and, when the tango: or
# epics: backend is built, vantotools-tango or vantotools-epics with its
# module, so that vantotools itself never depends on libtango or libca.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
set(CPACK_DEBIAN_MAIN_PACKAGE_NAME vantotools)
set(CPACK_DEBIAN_TANGO_PACKAGE_NAME vantotools-tango)
set(CPACK_DEBIAN_TANGO_PACKAGE_DEPENDS "vantotools (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_TANGO_DESCRIPTION
"the tango: backend of libvanto: with this package, vantoget, vantoput and
vantozmq_subscribe read, write, list and follow Tango attributes.")
set(CPACK_DEBIAN_EPICS_PACKAGE_NAME vantotools-epics)
set(CPACK_DEBIAN_EPICS_PACKAGE_DEPENDS "vantotools (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_EPICS_DESCRIPTION
"the epics: backend of libvanto: with this package, vantoget, vantoput and
vantozmq_subscribe read, write and follow EPICS Channel Access channels.")

include(CPack)
cpack_add_component_group(main)
cpack_add_component(runtime GROUP main)
cpack_add_component(development GROUP main)
if(TARGET vanto_tango)
  cpack_add_component_group(tango)
  cpack_add_component(tango GROUP tango)
endif()
if(TARGET vanto_epics)
  cpack_add_component_group(epics)
  cpack_add_component(epics GROUP epics)
endif()
