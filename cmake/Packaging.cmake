# Installation under a prefix and the Debian package built from it
# (scripts/package). The program's files go where the desktop looks for them:
# the .desktop entry, the icon in the hicolor theme, the AppStream entry and
# the MIME type of Dravelin Files, so a double-click on one opens it.
include(GNUInstallDirs)

set(DRAVELIN_APP_ID org.dravelin.Dravelin)
set(packaging ${PROJECT_SOURCE_DIR}/packaging)

install(TARGETS dravelin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The command-line program, when this tree builds one.
if(TARGET dravelin-cli)
  install(TARGETS dravelin-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(FILES ${packaging}/${DRAVELIN_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${DRAVELIN_PROGRAM_ICON}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${DRAVELIN_APP_ID}.svg)
install(FILES ${packaging}/${DRAVELIN_APP_ID}.mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME ${DRAVELIN_APP_ID}.xml)
string(TIMESTAMP DRAVELIN_RELEASE_DATE "%Y-%m-%d" UTC)
configure_file(${packaging}/${DRAVELIN_APP_ID}.metainfo.xml.in
               ${PROJECT_BINARY_DIR}/packaging/${DRAVELIN_APP_ID}.metainfo.xml @ONLY)
set(DRAVELIN_METAINFO ${PROJECT_BINARY_DIR}/packaging/${DRAVELIN_APP_ID}.metainfo.xml)
install(FILES ${DRAVELIN_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The Debian package. The desktop database, the MIME database and the icon
# cache are refreshed by the triggers of desktop-file-utils, shared-mime-info
# and the icon theme packages, so the package needs no scripts of its own.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dravelin)
set(CPACK_PACKAGE_VENDOR "Dravelin")
set(CPACK_PACKAGE_CONTACT "Dravelin <dravelin@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Register of action items for the desktop")
set(CPACK_PACKAGE_DESCRIPTION
    "Dravelin Ostravine registers action items with their status log, decisions, statements and contacts, colour-codes them by status and due date, and exchanges them as Dravelin Files."
)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Plugins Qt loads at run time, which the library scan cannot see: the
# platform plugins and the SVG icon engine that draws the icons.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "desktop-file-utils, shared-mime-info, hicolor-icon-theme")
include(CPack)
