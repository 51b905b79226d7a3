# Warnings every target of the project is built with. -Wshadow=local is GCC's
# form; clang (fuzz/run.sh) does not know it and would warn about the option.
add_library(vanto_warnings INTERFACE)
target_compile_options(vanto_warnings INTERFACE
  $<$<COMPILE_LANGUAGE:CXX,C>:-Wall -Wextra -Wnon-virtual-dtor -Wformat=2>
  $<$<OR:$<COMPILE_LANG_AND_ID:CXX,GNU>,$<COMPILE_LANG_AND_ID:C,GNU>>:-Wshadow=local>)
