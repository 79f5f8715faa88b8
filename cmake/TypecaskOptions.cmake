# Compiler settings shared by every target of the project.
add_library(typecask_options INTERFACE)
target_compile_options(typecask_options INTERFACE -Wall -Wextra -Wpedantic)
# GCC 12 at -O3 reports -Wrestrict on std::string code that is correct, such
# as a literal joined to a string by operator+ (GCC bug 105329).
# Only that compiler is told to keep quiet; every other keeps the warning.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(typecask_options INTERFACE -Wno-restrict)
endif()
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
