# The Windows package, made by cpack in the build folder: "Cordelo Setup.exe" with the Qt
# libraries and plugins it loads and the compiler's runtime beside it, as a ZIP and as an NSIS
# installer with a Start-menu entry, the program icon and an uninstaller.

# At install time Qt's deployment (windeployqt) copies the Qt DLLs, platforms/qwindows.dll, the
# style plugin and, for MinGW, the compiler's runtime DLLs next to the program; for cordelo-cli
# also Qt SQL and its database drivers, which the window does not load.
foreach(program cordelo-setup cordelo-cli)
  if(Qt6_VERSION VERSION_LESS 6.5)
    qt_generate_deploy_app_script(TARGET ${program} FILENAME_VARIABLE cordelo_deploy_script)
  else()
    set(cordelo_runtime_option)
    if(MSVC)
      # InstallRequiredSystemLibraries below puts MSVC's runtime DLLs beside the program instead.
      set(cordelo_runtime_option NO_COMPILER_RUNTIME)
    endif()
    qt_generate_deploy_app_script(TARGET ${program} OUTPUT_SCRIPT cordelo_deploy_script
      NO_TRANSLATIONS ${cordelo_runtime_option})
  endif()
  install(SCRIPT ${cordelo_deploy_script})
endforeach()

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
# The program, bin/Cordelo Setup.exe, and its Start-menu entry.
set(CPACK_PACKAGE_EXECUTABLES "Cordelo Setup" "Cordelo Setup")
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

include(CPack)
