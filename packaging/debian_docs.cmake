# The documents Debian wants in a package: every manual page in man/ and the changelog, each
# compressed with gzip -9n, and the licence as the machine-readable copyright file.
set(cordelo_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/cordelo-setup)

find_program(CORDELO_GZIP gzip REQUIRED)
set(cordelo_compressed_dir ${CMAKE_CURRENT_BINARY_DIR}/compressed)
set(cordelo_compressed)
# Compresses `source` into the build folder at build time; the .gz file's path goes to `out`.
function(cordelo_compress source out)
  get_filename_component(name ${source} NAME)
  set(output ${cordelo_compressed_dir}/${name}.gz)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${cordelo_compressed_dir}/${name}
    # -n leaves out the name and time stamp, so that the package builds the same every time.
    COMMAND ${CORDELO_GZIP} -9nf ${cordelo_compressed_dir}/${name}
    DEPENDS ${source}
    VERBATIM)
  set(${out} ${output} PARENT_SCOPE)
endfunction()

# A program's page only has to be added to man/.
file(GLOB cordelo_man_pages CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/man/*.1)
foreach(page IN LISTS cordelo_man_pages)
  cordelo_compress(${page} compressed)
  list(APPEND cordelo_compressed ${compressed})
  install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

cordelo_compress(${CMAKE_CURRENT_SOURCE_DIR}/changelog changelog)
list(APPEND cordelo_compressed ${changelog})
install(FILES ${changelog} DESTINATION ${cordelo_doc_dir})
add_custom_target(debian_docs ALL DEPENDS ${cordelo_compressed})

# The copyright file carries the licence text of LICENSE from its grant on, in Debian's form:
# each line indented by one blank, an empty line written as " .".
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE cordelo_licence)
string(FIND "${cordelo_licence}" "Permission is hereby granted" cordelo_grant)
string(SUBSTRING "${cordelo_licence}" ${cordelo_grant} -1 cordelo_licence)
string(STRIP "${cordelo_licence}" cordelo_licence)
string(REPLACE "\n\n" "\n.\n" cordelo_licence "${cordelo_licence}")
string(REPLACE "\n" "\n " CORDELO_LICENSE_TEXT " ${cordelo_licence}")
configure_file(copyright.in copyright @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/copyright DESTINATION ${cordelo_doc_dir})
