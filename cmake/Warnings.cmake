# One warning set for every target of the project.
function(tonvela_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow=local -Wnon-virtual-dtor)
  if(TONVELA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
