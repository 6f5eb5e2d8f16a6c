# What `cmake --install` puts beside the programs, and the Debian package.
include(GNUInstallDirs)

install(FILES ${PROJECT_SOURCE_DIR}/data/merivo-mailviewer.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/merivo-mailviewer.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/merivo-mailviewer.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/examples/Beispiel-Protokoll.kqv
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/merivo-mailviewer/examples)

set(CPACK_PACKAGE_NAME "merivo-mailviewer")
set(CPACK_PACKAGE_VENDOR "Merivo")
set(CPACK_PACKAGE_CONTACT "Merivo <support@merivo.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Merivo Emailbetrachter: viewer for stored e-mail files (.kqv)")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_SECTION "mail")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so the library scan cannot see them: Qt's German
# texts and the plug-in that draws the program's icon.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, libqt6svg6")
# The desktop's own triggers pick up the MIME type and the desktop entry.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils, xdg-utils")
set(CPACK_GENERATOR "DEB")
include(CPack)
