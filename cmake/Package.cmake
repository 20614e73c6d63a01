# Installation and the Debian package: the command tarvik, the desktop program tarvik-gui with its
# desktop entry and icon, and the HTML manual that the program opens. `make package` (or the
# `package` target) builds the .deb with CPack; its dependencies are computed from the libraries
# the programs link (dpkg-shlibdeps).

if(TARGET tarvik)
    install(TARGETS tarvik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET tarvik-gui)
    install(TARGETS tarvik-gui RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${CMAKE_SOURCE_DIR}/packaging/tarvik-gui.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${CMAKE_SOURCE_DIR}/src/res/images/program.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME tarvik-gui.svg)
endif()
install(DIRECTORY ${CMAKE_SOURCE_DIR}/doc/help/ DESTINATION ${CMAKE_INSTALL_DATADIR}/tarvik/help)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvik)
set(CPACK_PACKAGE_VENDOR "Quorvane")
set(CPACK_PACKAGE_CONTACT "Tarvik developers <tarvik@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Makes web sites feel faster by prefetching the next pages")
set(CPACK_PACKAGE_INSTALL_DIRECTORY /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The program's pictures are SVG: Qt loads them through the SVG image plugin, which no linked
# library names, so the package asks for it by name.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_STRIP_FILES ON)
include(CPack)
