# The Windows package, made by cpack in the build folder: "Cordelo Setup.exe", cordelo-station.exe
# and cordelo-cli.exe with the Qt libraries and plugins they load and the compiler's runtime beside
# them, as a ZIP and as an NSIS installer with Start-menu entries, the program icon and an
# uninstaller.

include(GNUInstallDirs)
include(windows_deploy.cmake)

if(MSVC)
  set(CMAKE_INSTALL_SYSTEM_RUNTIME_DESTINATION ${CMAKE_INSTALL_BINDIR})
  include(InstallRequiredSystemLibraries)
endif()

set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_NAME "Cordelo Setup")
set(CPACK_PACKAGE_VENDOR "The Cordelo Setup developers")
# The fourth version field is the build number of the version resource only.
set(CPACK_PACKAGE_VERSION
  "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Cordelo Setup")
# The programs, bin/Cordelo Setup.exe and bin/cordelo-station.exe, and their Start-menu entries.
set(CPACK_PACKAGE_EXECUTABLES "Cordelo Setup" "Cordelo Setup" "cordelo-station" "Cordelo Station")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

set(CPACK_NSIS_PACKAGE_NAME "Cordelo Setup")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
endif()
set(CPACK_NSIS_DISPLAY_NAME "Cordelo Setup")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/icons/app.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/resources/icons/app.ico)
# The icon "Installed apps" shows: the one inside the program.
set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\\\Cordelo Setup.exe")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
if(CMAKE_CROSSCOMPILING)
  # A 64-bit installer, which 64-bit-only Wine can run. Debian's NSIS has the amd64 stubs; the
  # NSIS for Windows has only the 32-bit ones, whose installer runs on every Windows as well.
  set(CPACK_NSIS_DEFINES "Target amd64-unicode")
endif()

include(CPack)
