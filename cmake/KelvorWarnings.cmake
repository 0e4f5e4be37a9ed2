# Our own code builds with every warning on and warnings as errors; third-party headers are
# included as system headers so their warnings do not stop the build.
function(kelvor_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
endfunction()
