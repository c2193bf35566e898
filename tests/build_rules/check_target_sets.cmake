# Configures the project in dry runs with a stand-in Qt, as a Windows and as a Linux build, and
# checks that the POSIX-only targets are left out of the first and built in the second, that no
# target links a library the build does not make, and what cpack makes on Windows.
# Run with: cmake -DSOURCE_DIR=... -DWORK_DIR=... -DGENERATOR=... -DMAKE_PROGRAM=...
#   -DCXX_COMPILER=... -P check_target_sets.cmake
cmake_minimum_required(VERSION 3.25)

# Every target builds on Windows, or is listed here as POSIX-only (the Debian package's: Linux).
set(posix_only bench-minimal-widgets bench-tool-startup cordelo-bench cordelo-screenshot
  cordelo-virtual-module cordelo_bench_first_paint cordelo_drill_support cordelo_virtual_module
  cordelo_record_drill cordelo_station_drill cordelo_scratch_postgres debian_docs drill_helper packaging_test_support tst_debian_package
  tst_end_to_end tst_cli tst_cli_record tst_flood_drills tst_installed_tool tst_link_drills tst_module_exchange
  tst_port_discovery tst_qt_serial_port tst_record_drills tst_screenshot tst_station_drills tst_virtual_module tst_window_drills)
set(portable cordelo-bench-connect cordelo-cli cordelo-setup cordelo_cli cordelo_main_window
  cordelo_module_profile cordelo_module_simulation cordelo_module_protocol cordelo_production_record
  cordelo_production_run cordelo_label_print tst_label_print tst_cli_labels cordelo_station_line tst_production_line cordelo-station
  cordelo_station_window tst_station
  cordelo_platform cordelo_platform_widgets cordelo_resources cordelo_serial_link
  cordelo_profile_harness cordelo_test_doubles cordelo_test_shard cordelo_token_reader_harness tst_artwork tst_connection_workflow tst_data_waits
  tst_main_window tst_module_check tst_module_profile tst_port_session tst_port_texts
  tst_production_record tst_program_identity tst_reply_waits tst_serial_trace tst_settings_query
  tst_settings_write tst_simulated_serial_port tst_token_reader tst_fuzz_corpora)

# Built for Windows only: the COM port through Windows' own serial backend.
set(windows_only tst_com_port)

set(failures)
# Configures as `system`; adds to `failures` every target built there that `expected` lacks,
# every one of `expected` not built, and every link to a library that is no target.
function(check_dry_run system expected)
  set(binary "${WORK_DIR}/${system}")
  file(REMOVE_RECURSE "${binary}")
  execute_process(COMMAND "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${binary}" -G "${GENERATOR}"
      -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM} -DCMAKE_SYSTEM_NAME=${system}
      # The compiler is never run: it only has to pass for one of that system.
      -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_CXX_COMPILER_FORCED=ON
      -DCMAKE_CXX_COMPILER_ID_RUN=ON -DCMAKE_CXX_COMPILER_ID=GNU -DCMAKE_SIZEOF_VOID_P=8
      -DQt6_DIR=${CMAKE_CURRENT_LIST_DIR}/stand_in_qt
      -DCMAKE_PROJECT_TOP_LEVEL_INCLUDES=${CMAKE_CURRENT_LIST_DIR}/list_targets.cmake
      -DCORDELO_TARGET_LIST=${binary}/targets.cmake
    OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT EXISTS "${binary}/targets.cmake")
    message(FATAL_ERROR "The ${system} dry run stopped before the end of the build files:\n${output}")
  endif()
  include("${binary}/targets.cmake") # sets `targets` and `unresolved`
  set(missing ${expected})
  list(REMOVE_ITEM missing ${targets})
  list(REMOVE_ITEM targets ${expected})
  list(TRANSFORM missing PREPEND "${system}: not built: ")
  list(TRANSFORM targets PREPEND "${system}: built, but POSIX-only or not listed above: ")
  list(TRANSFORM unresolved PREPEND "${system}: links a library the build does not make: ")
  set(failures ${failures} ${missing} ${targets} ${unresolved} PARENT_SCOPE)
endfunction()

check_dry_run(Windows "${portable};${windows_only}")
check_dry_run(Linux "${portable};${posix_only}")

# What cpack makes of the Windows build: generators, file name, program and Start-menu entry.
include("${WORK_DIR}/Windows/CPackConfig.cmake")
string(JOIN "|" made ${CPACK_GENERATOR} ${CPACK_PACKAGE_FILE_NAME} ${CPACK_PACKAGE_EXECUTABLES})
if(NOT made STREQUAL
    "ZIP|NSIS|Cordelo Setup-2.0.0-win64|Cordelo Setup|Cordelo Setup|cordelo-station|Cordelo Station")
  list(APPEND failures "Windows: cpack makes ${made}")
endif()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "The build's target sets are wrong:\n  ${text}")
endif()
