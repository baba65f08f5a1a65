# One INTERFACE target carries the project's warnings, sanitizer and code-size settings; every
# target of ours links it, nothing edits the global flags.
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

# The Windows programs carry the C++ library in them and are read from disk at every start. They
# are optimised for size (vellamark.exe is 0.6 times its size at -O3; nothing but the cipher,
# which sets its own level, runs long enough for speed to show), and every function and datum
# gets a section of its own, so that the linker leaves out what no program reaches.
if(WIN32 AND NOT MSVC)
    target_compile_options(vellamark_warnings INTERFACE
        $<$<CONFIG:Release,MinSizeRel>:-Os> -ffunction-sections -fdata-sections)
    target_link_options(vellamark_warnings INTERFACE -Wl,--gc-sections)
endif()

if(VELLAMARK_SANITIZE)
    target_compile_options(vellamark_warnings INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(vellamark_warnings INTERFACE -fsanitize=address,undefined)
endif()
