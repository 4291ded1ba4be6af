# What `scripts/package` installs into velmor_<version>_amd64.deb, and how
# CPack makes the package.  Included by the top-level CMakeLists.txt when
# VELMOR_PACKAGING is on (it needs perl, gzip and rsvg-convert).
#
# Layout: both programs in /usr/lib/velmor (velmor finds velmor-certfetch
# beside itself) and /usr/bin/velmor a link to the first; the menu entry, the
# icon in every size, the manual page made from README.md's command tables,
# README.md, copyright and changelog under /usr/share.

set(_pkg ${CMAKE_CURRENT_LIST_DIR})
# Who answers for the package (Maintainer field and changelog).  The default
# is a placeholder domain; a shop's own builds set theirs.
set(VELMOR_MAINTAINER "Velmor developers <packages@velmor.example>" CACHE STRING
    "Maintainer of the Debian package: Name <address>")
set(_gen ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${_gen})

find_program(VELMOR_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(VELMOR_PERL perl REQUIRED)
find_program(VELMOR_GZIP gzip REQUIRED)

# The manual page, from README.md's command tables.
add_custom_command(
  OUTPUT ${_gen}/velmor.1.gz
  COMMAND ${VELMOR_PERL} ${_pkg}/manpage.pl ${CMAKE_SOURCE_DIR}/README.md ${PROJECT_VERSION} > ${_gen}/velmor.1
  COMMAND ${VELMOR_GZIP} -9nf ${_gen}/velmor.1
  DEPENDS ${_pkg}/manpage.pl ${CMAKE_SOURCE_DIR}/README.md
  COMMENT "Manual page velmor(1) from README.md"
  VERBATIM)

# README.md and the changelog, compressed as Debian keeps documents.
add_custom_command(
  OUTPUT ${_gen}/README.md.gz
  COMMAND ${VELMOR_GZIP} -9nc ${CMAKE_SOURCE_DIR}/README.md > ${_gen}/README.md.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/README.md
  VERBATIM)
string(TIMESTAMP VELMOR_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${_pkg}/changelog.in ${_gen}/changelog @ONLY)
add_custom_command(
  OUTPUT ${_gen}/changelog.gz
  COMMAND ${VELMOR_GZIP} -9nc ${_gen}/changelog > ${_gen}/changelog.gz
  DEPENDS ${_gen}/changelog
  VERBATIM)

# The icon: the drawing itself and the sizes the menus ask for.
set(VELMOR_ICON_SIZES 16 22 24 32 48 64 128 256)
set(_icons)
foreach(size ${VELMOR_ICON_SIZES})
  add_custom_command(
    OUTPUT ${_gen}/icons/${size}/velmor.png
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_gen}/icons/${size}
    COMMAND ${VELMOR_RSVG_CONVERT} -w ${size} -h ${size} -o ${_gen}/icons/${size}/velmor.png ${_pkg}/velmor.svg
    DEPENDS ${_pkg}/velmor.svg
    VERBATIM)
  list(APPEND _icons ${_gen}/icons/${size}/velmor.png)
  install(FILES ${_gen}/icons/${size}/velmor.png DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()

add_custom_target(velmor_package_files ALL
  DEPENDS ${_gen}/velmor.1.gz ${_gen}/README.md.gz ${_gen}/changelog.gz ${_icons})

install(TARGETS velmor velmor-certfetch RUNTIME DESTINATION lib/velmor)
file(CREATE_LINK ../lib/velmor/velmor ${_gen}/velmor-link SYMBOLIC)
install(FILES ${_gen}/velmor-link DESTINATION bin RENAME velmor)
install(FILES ${_pkg}/velmor.desktop DESTINATION share/applications)
install(FILES ${_pkg}/velmor.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${_gen}/velmor.1.gz DESTINATION share/man/man1)
install(FILES ${_gen}/README.md.gz ${_gen}/changelog.gz ${_pkg}/copyright DESTINATION share/doc/velmor)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Velmor developers")
set(CPACK_PACKAGE_CONTACT "${VELMOR_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELMOR_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "stock, memos and invoices for diamond dealers
Velmor keeps a diamond dealer's stock: certified single stones and parcels,
priced against the weekly Rapaport grid, consigned on memo, sold on invoices,
with printed memo sheets, invoices, stone papers and barcode labels.
.
It starts on a private MariaDB database of its own with nothing to set up,
or works on a shared MariaDB server (directly or through ODBC) that several
workstations of a shop use together.")
# The libraries come from the programs themselves (dpkg-shlibdeps); what they
# load or start at run time is named here: the Qt MySQL driver, the
# MariaDB server programs of private mode and the dump tool and client the
# backups run.  ODBC mode is optional.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-mysql, mariadb-server-core, mariadb-client")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-odbc, odbc-mariadb")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
