# Stands in for Qt in the dry runs of the build files: the targets and commands they use, with
# nothing behind them, so that a configure for another system needs no Qt for that system.
set(Qt6_VERSION 6.4.2)
foreach(component Core Gui Widgets SerialPort Sql Test)
  if(NOT TARGET Qt6::${component})
    add_library(Qt6::${component} INTERFACE IMPORTED)
  endif()
  set(Qt6${component}_FOUND TRUE)
endforeach()

function(qt_add_resources)
endfunction()

function(qt_generate_deploy_app_script)
  cmake_parse_arguments(arg "" "TARGET;FILENAME_VARIABLE;OUTPUT_SCRIPT" "" ${ARGN})
  set(${arg_FILENAME_VARIABLE}${arg_OUTPUT_SCRIPT} "${CMAKE_CURRENT_BINARY_DIR}/deploy.cmake" PARENT_SCOPE)
endfunction()
