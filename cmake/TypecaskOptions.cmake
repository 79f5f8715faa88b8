# Compiler settings shared by every target of the project.
add_library(typecask_options INTERFACE)
target_compile_options(typecask_options INTERFACE -Wall -Wextra -Wpedantic)
# GCC 12 at -O3 (Release) reports -Wrestrict inside libstdc++'s own
# operator+(const char*, std::string&&), where no restrict-qualified copy can
# overlap: GCC bug 105329, a false positive of its range analysis after
# inlining, fixed in later releases. Only there is the warning left off.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(typecask_options INTERFACE $<$<CONFIG:Release>:-Wno-restrict>)
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
