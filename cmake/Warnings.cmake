# Warnings for our own targets; third-party headers come in as system includes.
function(corvane_warnings target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow=local
      -Wno-missing-field-initializers)
  endif()
endfunction()
