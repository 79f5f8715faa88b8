# Compiler settings shared by every target of the project.
add_library(typecask_options INTERFACE)
target_compile_options(typecask_options INTERFACE -Wall -Wextra -Wpedantic)
if(TYPECASK_WERROR)
  target_compile_options(typecask_options INTERFACE -Werror)
endif()
if(TYPECASK_SANITIZE)
  add_compile_options(-fsanitize=${TYPECASK_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${TYPECASK_SANITIZE})
endif()
if(TYPECASK_BUILD_FUZZ)
  # Coverage feedback from the libraries too, not only from the fuzz targets'
  # own files: without it libFuzzer cannot see a decoder get further.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
