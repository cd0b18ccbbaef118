# Run by cpack on the files it is about to pack: the manual pages compressed and the package's
# changelog beside the licence, as Debian keeps them. `cmake --install` keeps the pages as they
# are.
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
file(GLOB_RECURSE pages "${root}/*/share/man/man1/*.1")
file(GLOB_RECURSE licence "${root}/*/share/doc/pelinor/copyright")
if(NOT pages OR NOT licence)
  message(FATAL_ERROR "the manual pages or the licence are missing under ${root}")
endif()
foreach(page IN LISTS pages)
  execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip failed on ${page}")
  endif()
endforeach()
get_filename_component(docdir "${licence}" DIRECTORY)
execute_process(COMMAND gzip -9nc "${CPACK_PELINOR_CHANGELOG}"
                OUTPUT_FILE "${docdir}/changelog.gz" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gzip failed on ${CPACK_PELINOR_CHANGELOG}")
endif()
file(CHMOD "${docdir}/changelog.gz" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
