# Puts beside the installed programs everything they load: the Qt libraries, the platform, style
# and SQL driver plugins, and the compiler's runtime. It reads the DLL imports with CMake's own
# file(GET_RUNTIME_DEPENDENCIES), so it works the same on Windows and in a cross-build, where
# windeployqt does not exist.

set(cordelo_deployed_programs cordelo-setup cordelo-cli)

# Plugins are loaded by name at run time, so no import table names them.
set(cordelo_plugin_targets)
foreach(plugin QWindowsIntegrationPlugin QWindowsVistaStylePlugin QModernWindowsStylePlugin)
  if(TARGET Qt6::${plugin})
    list(APPEND cordelo_plugin_targets Qt6::${plugin})
  endif()
endforeach()
# cordelo-cli's production record keeps an SQLite file on Windows.
if(TARGET cordelo_production_record)
  find_package(Qt6 REQUIRED COMPONENTS Sql)
  list(APPEND cordelo_plugin_targets Qt6::QSQLiteDriverPlugin)
endif()
if(NOT TARGET Qt6::QWindowsIntegrationPlugin)
  message(FATAL_ERROR "This Qt has no Windows platform plugin (platforms/qwindows.dll).")
endif()

set(cordelo_plugin_files)
foreach(plugin IN LISTS cordelo_plugin_targets)
  get_target_property(kind ${plugin} QT_PLUGIN_TYPE)
  install(FILES $<TARGET_FILE:${plugin}> DESTINATION ${CMAKE_INSTALL_BINDIR}/${kind})
  list(APPEND cordelo_plugin_files $<TARGET_FILE:${plugin}>)
endforeach()

# Where the imported DLLs are: Qt's bin folder and, for MinGW, the folders of its runtime.
set(cordelo_dll_folders "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}")
if(MINGW)
  foreach(runtime libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
      OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    # A runtime the compiler cannot place stays unresolved, and the install says so.
    if(IS_ABSOLUTE "${path}")
      get_filename_component(folder "${path}" DIRECTORY)
      get_filename_component(folder "${folder}" REALPATH)
      list(APPEND cordelo_dll_folders "${folder}")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES cordelo_dll_folders)
endif()

# A cross-build has no Windows system folders to search, so it reads the imports with MinGW's
# objdump and leaves the system's own DLLs unresolved; on Windows CMake knows its own tool.
set(cordelo_dependency_tool)
if(CMAKE_CROSSCOMPILING)
  set(cordelo_dependency_tool
    "set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
    set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND [[${CMAKE_OBJDUMP}]])")
endif()

set(cordelo_deployed_files)
foreach(program IN LISTS cordelo_deployed_programs)
  list(APPEND cordelo_deployed_files "$<TARGET_FILE:${program}>")
endforeach()
list(APPEND cordelo_deployed_files ${cordelo_plugin_files})

install(CODE "
  ${cordelo_dependency_tool}
  set(FILES [=[${cordelo_deployed_files}]=])
  set(FOLDERS [=[${cordelo_dll_folders}]=])
  set(DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  include([=[${CMAKE_CURRENT_LIST_DIR}/deploy_dlls.cmake]=])
")
