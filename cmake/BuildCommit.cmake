# Run at build time: writes OUTPUT, a header that names the git commit SOURCE_DIR is checked out at and
# whether tracked files differ from it. The header is rewritten only when that changes, so a new commit
# relinks the program and an unchanged checkout rebuilds nothing. A source tree that is not the top of
# a git checkout (a release tarball, perhaps unpacked inside some other repository) names no commit.

set(commit "")
set(modified false)
find_program(GIT git)
if(GIT)
    execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" rev-parse --show-toplevel
        OUTPUT_VARIABLE top RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT failed)
        file(REAL_PATH "${top}" top)
        file(REAL_PATH "${SOURCE_DIR}" source)
    endif()
    if(NOT failed AND top STREQUAL source)
        execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" rev-parse --short=12 HEAD
            OUTPUT_VARIABLE commit RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(failed)
            set(commit "") # a checkout without commits
        else()
            execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" status --porcelain --untracked-files=no
                OUTPUT_VARIABLE changes ERROR_QUIET)
            if(NOT changes STREQUAL "")
                set(modified true)
            endif()
        endif()
    endif()
endif()

file(WRITE "${OUTPUT}.new" "#pragma once\n// Written by the build: the commit this program was built from.\n"
    "#define KALVIX_BUILD_COMMIT \"${commit}\"\n#define KALVIX_BUILD_MODIFIED ${modified}\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
