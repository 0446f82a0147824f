# Writes OUTPUT from TEMPLATE with TRIOTDT_VERSION_TEXT, the text of
# `triotdt --version`: VERSION and the git commit the sources are, taken when
# the program is built.
#   cmake -DSOURCE_DIR=... -DVERSION=... -DTEMPLATE=... -DOUTPUT=... -P version.cmake
# The commit is HEAD's when SOURCE_DIR is the top of a git checkout (with
# "with uncommitted changes" when tracked files differ from it), else the one
# `git archive` wrote into cmake/commit.txt, else unknown. configure_file
# leaves OUTPUT untouched when the text is the same, so that nothing is
# rebuilt.

set(commit "")
set(changes "")
find_program(GIT_PROGRAM git)
if(GIT_PROGRAM)
  execute_process(COMMAND ${GIT_PROGRAM} -C ${SOURCE_DIR} rev-parse --show-toplevel
    OUTPUT_VARIABLE top RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  file(REAL_PATH "${SOURCE_DIR}" source)
  if(NOT failed)
    file(REAL_PATH "${top}" top)
  endif()
  # A tarball unpacked inside another checkout is not that checkout's HEAD.
  if(NOT failed AND top STREQUAL source)
    execute_process(COMMAND ${GIT_PROGRAM} -C ${SOURCE_DIR} rev-parse HEAD
      OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    # Without the index lock, so that a build never gets in the way of git.
    execute_process(COMMAND ${GIT_PROGRAM} --no-optional-locks -C ${SOURCE_DIR} status --porcelain --untracked-files=no
      OUTPUT_VARIABLE changes ERROR_QUIET)
  endif()
endif()
if(NOT commit MATCHES "^[0-9a-f]+$" AND EXISTS ${SOURCE_DIR}/cmake/commit.txt)
  file(STRINGS ${SOURCE_DIR}/cmake/commit.txt commit LIMIT_COUNT 1)
endif()
if(commit MATCHES "^[0-9a-f]+$")
  string(SUBSTRING "${commit}" 0 12 commit)
  set(TRIOTDT_VERSION_TEXT "triotdt ${VERSION} (commit ${commit})")
  if(changes)
    set(TRIOTDT_VERSION_TEXT "triotdt ${VERSION} (commit ${commit}, with uncommitted changes)")
  endif()
else()
  set(TRIOTDT_VERSION_TEXT "triotdt ${VERSION} (commit unknown)")
endif()
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
