# Every target of ours compiles with the same warnings; the code stays clean of them.
function(cwt_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
endfunction()
