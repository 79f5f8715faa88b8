# 64-bit Windows (preset win64): the same sources on the same API, for
# machines whose kernel runs no 32-bit programs, where Wine can run only
# 64-bit Windows programs.
set(TYPECASK_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
