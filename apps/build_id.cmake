# Writes OUT, a source file defining pelinorBuildId(), from `git describe` of SRC. Run at every
# build; the file is only rewritten when the identity changed, so nothing recompiles otherwise.
execute_process(
  COMMAND git describe --always --tags --dirty
  WORKING_DIRECTORY "${SRC}"
  OUTPUT_VARIABLE id
  RESULT_VARIABLE rc
  OUTPUT_STRIP_TRAILING_WHITESPACE
  ERROR_QUIET)
if(NOT rc EQUAL 0 OR id STREQUAL "")
  set(id "${FALLBACK}")
endif()
string(REPLACE "\"" "" id "${id}")
set(content "// Generated at build time.\nconst char* pelinorBuildId() { return \"${id}\"; }\n")
set(old "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL content)
  file(WRITE "${OUT}" "${content}")
endif()
