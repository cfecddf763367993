# What makes Trawl Bay install like a desktop program: the menu entry, the queue file type,
# the icons and the manual pages, and the Debian package that `cpack -G DEB` builds from the
# same install rules. The programs and the user guide are installed by src/gui and src/cli.
include(GNUInstallDirs)

set(_tb_data ${PROJECT_SOURCE_DIR}/data)
set(_tb_icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)

# The window program looks for its guide at <bindir>/../share/trawlbay/help.
cmake_path(SET _tb_help_root NORMALIZE "${CMAKE_INSTALL_FULL_BINDIR}/../share")
cmake_path(SET _tb_share NORMALIZE "${CMAKE_INSTALL_PREFIX}/share")
if(NOT _tb_help_root STREQUAL _tb_share)
    message(WARNING "CMAKE_INSTALL_BINDIR=${CMAKE_INSTALL_BINDIR}: trawlbay will not find its "
                    "user guide, which it looks for in ../share/trawlbay/help beside that folder")
endif()

# Menu entry and file type: double-clicking a .tbq file runs "trawlbay -tbq FILE".
install(FILES ${_tb_data}/desktop/trawlbay.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_tb_data}/mime/trawlbay.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)

# Icons: the drawing itself, and renders of it for themes and docks that want pixels. A
# queue file shows the program's icon. After a change to the drawing, render them again
# (librsvg2-bin) for N in 16 32 48 128 256:
#   rsvg-convert -w N -h N data/icons/trawlbay.svg -o data/icons/hicolor/NxN/apps/trawlbay.png
install(FILES ${_tb_data}/icons/trawlbay.svg DESTINATION ${_tb_icons}/scalable/apps)
install(FILES ${_tb_data}/icons/trawlbay.svg DESTINATION ${_tb_icons}/scalable/mimetypes
        RENAME application-x-trawlbay-queue.svg)
foreach(_tb_size 16 32 48 128 256)
    set(_tb_png ${_tb_data}/icons/hicolor/${_tb_size}x${_tb_size}/apps/trawlbay.png)
    install(FILES ${_tb_png} DESTINATION ${_tb_icons}/${_tb_size}x${_tb_size}/apps)
    install(FILES ${_tb_png} DESTINATION ${_tb_icons}/${_tb_size}x${_tb_size}/mimetypes
            RENAME application-x-trawlbay-queue.png)
endforeach()

# Manual pages, with the version filled in.
foreach(_tb_page trawlbay trawlbay-cli)
    configure_file(${_tb_data}/man/${_tb_page}.1.in ${PROJECT_BINARY_DIR}/man/${_tb_page}.1
                   @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/man/${_tb_page}.1
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The Debian package: `cd build && cpack -G DEB` writes trawlbay_<version>_<arch>.deb.
set(CPACK_PACKAGE_NAME trawlbay)
set(CPACK_PACKAGE_VENDOR "Trawl Bay developers")
set(CPACK_PACKAGE_CONTACT "Trawl Bay developers <dev@trawlbay.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "collects files posted to group archives and photo albums")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Trawl Bay walks a group's message archive over the message numbers\n"
    "given and lists every attachment, or opens a password-protected photo\n"
    "album and lists every picture. It asks the server for each file's size\n"
    "and downloads the files chosen into a folder over up to 16 parallel\n"
    "transfer slots. A search and its results can be saved to a .tbq queue\n"
    "file and opened again.\n"
    "\n"
    "The package holds the desktop program trawlbay and trawlbay-cli, which\n"
    "runs the same searches and downloads without a display.")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries come from dpkg-shlibdeps; the SVG plugins that draw the icons are loaded at
# run time, so no library names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
# Debian keeps manual pages compressed.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/CompressManPages.cmake)
include(CPack)
