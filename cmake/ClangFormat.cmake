# Runs clang-format over every C++ file of the project that git knows or would add (tracked,
# or new and not ignored): cmake -DCLANG_FORMAT=<exe> -DMODE=fix|check -P ClangFormat.cmake
execute_process(
    COMMAND git ls-files --cached --others --exclude-standard -- "*.cpp" "*.h"
    WORKING_DIRECTORY ${CMAKE_CURRENT_LIST_DIR}/..
    OUTPUT_VARIABLE _files
    RESULT_VARIABLE _listed
    OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT _listed EQUAL 0)
    message(FATAL_ERROR "git ls-files failed: the formatting targets need a git checkout")
endif()
string(REPLACE "\n" ";" _files "${_files}")
if(MODE STREQUAL "check")
    set(_how --dry-run -Werror)
else()
    set(_how -i)
endif()
execute_process(
    COMMAND ${CLANG_FORMAT} ${_how} ${_files}
    WORKING_DIRECTORY ${CMAKE_CURRENT_LIST_DIR}/..
    RESULT_VARIABLE _formatted)
if(NOT _formatted EQUAL 0)
    message(FATAL_ERROR "clang-format: files above are not formatted (cmake --build <dir> --target format)")
endif()
