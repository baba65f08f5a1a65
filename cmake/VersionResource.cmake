# Version information for every program we ship, with one publisher name: the maker the About box
# names, which is also the installer's publisher and the Apps entry's.
set(VELLAMARK_PUBLISHER "Corvane Software Limited")
set(VELLAMARK_PRODUCT_NAME "Vellamark Launcher")

# Gives a Windows program a version resource; does nothing elsewhere.
function(vellamark_version_resource target description)
    if(NOT WIN32)
        return()
    endif()
    set(_vellamark_program ${target})
    set(_vellamark_description ${description})
    set(_rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/version_info.rc.in ${_rc} @ONLY)
    target_sources(${target} PRIVATE ${_rc})
endfunction()
