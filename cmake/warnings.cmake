# Warnings every target of the project is built with. -Wshadow=local is GCC's
# form; clang (fuzz/run.sh) does not know it and would warn about the option.
add_library(vanto_warnings INTERFACE)
target_compile_options(vanto_warnings INTERFACE
  $<$<COMPILE_LANGUAGE:CXX,C>:-Wall -Wextra -Wnon-virtual-dtor -Wformat=2>
  $<$<OR:$<COMPILE_LANG_AND_ID:CXX,GNU>,$<COMPILE_LANG_AND_ID:C,GNU>>:-Wshadow=local>)
# GCC 12 warns at -O2 that std::string's own copy in operator+ "may overlap"
# (a false positive of its range analysis in the standard library's inline
# code, gone in GCC 13); the optimised builds would otherwise never be clean.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(vanto_warnings INTERFACE $<$<COMPILE_LANGUAGE:CXX>:-Wno-restrict>)
endif()
