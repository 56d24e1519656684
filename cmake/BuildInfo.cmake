# cmake -DSOURCE_DIR=... -DOUTPUT=... -DVERSION=... -P BuildInfo.cmake: writes the source file behind
# platform/build_info.h with the version and the current commit; rewrites it only when they change, so an
# unchanged tree rebuilds nothing.
set(commit unknown)
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} rev-parse --short=12 HEAD
                  OUTPUT_VARIABLE head RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT failed AND head)
    set(commit ${head})
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} status --porcelain --untracked-files=no
                    OUTPUT_VARIABLE changes ERROR_QUIET)
    if(changes)
      string(APPEND commit "+changes")
    endif()
  endif()
endif()
set(text "// Written by the build (cmake/BuildInfo.cmake).
#include \"platform/build_info.h\"

namespace ruvelo {
const char* buildVersion() { return \"${VERSION}\"; }
const char* buildCommit() { return \"${commit}\"; }
}  // namespace ruvelo
")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
endif()
if(NOT old STREQUAL text)
  file(WRITE ${OUTPUT} "${text}")
endif()
