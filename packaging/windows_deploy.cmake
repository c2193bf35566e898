# Puts beside the installed programs everything they load: the Qt libraries, the platform, style
# and SQL driver plugins with the libraries they load (libpq and OpenSSL for PostgreSQL), and the
# compiler's runtime. It reads the DLL imports with CMake's own
# file(GET_RUNTIME_DEPENDENCIES), so it works the same on Windows and in a cross-build, where
# windeployqt does not exist.

set(cordelo_deployed_programs cordelo-setup cordelo-station cordelo-cli)

# Plugins are loaded by name at run time, so no import table names them. cordelo-cli's
# production record keeps an SQLite file or a PostgreSQL database; a Qt without one of the two
# drivers makes a cordelo-cli that says so when that record is asked for.
set(cordelo_plugins QWindowsIntegrationPlugin QWindowsVistaStylePlugin QModernWindowsStylePlugin)
if(TARGET cordelo_production_record)
  find_package(Qt6 REQUIRED COMPONENTS Sql)
  list(APPEND cordelo_plugins QSQLiteDriverPlugin QPSQLDriverPlugin)
endif()
set(cordelo_plugin_targets)
foreach(plugin IN LISTS cordelo_plugins)
  if(TARGET Qt6::${plugin})
    list(APPEND cordelo_plugin_targets Qt6::${plugin})
  endif()
endforeach()
if(NOT TARGET Qt6::QWindowsIntegrationPlugin)
  message(FATAL_ERROR "This Qt has no Windows platform plugin (platforms/qwindows.dll).")
endif()

set(cordelo_plugin_files)
foreach(plugin IN LISTS cordelo_plugin_targets)
  get_target_property(kind ${plugin} QT_PLUGIN_TYPE)
  install(FILES $<TARGET_FILE:${plugin}> DESTINATION ${CMAKE_INSTALL_BINDIR}/${kind})
  list(APPEND cordelo_plugin_files $<TARGET_FILE:${plugin}>)
endforeach()

# Where the imported DLLs are: Qt's bin folder, the folders given in CORDELO_DLL_DIRS (such as
# PostgreSQL's bin folder, for the libpq.dll of a Qt that does not carry it) and, for MinGW, the
# folders of its runtime.
set(CORDELO_DLL_DIRS "" CACHE STRING
  "Further folders holding DLLs that the programs or Qt's plugins load, for the install to copy")
set(cordelo_dll_folders "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}" ${CORDELO_DLL_DIRS})
# libzint.dll, which the label printing loads, with the licence its BSD terms ask to go with it.
if(CORDELO_ZINT_PREFIX)
  list(APPEND cordelo_dll_folders "${CORDELO_ZINT_PREFIX}/bin")
  if(EXISTS "${CORDELO_ZINT_PREFIX}/LICENSE.zint")
    install(FILES "${CORDELO_ZINT_PREFIX}/LICENSE.zint" DESTINATION ${CMAKE_INSTALL_DOCDIR})
  endif()
endif()
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
endif()
list(REMOVE_DUPLICATES cordelo_dll_folders)

# The tool that reads a program's imports: MSVC's dumpbin, or the objdump of a MinGW toolchain,
# native or cross. A cross-build has no Windows system folders to search, so Windows' own DLLs
# stay unresolved there; they are told from the rest by the import libraries MinGW has for
# them (libkernel32.a for kernel32.dll).
if(MSVC)
  get_filename_component(compiler_folder "${CMAKE_CXX_COMPILER}" DIRECTORY)
  find_program(CORDELO_DUMPBIN dumpbin HINTS "${compiler_folder}")
  if(NOT CORDELO_DUMPBIN)
    message(FATAL_ERROR "dumpbin, which the install needs to read the programs' DLL imports, is "
      "not beside the compiler ${CMAKE_CXX_COMPILER}; give its path as -DCORDELO_DUMPBIN=...")
  endif()
  set(cordelo_dependency_tool dumpbin)
  set(cordelo_dependency_command "${CORDELO_DUMPBIN}")
elseif(CMAKE_OBJDUMP)
  set(cordelo_dependency_tool objdump)
  set(cordelo_dependency_command "${CMAKE_OBJDUMP}")
else()
  message(FATAL_ERROR "No objdump for the install to read the programs' DLL imports with; give "
    "the toolchain's objdump as -DCMAKE_OBJDUMP=...")
endif()
set(cordelo_system_imports)
if(CMAKE_CROSSCOMPILING)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libkernel32.a
    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  # Configuring still succeeds without them (the build files may be all that is wanted); an
  # install would then fail, naming Windows' own DLLs as missing.
  if(IS_ABSOLUTE "${path}")
    get_filename_component(cordelo_system_imports "${path}" DIRECTORY)
    get_filename_component(cordelo_system_imports "${cordelo_system_imports}" REALPATH)
  else()
    message(WARNING "${CMAKE_CXX_COMPILER} has no Windows import libraries (libkernel32.a): "
      "an install will not tell Windows' own DLLs from missing ones.")
  endif()
endif()

set(cordelo_deployed_files)
foreach(program IN LISTS cordelo_deployed_programs)
  list(APPEND cordelo_deployed_files "$<TARGET_FILE:${program}>")
endforeach()
list(APPEND cordelo_deployed_files ${cordelo_plugin_files})

install(CODE "
  set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM windows+pe)
  set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL ${cordelo_dependency_tool})
  set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND [=[${cordelo_dependency_command}]=])
  set(FILES [=[${cordelo_deployed_files}]=])
  set(FOLDERS [=[${cordelo_dll_folders}]=])
  set(SYSTEM_IMPORTS [=[${cordelo_system_imports}]=])
  set(DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  include([=[${CMAKE_CURRENT_LIST_DIR}/deploy_dlls.cmake]=])
")
