# Included as the project starts in a dry run: once the top directory is read, it writes to
# CORDELO_TARGET_LIST every target the build files made (`targets`) and every library a target
# links that is no target of the build (`unresolved`, a link that would fail), then stops.
function(cordelo_collect_targets directory out)
  get_property(targets DIRECTORY "${directory}" PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirectories DIRECTORY "${directory}" PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    cordelo_collect_targets("${subdirectory}" nested)
    list(APPEND targets ${nested})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(cordelo_write_target_list)
  cordelo_collect_targets("${CMAKE_SOURCE_DIR}" targets)
  set(unresolved)
  foreach(target IN LISTS targets)
    get_target_property(libraries ${target} LINK_LIBRARIES)
    foreach(library IN LISTS libraries)
      # Namespaced names (Qt6::Core) are imported targets, which CMake checks itself.
      if(library AND NOT library MATCHES "::" AND NOT TARGET ${library})
        list(APPEND unresolved "${target} -> ${library}")
      endif()
    endforeach()
  endforeach()
  file(WRITE "${CORDELO_TARGET_LIST}" "set(targets \"${targets}\")\nset(unresolved \"${unresolved}\")\n")
  message(FATAL_ERROR "Dry run complete: the target list is written, nothing is generated.")
endfunction()

cmake_language(DEFER DIRECTORY "${CMAKE_SOURCE_DIR}" CALL cordelo_write_target_list)
