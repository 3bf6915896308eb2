# Warning set for every target of our own; call rwb_warnings(target) after creating it.
function(rwb_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
        -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough)
    if(RWB_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
