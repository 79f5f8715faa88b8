# 32-bit Windows, the platform the package is built for (preset win32).
set(TYPECASK_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
