# One INTERFACE target carries the project's warnings and sanitizer settings; every target of
# ours links it, nothing edits the global flags.
add_library(vellamark_warnings INTERFACE)
if(MSVC)
    target_compile_options(vellamark_warnings INTERFACE /W4 /permissive-)
    if(VELLAMARK_STRICT)
        target_compile_options(vellamark_warnings INTERFACE /WX)
    endif()
else()
    target_compile_options(vellamark_warnings INTERFACE
        -Wall -Wextra -Wshadow -Wold-style-cast -Wnon-virtual-dtor)
    if(VELLAMARK_STRICT)
        target_compile_options(vellamark_warnings INTERFACE -Werror)
    endif()
endif()

if(VELLAMARK_SANITIZE)
    target_compile_options(vellamark_warnings INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(vellamark_warnings INTERFACE -fsanitize=address,undefined)
endif()
