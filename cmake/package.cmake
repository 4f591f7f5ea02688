# The Debian package: `cpack -G DEB` in a build folder writes
# orvek_<version>_<arch>.deb, laid out as Debian lays out a program: the
# binary in /usr/bin, the manual page gzipped, and the README, the sample
# configuration and, under docs/, the user guides and the supervision files
# (with the package's paths) under /usr/share/doc/orvek.
#
# `cmake --install` keeps its own layout (the plain manual page, the sample
# beside the configuration files in etc/). The two share the component
# "program" (the binary); the rest of each is its own component, and the
# package's one is left out of a plain install (EXCLUDE_FROM_ALL).

# The project has no address of its own yet: the Maintainer field (which a
# package must have) names the project only, and there is no Homepage field
# until one is given.
set(ORVEK_PACKAGE_MAINTAINER "orvek maintainers"
    CACHE STRING "Maintainer field of the Debian package")
set(ORVEK_PACKAGE_HOMEPAGE ""
    CACHE STRING "Homepage field of the Debian package; none when empty")
set(ORVEK_PACKAGE_LICENSE "all-rights-reserved"
    CACHE STRING "License named in the package's copyright file")

# Debian wants manual pages compressed, with no name or time stamp in the
# gzip header so that the same page makes the same package.
find_program(GZIP gzip REQUIRED)
set(orvek_manpage_gz ${CMAKE_CURRENT_BINARY_DIR}/orvek.1.gz)
add_custom_command(OUTPUT ${orvek_manpage_gz}
  COMMAND ${GZIP} -9 -n -c ${CMAKE_CURRENT_SOURCE_DIR}/docs/orvek.1 > ${orvek_manpage_gz}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/docs/orvek.1
  COMMENT "Compressing the manual page for the package"
  VERBATIM)
add_custom_target(orvek_package_files ALL DEPENDS ${orvek_manpage_gz})

configure_file(${CMAKE_CURRENT_LIST_DIR}/copyright.in ${CMAKE_CURRENT_BINARY_DIR}/copyright @ONLY)

install(FILES ${orvek_manpage_gz}
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT debian EXCLUDE_FROM_ALL)
# The supervision files name the paths of `cmake --install` (/usr/local);
# the package's copies name its own, so that they work as installed and
# `systemd-analyze verify` passes on them.
set(orvek_package_docs ${CMAKE_CURRENT_BINARY_DIR}/package-docs)
foreach(name orvek.service orvek.rc)
  file(READ ${CMAKE_CURRENT_SOURCE_DIR}/docs/${name} text)
  string(REPLACE "/usr/local/bin/orvek" "/usr/bin/orvek" text "${text}")
  string(REPLACE "/usr/local/etc/orvek.conf" "/etc/orvek.conf" text "${text}")
  # Written only when changed, so that a new configure leaves it alone.
  set(written "")
  if(EXISTS ${orvek_package_docs}/${name})
    file(READ ${orvek_package_docs}/${name} written)
  endif()
  if(NOT written STREQUAL text)
    file(WRITE ${orvek_package_docs}/${name} "${text}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/docs/${name})
endforeach()

# The README as shipped: its links to the developers' documents, which stay
# in the source tree, become plain text, so that every link left leads to a
# file of the package.
file(READ ${CMAKE_CURRENT_SOURCE_DIR}/README.md text)
string(REGEX REPLACE "\\[([^]]*)\\]\\((docs/developers\\.md|docs/reliability\\.md|fuzz/[^)]*|bench/[^)]*)\\)"
       "\\1 (in the source tree)" text "${text}")
set(written "")
if(EXISTS ${orvek_package_docs}/README.md)
  file(READ ${orvek_package_docs}/README.md written)
endif()
if(NOT written STREQUAL text)
  file(WRITE ${orvek_package_docs}/README.md "${text}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/README.md)

install(FILES
    ${orvek_package_docs}/README.md
    ${CMAKE_CURRENT_SOURCE_DIR}/docs/orvek.conf.sample
    ${CMAKE_CURRENT_BINARY_DIR}/copyright
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian EXCLUDE_FROM_ALL)
# Under docs/, as in the source tree, so that the README's links to them
# lead somewhere; the guides link the unit and the script beside them.
install(FILES
    ${CMAKE_CURRENT_SOURCE_DIR}/docs/troubleshooting.md
    ${CMAKE_CURRENT_SOURCE_DIR}/docs/supervision.md
    ${CMAKE_CURRENT_SOURCE_DIR}/docs/compression.md
    ${CMAKE_CURRENT_SOURCE_DIR}/docs/many-screens.md
    ${CMAKE_CURRENT_SOURCE_DIR}/docs/screenshot.png
    ${orvek_package_docs}/orvek.service
    ${orvek_package_docs}/orvek.rc
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvek)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "orvek maintainers")
set(CPACK_PACKAGE_CONTACT ${ORVEK_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "full-screen colour monitor for a network-monitoring server")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_BINARY_DIR}/copyright)
set(CPACK_RESOURCE_FILE_README ${CMAKE_CURRENT_SOURCE_DIR}/README.md)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_STRIP_FILES ON)

# One package made of the binary and the package's own files.
set(CPACK_COMPONENTS_ALL program debian)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_NAME orvek)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ORVEK_PACKAGE_MAINTAINER})
if(ORVEK_PACKAGE_HOMEPAGE)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${ORVEK_PACKAGE_HOMEPAGE})
endif()
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from the binary itself (dpkg-shlibdeps, from dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The summary above is its first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "orvek is an unattended display for a console or a wall screen. Every few
seconds it fetches the monitoring server's page of unhandled problems over
HTTP or HTTPS, with Basic or Digest authentication, and paints the DOWN and
UNREACHABLE hosts and the WARNING, CRITICAL and UNKNOWN services in colour,
turning the whole screen red while a host is down.")

include(CPack)

if(BUILD_TESTING)
  # Make the package, unpack it and run what it holds.
  add_test(NAME package_deb
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/tests/package_test.sh
            ${CMAKE_BINARY_DIR} ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_VERSION})
  set_tests_properties(package_deb PROPERTIES TIMEOUT 120 LABELS package)
endif()
