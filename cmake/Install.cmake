# Install rules and the Debian package. `cmake --install build` puts the game in bin/, its run-time
# data in share/ruvelo (found from the executable's folder, see app/CMakeLists.txt), and the menu
# entry, icons and AppStream metainfo where desktops look for them.
set(RUVELO_APP_ID org.ruvelo.ruvelo)

install(TARGETS ruvelo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${RUVELO_ASSET_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/ruvelo
        PATTERN icons EXCLUDE
        PATTERN level_map.png EXCLUDE
        PATTERN ".*.stamp" EXCLUDE)
install(DIRECTORY ${RUVELO_ASSET_DIR}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${RUVELO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${PROJECT_SOURCE_DIR}/packaging/${RUVELO_APP_ID}.metainfo.xml
               ${CMAKE_BINARY_DIR}/packaging/${RUVELO_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${RUVELO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# ruvelo_<version>_<arch>.deb, installed under /usr, its library dependencies found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ruvelo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Ruvelo developers <ruvelo@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small real-time 3D driving and delivery game")
set(CPACK_PACKAGE_DESCRIPTION
    "Drive a six-wheeled delivery van through one level and deliver three packets before the time or the power runs out.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri")
include(CPack)
