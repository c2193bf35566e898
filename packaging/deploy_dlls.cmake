# Run at install time by windows_deploy.cmake: copies into DESTINATION every DLL that the
# programs and plugins in FILES import, and what those DLLs import in turn, found in FOLDERS.
# Windows' own DLLs are left to Windows: on Windows those found in its own folder, in a
# cross-build those that MinGW has an import library for in SYSTEM_IMPORTS. Any other DLL not
# in FOLDERS fails the install by name, since the programs would not start without it. A
# cross-build's objdump gives the imported names in lower case, which a Linux file system does
# not match, so each name is looked up here.

cmake_policy(VERSION 3.25)

set(known_dlls)
foreach(folder IN LISTS FOLDERS)
  file(GLOB dlls "${folder}/*.dll")
  list(APPEND known_dlls ${dlls})
endforeach()

# kernel32 for libkernel32.a; winspool.drv has its libwinspool.a too.
set(system_dlls)
if(SYSTEM_IMPORTS)
  file(GLOB import_libraries RELATIVE "${SYSTEM_IMPORTS}" "${SYSTEM_IMPORTS}/lib*.a")
  foreach(library IN LISTS import_libraries)
    string(TOLOWER "${library}" library)
    string(REGEX REPLACE "^lib(.*)\\.a$" "\\1" stem "${library}")
    list(APPEND system_dlls "${stem}")
  endforeach()
endif()

set(pending ${FILES})
set(deployed)
set(missing)
while(pending)
  file(GET_RUNTIME_DEPENDENCIES
    LIBRARIES ${pending}
    RESOLVED_DEPENDENCIES_VAR resolved
    UNRESOLVED_DEPENDENCIES_VAR unresolved
    DIRECTORIES ${FOLDERS}
    PRE_EXCLUDE_REGEXES "^api-ms-" "^ext-ms-"
    POST_EXCLUDE_REGEXES "^[A-Za-z]:[/\\\\][Ww][Ii][Nn][Dd][Oo][Ww][Ss][/\\\\]")
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
    get_filename_component(stem "${wanted}" NAME_WLE)
    if(path)
      if(NOT path IN_LIST deployed)
        list(APPEND deployed "${path}")
        list(APPEND pending "${path}")
      endif()
    elseif(NOT stem IN_LIST system_dlls)
      list(APPEND missing "${name}")
    endif()
  endforeach()
endwhile()

if(missing)
  list(REMOVE_DUPLICATES missing)
  list(JOIN missing ", " missing)
  list(JOIN FOLDERS "\n  " searched)
  message(FATAL_ERROR "The programs load ${missing}, found neither among Windows' own DLLs "
    "nor in the folders the install copies from:\n  ${searched}\nGive the folder that holds "
    "each with -DCORDELO_DLL_DIRS=... when configuring.")
endif()
file(INSTALL DESTINATION "${DESTINATION}" TYPE SHARED_LIBRARY FILES ${deployed})
