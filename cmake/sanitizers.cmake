# Sanitizer builds apply to every target, the tests included.
if(VANTO_SANITIZE AND VANTO_TSAN)
  message(FATAL_ERROR "VANTO_SANITIZE and VANTO_TSAN exclude each other")
endif()
if(VANTO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(VANTO_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
