# One warning set for every target of the project.
function(tonvela_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wnon-virtual-dtor)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wshadow=local)
    # GCC 12 at -O3 reports libstdc++'s own "literal" + std::string as an overlapping memcpy
    # (GCC bug 105329); the report says nothing about our code.
    if(CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12 AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
      target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
  endif()
  if(TONVELA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
