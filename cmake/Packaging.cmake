# Install rules (make install) and the Debian package (make deb).
#
#   bin/quolix
#   libexec/quolix/quolix-window.so   the window, loaded by bin/quolix
#   share/applications/quolix.desktop
#   share/icons/hicolor/<n>x<n>/apps/quolix.png    n = 16 32 48 64 128
#   share/man/man1/quolix.1.gz
#   share/doc/quolix/{copyright,changelog.gz,examples/books/*}
if(NOT QUOLIX_BUILD_APP)
  return()
endif()

include(GNUInstallDirs)

set(QUOLIX_PACKAGE_VERSION "0.9i" CACHE STRING "Version of the Debian package")
set(QUOLIX_MAINTAINER "Quolix developers <maintainers@quolix.example>"
    CACHE STRING "Maintainer field of the Debian package")
set(QUOLIX_HOMEPAGE "" CACHE STRING "Homepage field of the Debian package (empty: none)")

set(quolix_docdir ${CMAKE_INSTALL_DATADIR}/doc/quolix)
set(quolix_data ${CMAKE_CURRENT_BINARY_DIR}/share)

# The icons are drawn at build time from one picture, tools/make_icons.py,
# which also wrote the window's own window/icon16.xpm and window/icon32.xpm.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(quolix_icon_sizes 16 32 48 64 128)
set(quolix_icons)
foreach(size IN LISTS quolix_icon_sizes)
  list(APPEND quolix_icons ${quolix_data}/icons/${size}x${size}/apps/quolix.png)
endforeach()
add_custom_command(
  OUTPUT ${quolix_icons}
  COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/tools/make_icons.py
          --png ${quolix_data}/icons
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tools/make_icons.py
  COMMENT "Drawing the icons"
  VERBATIM)

# Debian wants manual pages and change logs compressed, without a time stamp.
file(CONFIGURE OUTPUT ${quolix_data}/changelog CONTENT [[
quolix (@QUOLIX_PACKAGE_VERSION@) unstable; urgency=medium

  * Installable build: desktop entry, icons, manual page, the books
    example.
  * Batch mode for scripts and cron (quolix --batch FILE.cfg).
  * Qt 6 window with Japanese captions.

 -- @QUOLIX_MAINTAINER@  Mon, 07 Dec 2026 00:00:00 +0000
]] @ONLY)
file(CONFIGURE OUTPUT ${quolix_data}/copyright CONTENT [[
Quolix

Copyright (C) 2026 the Quolix developers

Packaged by @QUOLIX_MAINTAINER@.
This release does not yet state the terms for copying and distributing
Quolix.
]] @ONLY)
add_custom_command(
  OUTPUT ${quolix_data}/quolix.1.gz ${quolix_data}/changelog.gz
  COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\" && gzip -9n -c \"$3\" > \"$4\"" gzip
          ${CMAKE_CURRENT_SOURCE_DIR}/res/quolix.1 ${quolix_data}/quolix.1.gz
          ${quolix_data}/changelog ${quolix_data}/changelog.gz
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/res/quolix.1 ${quolix_data}/changelog
  COMMENT "Compressing the manual page and the change log"
  VERBATIM)
add_custom_target(quolix_share ALL DEPENDS ${quolix_icons} ${quolix_data}/quolix.1.gz
                                          ${quolix_data}/changelog.gz)

install(TARGETS quolix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS quolix_window LIBRARY DESTINATION ${QUOLIX_WINDOW_MODULE_DIR})
install(FILES res/quolix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size IN LISTS quolix_icon_sizes)
  install(FILES ${quolix_data}/icons/${size}x${size}/apps/quolix.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${quolix_data}/quolix.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${quolix_data}/copyright ${quolix_data}/changelog.gz DESTINATION ${quolix_docdir})
install(FILES examples/books/books.csv examples/books/book.html examples/books/books.cfg
        DESTINATION ${quolix_docdir}/examples/books)

# CPack: one binary package, quolix_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quolix)
set(CPACK_PACKAGE_VERSION ${QUOLIX_PACKAGE_VERSION})
set(CPACK_PACKAGE_VENDOR "the Quolix developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "make static HTML pages from a CSV file or an Excel or LibreOffice workbook")
# Lines of the extended description stay within 80 columns.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Quolix turns a CSV file in UTF-8 or code page 932 (Shift-JIS), or a"
  "sheet of an .xlsx or .ods workbook as Japanese Excel shows it, into"
  "static HTML pages. Each selected record becomes a page made from an HTML"
  "template whose placeholders [FieldName] take the record's values; an"
  "index page and a dump of the whole table can be written too."
  ""
  "It runs as one dialog window with Japanese captions, or headless from a"
  "settings file for scripts and cron jobs (quolix --batch FILE.cfg).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION ${QUOLIX_PACKAGE_VERSION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QUOLIX_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(QUOLIX_HOMEPAGE)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QUOLIX_HOMEPAGE})
endif()
# The Qt, X, C++ and C libraries come from dpkg-shlibdeps; the dialog font
# and Qt's Japanese translation (the buttons and file dialogs Qt draws) are
# named here, since nothing links them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, qt6-translations-l10n")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
