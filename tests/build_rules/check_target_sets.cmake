# Configures the project in two dry runs with a stand-in Qt, once as a Windows build and once as
# a Linux build, and checks that the POSIX-only targets are left out of the first and built in the
# second, that no target links a library the build does not make, and what cpack makes on Windows.
# Run with: cmake -DSOURCE_DIR=... -DWORK_DIR=... -DCXX_COMPILER=... -P check_target_sets.cmake
cmake_minimum_required(VERSION 3.25)

# Every target builds on Windows, or is listed here as needing a POSIX system (the Debian
# package's parts need Linux).
set(posix_only_targets
  bench-minimal-widgets
  bench-tool-startup
  cordelo-bench
  cordelo-screenshot
  cordelo-virtual-module
  cordelo_bench_first_paint
  cordelo_drill_support
  cordelo_virtual_module
  debian_docs
  drill_helper
  packaging_test_support
  tst_debian_package
  tst_end_to_end
  tst_flood_drills
  tst_installed_tool
  tst_link_drills
  tst_module_exchange
  tst_qt_serial_port
  tst_virtual_module
  tst_window_drills
  tst_cli)
set(portable_targets
  cordelo-cli
  cordelo-setup
  cordelo_cli
  cordelo_main_window
  cordelo_module_profile
  cordelo_module_protocol
  cordelo_platform
  cordelo_platform_widgets
  cordelo_resources
  cordelo_serial_link
  cordelo_test_doubles
  cordelo_token_reader_harness
  tst_artwork
  tst_connection_workflow
  tst_data_waits
  tst_main_window
  tst_module_check
  tst_module_profile
  tst_port_session
  tst_port_texts
  tst_program_identity
  tst_reply_waits
  tst_serial_trace
  tst_settings_query
  tst_settings_write
  tst_token_reader
  tst_token_reader_corpus)

set(failures)

function(dry_run system targets_out unresolved_out)
  set(binary "${WORK_DIR}/${system}")
  file(REMOVE_RECURSE "${binary}")
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${binary}"
      -DCMAKE_SYSTEM_NAME=${system}
      # The compiler is never run: it only has to pass for one of that system.
      -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_CXX_COMPILER_FORCED=ON
      -DCMAKE_CXX_COMPILER_ID_RUN=ON -DCMAKE_CXX_COMPILER_ID=GNU -DCMAKE_SIZEOF_VOID_P=8
      -DQt6_DIR=${CMAKE_CURRENT_LIST_DIR}/stand_in_qt
      -DCMAKE_PROJECT_TOP_LEVEL_INCLUDES=${CMAKE_CURRENT_LIST_DIR}/list_targets.cmake
      -DCORDELO_TARGET_LIST=${binary}/targets.txt
      -DCORDELO_UNRESOLVED_LIST=${binary}/unresolved.txt
    OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT EXISTS "${binary}/targets.txt")
    message(FATAL_ERROR "The ${system} dry run stopped before the end of the build files:\n${output}")
  endif()
  file(READ "${binary}/targets.txt" targets)
  file(READ "${binary}/unresolved.txt" unresolved)
  set(${targets_out} ${targets} PARENT_SCOPE)
  set(${unresolved_out} ${unresolved} PARENT_SCOPE)
endfunction()

# Appends to `failures` one line for each name of `expected` missing from `actual` and for each
# name of `actual` that `expected` lacks.
macro(compare_target_sets system actual expected)
  set(missing ${expected})
  list(REMOVE_ITEM missing ${actual})
  set(extra ${actual})
  list(REMOVE_ITEM extra ${expected})
  foreach(target IN LISTS missing)
    list(APPEND failures "${system}: ${target} is not built")
  endforeach()
  foreach(target IN LISTS extra)
    if(target IN_LIST posix_only_targets)
      list(APPEND failures "${system}: ${target} needs a POSIX system but is built")
    else()
      list(APPEND failures "${system}: ${target} is new: list it above as portable or POSIX-only")
    endif()
  endforeach()
endmacro()

dry_run(Windows windows_targets windows_unresolved)
dry_run(Linux linux_targets linux_unresolved)

compare_target_sets(Windows "${windows_targets}" "${portable_targets}")
compare_target_sets(Linux "${linux_targets}" "${portable_targets};${posix_only_targets}")
foreach(link IN LISTS windows_unresolved linux_unresolved)
  list(APPEND failures "links a library the build does not make: ${link}")
endforeach()

# What cpack makes of the Windows build: the ZIP and the installer, named for Explorer.
include("${WORK_DIR}/Windows/CPackConfig.cmake")
if(NOT CPACK_GENERATOR STREQUAL "ZIP;NSIS"
    OR NOT CPACK_PACKAGE_FILE_NAME STREQUAL "Cordelo Setup-2.0.0-win64"
    OR NOT CPACK_PACKAGE_EXECUTABLES STREQUAL "Cordelo Setup;Cordelo Setup")
  set(made "cpack makes ${CPACK_GENERATOR} as ${CPACK_PACKAGE_FILE_NAME}, program and Start-menu \
entry ${CPACK_PACKAGE_EXECUTABLES}")
  string(REPLACE ";" " | " made "${made}")
  list(APPEND failures "Windows: ${made}")
endif()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "The build's target sets are wrong:\n  ${text}")
endif()
message(STATUS "Windows: ${windows_targets}")
