# `cpack -G NSIS` in the Windows build folder (scripts/package-windows) makes the installer:
# vellamark.exe and vellamark-reg.exe into Program Files\Vellamark, a Start-menu shortcut, and an
# uninstaller. NSIS installers take /S for a silent run and /D=<folder> for another folder.
set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME "Vellamark")
# The publisher the Apps entry shows, the same as in every program's version resource and the
# About box. The uninstaller deletes the installer's own key Software\<vendor>\<registry key>;
# these names keep it well away from Software\Corvane\Vellamar, where the user's saved accounts
# live.
set(CPACK_PACKAGE_VENDOR "${VELLAMARK_PUBLISHER}")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Vellamark Launcher")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop login launcher for the Vellamark service")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Vellamark")
set(CPACK_PACKAGE_FILE_NAME "vellamark-${PROJECT_VERSION}-setup")
set(CPACK_PACKAGE_EXECUTABLES "vellamark" "Vellamark Launcher")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ".")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME "Vellamark Launcher")
set(CPACK_NSIS_PACKAGE_NAME "Vellamark Launcher")
set(CPACK_NSIS_INSTALLED_ICON_NAME "vellamark.exe")
set(CPACK_NSIS_MUI_ICON "${CMAKE_CURRENT_SOURCE_DIR}/icons/vellamark.ico")
set(CPACK_NSIS_MUI_UNIICON "${CMAKE_CURRENT_SOURCE_DIR}/icons/vellamark.ico")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MODIFY_PATH OFF)
# A 64-bit installer for a 64-bit program (it also runs where no 32-bit subsystem is installed,
# as on a wine without its 32-bit half). The additions give the installer and the uninstaller
# their version information and the uninstaller the removal of what the launcher wrote.
# Values reach the NSIS script as written here, quotes and all.
set(CPACK_VERBATIM_VARIABLES ON)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/win32/installer_additions.nsh.in
    ${CMAKE_CURRENT_BINARY_DIR}/installer_additions.nsh @ONLY)
set(CPACK_NSIS_DEFINES
    "Target amd64-unicode\n!include \"${CMAKE_CURRENT_BINARY_DIR}/installer_additions.nsh\"")
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "Call un.RemoveLauncherLeftovers")
include(CPack)
