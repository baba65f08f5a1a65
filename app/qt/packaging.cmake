# `cpack -G DEB` in the build folder makes a Debian package of everything `cmake --install` puts
# in place: vellamark, vellamark-reg, the desktop entry and the icons.
set(CPACK_PACKAGE_NAME vellamark)
set(CPACK_PACKAGE_VENDOR "Vellamark")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop login launcher for the Vellamark service")
set(CPACK_PACKAGE_CONTACT "Vellamark Launcher team <launcher@vellamark.example>")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
# Library dependencies (Qt, SQLite) are worked out from the binaries.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its display plugin (xcb, wayland) at run time, so no library dependency names it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "chromium | chromium-browser | google-chrome-stable")
include(CPack)
