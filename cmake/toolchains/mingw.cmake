# Cross-building for Windows with MinGW-w64, for the architecture that the
# including toolchain file names in TYPECASK_MINGW_ARCH (i686 or x86_64).
#
# The "posix" variants of the compilers are used: the default "win32" thread
# model has no std::mutex. The C and C++ runtimes are linked statically, so
# that no MinGW runtime DLL has to travel with the programs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TYPECASK_MINGW_ARCH})

set(TYPECASK_MINGW_PREFIX ${TYPECASK_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${TYPECASK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TYPECASK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TYPECASK_MINGW_PREFIX}-windres)
set(CMAKE_AR ${TYPECASK_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TYPECASK_MINGW_PREFIX}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${TYPECASK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Programs built here run under Wine (ctest). Debian's "wine" starts the
# 32-bit loader whenever it is installed, so 64-bit programs are given
# Wine's 64-bit loader directly. Wine's 32-bit loader is itself a 32-bit
# program: where the kernel refuses to start it (tried here, once per build
# folder), qemu-user runs it (scripts/wine-qemu-i386). -DTYPECASK_WINE=...
# chooses another loader.
if(TYPECASK_MINGW_ARCH STREQUAL "x86_64")
  find_program(TYPECASK_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
elseif(NOT TYPECASK_WINE AND EXISTS /usr/lib/wine/wine)
  execute_process(COMMAND /usr/lib/wine/wine --version RESULT_VARIABLE TYPECASK_WINE32_RESULT OUTPUT_QUIET ERROR_QUIET)
  if(TYPECASK_WINE32_RESULT STREQUAL "0")
    find_program(TYPECASK_WINE wine)
  else()
    find_program(TYPECASK_QEMU_I386 qemu-i386)
    if(TYPECASK_QEMU_I386)
      get_filename_component(TYPECASK_WINE_QEMU ${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine-qemu-i386 ABSOLUTE)
      set(TYPECASK_WINE ${TYPECASK_WINE_QEMU} CACHE FILEPATH "The Wine loader that runs this build's programs")
    endif()
  endif()
endif()
if(TYPECASK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TYPECASK_WINE})
endif()
