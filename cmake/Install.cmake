# Install rules and the Debian package. `cmake --install build` puts the game in games/ (Debian's
# place for games: /usr/games), its run-time data in share/ruvelo (found from the executable's
# folder, see app/CMakeLists.txt), the menu entry, icons and AppStream metainfo where desktops look
# for them, and the manual page, copyright and changelog where Debian wants them.
set(RUVELO_APP_ID org.ruvelo.ruvelo)
set(RUVELO_MAINTAINER "Ruvelo developers <ruvelo@localhost>"
    CACHE STRING "The package's Maintainer (name <address>); a distributor sets theirs")

install(TARGETS ruvelo RUNTIME DESTINATION ${RUVELO_INSTALL_BINDIR})
# The font is not installed: the installed data folder links to Debian's fonts-comfortaa instead.
install(DIRECTORY ${RUVELO_ASSET_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/ruvelo
        PATTERN icons EXCLUDE
        PATTERN level_map.png EXCLUDE
        PATTERN Itim-Regular.ttf EXCLUDE
        PATTERN LICENSE-Comfortaa.txt EXCLUDE
        PATTERN ".*.stamp" EXCLUDE)
install(CODE "set(RUVELO_FONT_SOURCE \"${RUVELO_FONT_SOURCE}\")
  set(RUVELO_FONT_LINK \"${CMAKE_INSTALL_DATADIR}/ruvelo/fonts/Itim-Regular.ttf\")
  include(\"${PROJECT_SOURCE_DIR}/cmake/FontLink.cmake\")")
install(DIRECTORY ${RUVELO_ASSET_DIR}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${RUVELO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${PROJECT_SOURCE_DIR}/packaging/${RUVELO_APP_ID}.metainfo.xml
               ${CMAKE_BINARY_DIR}/packaging/${RUVELO_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${RUVELO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The manual page and the changelog, compressed as Debian wants them (gzip -9n: no name, no time).
set(packaging_out ${CMAKE_BINARY_DIR}/packaging)
configure_file(${PROJECT_SOURCE_DIR}/packaging/ruvelo.6 ${packaging_out}/ruvelo.6 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog ${packaging_out}/changelog @ONLY)
add_custom_command(
  OUTPUT ${packaging_out}/ruvelo.6.gz ${packaging_out}/changelog.gz
  COMMAND gzip -9n -c ruvelo.6 > ruvelo.6.gz
  COMMAND gzip -9n -c changelog > changelog.gz
  DEPENDS ${packaging_out}/ruvelo.6 ${packaging_out}/changelog
  WORKING_DIRECTORY ${packaging_out}
  COMMENT "Compressing the manual page and the changelog")
add_custom_target(packaging_docs ALL DEPENDS ${packaging_out}/ruvelo.6.gz ${packaging_out}/changelog.gz)
install(FILES ${packaging_out}/ruvelo.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${packaging_out}/changelog.gz ${PROJECT_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/ruvelo)

# ruvelo_<version>_<arch>.deb, installed under /usr, its library dependencies found by dpkg-shlibdeps.
# The install runs with DESTDIR so that the font link is made for /usr, where it will lie.
set(CPACK_GENERATOR DEB)
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGE_NAME ruvelo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${RUVELO_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small real-time 3D driving and delivery game")
# Lines of at most 80 columns with the leading blank the control file gives them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Drive a six-wheeled delivery van through one level and deliver three\n"
       "packets before the time or the power runs out. Batteries refill the\n"
       "power, and driving off the raised roads costs ten times as much. The\n"
       "game records every run and lets the best run's ghost drive along.")
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-comfortaa")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri")
include(CPack)
