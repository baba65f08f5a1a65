# GoogleTest for the native build (Debian's prebuilt libraries) and for the Windows cross-build
# (built from Debian's googletest sources with the cross compiler).
if(CMAKE_CROSSCOMPILING)
    if(NOT TARGET GTest::gtest_main)
        set(_gtest_src /usr/src/googletest)
        if(NOT EXISTS ${_gtest_src}/CMakeLists.txt)
            message(FATAL_ERROR "googletest sources not found at ${_gtest_src}: run scripts/setup")
        endif()
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
        add_subdirectory(${_gtest_src} ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL)
        # googletest 1.11 and later name its targets GTest::... itself; older sources do not.
        foreach(_lib gtest gtest_main gmock gmock_main)
            if(NOT TARGET GTest::${_lib})
                add_library(GTest::${_lib} ALIAS ${_lib})
            endif()
        endforeach()
    endif()
else()
    find_package(GTest REQUIRED)
    include(GoogleTest)
endif()

# vellamark_add_gtest(<name> SOURCES <files...> LIBS <targets...>)
# One test program; natively every test case is its own CTest entry, under wine the program is
# one entry (starting wine once per case would cost more than the tests).
function(vellamark_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    if(NOT WIN32)
        # A home and user folders of the program's own, before any test runs.
        target_sources(${name} PRIVATE
            ${PROJECT_SOURCE_DIR}/tests/support/private_user_folders_posix.cpp)
    endif()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main
        vellamark_warnings)
    if(CMAKE_CROSSCOMPILING)
        add_test(NAME ${name} COMMAND ${name})
        # Under wine: a prefix of the build's own (never the user's ~/.wine and its registry),
        # no wine debug chatter, no display needed, and a bound on a hung run. Wine keeps a file's
        # modification time as its creation time, and ext4 keeps none before 1901: files dated
        # back to 1601 go to a tmpfs, which keeps any date.
        set(_wine_env
            "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix;WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=;DISPLAY=")
        if(EXISTS /dev/shm)
            list(APPEND _wine_env "VELLAMARK_TEST_ANY_DATE_FOLDER=Z:/dev/shm")
        endif()
        set_tests_properties(${name} PROPERTIES TIMEOUT 600 ENVIRONMENT "${_wine_env}")
    else()
        # Rows are named; their raw bytes would only make unstable test names.
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES)
    endif()
endfunction()
