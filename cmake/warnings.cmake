# Warnings every target of the project is built with.
add_library(vanto_warnings INTERFACE)
target_compile_options(vanto_warnings INTERFACE
  $<$<COMPILE_LANGUAGE:CXX,C>:-Wall -Wextra -Wshadow=local -Wnon-virtual-dtor -Wformat=2>)
