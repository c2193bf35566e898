# Stands in for Qt in the dry runs of the build files: the targets and commands they use, with
# nothing behind them, so that a configure for another system needs no Qt for that system.
set(Qt6_VERSION 6.4.2)
foreach(component Core Gui Widgets SerialPort Sql Test PrintSupport)
  if(NOT TARGET Qt6::${component})
    add_library(Qt6::${component} INTERFACE IMPORTED)
  endif()
  set(Qt6${component}_FOUND TRUE)
endforeach()

set(QT6_INSTALL_PREFIX "${CMAKE_CURRENT_LIST_DIR}")
set(QT6_INSTALL_BINS bin)
foreach(plugin platforms:QWindowsIntegrationPlugin styles:QWindowsVistaStylePlugin
    sqldrivers:QSQLiteDriverPlugin)
  string(REPLACE ":" ";" plugin "${plugin}")
  list(GET plugin 0 kind)
  list(GET plugin 1 name)
  if(NOT TARGET Qt6::${name})
    add_library(Qt6::${name} MODULE IMPORTED)
    set_target_properties(Qt6::${name} PROPERTIES
      QT_PLUGIN_TYPE ${kind} IMPORTED_LOCATION "${CMAKE_CURRENT_LIST_DIR}/${name}.dll")
  endif()
endforeach()

# zint, which the label printing links, stands in here too.
if(NOT TARGET Zint::Zint)
  add_library(Zint::Zint INTERFACE IMPORTED)
endif()

function(qt_add_resources)
endfunction()
