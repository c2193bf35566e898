# Run at install time by windows_deploy.cmake: copies into DESTINATION every DLL that the
# programs and plugins in FILES import, and what those DLLs import in turn, found in FOLDERS.
# Windows' own DLLs are left to Windows. A cross-build's objdump gives the imported names in
# lower case, which a Linux file system does not match, so each name is looked up here.

cmake_policy(VERSION 3.25)

set(known_dlls)
foreach(folder IN LISTS FOLDERS)
  file(GLOB dlls "${folder}/*.dll")
  list(APPEND known_dlls ${dlls})
endforeach()

set(pending ${FILES})
set(deployed)
while(pending)
  file(GET_RUNTIME_DEPENDENCIES
    LIBRARIES ${pending}
    RESOLVED_DEPENDENCIES_VAR resolved
    UNRESOLVED_DEPENDENCIES_VAR unresolved
    DIRECTORIES ${FOLDERS}
    PRE_EXCLUDE_REGEXES "^api-ms-" "^ext-ms-"
    POST_EXCLUDE_REGEXES "[/\\\\][Ss][Yy][Ss][Tt][Ee][Mm]32[/\\\\]")
  set(pending)
  foreach(name IN LISTS resolved unresolved)
    get_filename_component(name "${name}" NAME)
    string(TOLOWER "${name}" wanted)
    set(path)
    foreach(candidate IN LISTS known_dlls)
      get_filename_component(candidate_name "${candidate}" NAME)
      string(TOLOWER "${candidate_name}" candidate_name)
      if(candidate_name STREQUAL wanted)
        set(path "${candidate}")
        break()
      endif()
    endforeach()
    if(path)
      if(NOT path IN_LIST deployed)
        list(APPEND deployed "${path}")
        list(APPEND pending "${path}")
      endif()
    elseif(wanted MATCHES "^(qt6|lib|vcruntime|msvcp)")
      # A Qt or compiler library is never Windows' own.
      message(FATAL_ERROR "Cannot find ${name} to install beside the programs.")
    endif()
  endforeach()
endwhile()

file(INSTALL DESTINATION "${DESTINATION}" TYPE SHARED_LIBRARY FILES ${deployed})
