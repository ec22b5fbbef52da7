# Writes OUTPUT, the C++ source of mirsight_commit(): the commit that the
# source folder SOURCE_DIR is a checkout of ("git describe --always --dirty":
# the commit's short hash, after the nearest tag when there is one, "-dirty"
# when tracked files were changed), or "unknown" when it is no git checkout
# (a source tarball) or git is missing. The file is written again only when
# its text changes, so that a build whose commit did not change compiles
# nothing, and one whose commit changed compiles this file alone.
#
#   cmake -DSOURCE_DIR=DIR -DOUTPUT=FILE [-DGIT_EXECUTABLE=git] -P build_commit.cmake
set(commit unknown)
if(GIT_EXECUTABLE AND EXISTS "${SOURCE_DIR}/.git")
    execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" describe --always --dirty
                    OUTPUT_VARIABLE described RESULT_VARIABLE status
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(status EQUAL 0 AND described MATCHES "^[A-Za-z0-9._+-]+$")
        set(commit "${described}")
    endif()
endif()
set(text "// Written by cmake/build_commit.cmake at build time: the commit this build is of.
#include \"core/version.hpp\"

char const * mirsight_commit()
{
    return \"${commit}\";
}
")
set(old "")
if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
    file(WRITE "${OUTPUT}" "${text}")
endif()
