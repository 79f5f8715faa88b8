# The 32-bit Windows build (preset win32, cmake/toolchains/mingw-i686.cmake).
#
# The class library and the OS services on the Win32 API form one static
# library, TypecaskPlatform, so that its registries exist once per program.
# It uses none of the Linux libraries (fontconfig, FreeType, cairo, SQLite,
# GTK): the OS services are platform/os/win32.
#
# Built: the class library with its graphics on GDI
# (platform/os/win32/Canvas.cpp) and its widgetsets (platform/),
# TypecaskLib.dll (the package's units and resources), typecask.exe, and the
# tests.

add_subdirectory(${PROJECT_SOURCE_DIR}/platform ${CMAKE_BINARY_DIR}/platform)

# ------------------------------------------------------- the package's resources
# resources/TypecaskLib.rc compiled by windres twice: as a COFF object that
# puts the resources into a module's own resource section, where the system's
# FindResourceA, LoadStringA and GetFileVersionInfoA find them, and as a .res
# image that the package registers with the module list from memory
# (TypecaskModuleResources, as on Linux).
set(TYPECASK_WINE_TOOLS_PREFIX ${CMAKE_BINARY_DIR}/wine-tools)
# Runs a program of this build under Wine at build time, in a prefix of the
# build's own (made on first use).
set(TYPECASK_WINE_RUN ${CMAKE_COMMAND} -E env WINEPREFIX=${TYPECASK_WINE_TOOLS_PREFIX} WINEDEBUG=-all
    WINEDLLOVERRIDES=mscoree,mshtml= WINELOADER=${CMAKE_CROSSCOMPILING_EMULATOR} ${CMAKE_CROSSCOMPILING_EMULATOR})

set(TYPECASK_WINDRES ${CMAKE_RC_COMPILER})

# The dialogs' form layouts, converted to binary form data by the class
# library's own converter, run under Wine; or by a converter of another build
# of this project (the binary form data is the same on every platform):
#   cmake --preset win32 -DTYPECASK_HOST_DFM2BIN=$PWD/build/default/bin/typecask-dfm2bin
set(TYPECASK_HOST_DFM2BIN "" CACHE FILEPATH "A typecask-dfm2bin of another build, used instead of this one under Wine")
add_executable(typecask-dfm2bin ${PROJECT_SOURCE_DIR}/resources/forms/DfmToBinary.cpp)
target_link_libraries(typecask-dfm2bin PRIVATE TypecaskPlatform typecask_options)
if(TYPECASK_HOST_DFM2BIN)
  set(TYPECASK_DFM2BIN_COMMAND ${TYPECASK_HOST_DFM2BIN})
else()
  set(TYPECASK_DFM2BIN_COMMAND ${TYPECASK_WINE_RUN} $<TARGET_FILE:typecask-dfm2bin>)
endif()
set(TYPECASK_FORM_DIR ${CMAKE_BINARY_DIR}/resources/forms)
set(TYPECASK_FORM_FILES)
foreach(FORM TFormTypecaskEditor TFormAbout TFormSubsetRanges)
  set(FORM_TEXT ${PROJECT_SOURCE_DIR}/resources/forms/${FORM}.dfm.txt)
  set(FORM_BINARY ${TYPECASK_FORM_DIR}/${FORM}.dfm)
  add_custom_command(
    OUTPUT ${FORM_BINARY}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TYPECASK_FORM_DIR} ${TYPECASK_WINE_TOOLS_PREFIX}
    COMMAND ${TYPECASK_DFM2BIN_COMMAND} ${FORM_TEXT} ${FORM_BINARY}
    DEPENDS ${FORM_TEXT} typecask-dfm2bin
    COMMENT "Converting form layout ${FORM}"
    VERBATIM)
  list(APPEND TYPECASK_FORM_FILES ${FORM_BINARY})
endforeach()

set(TYPECASK_RC ${PROJECT_SOURCE_DIR}/resources/TypecaskLib.rc)
set(TYPECASK_RC_DEPENDS ${PROJECT_SOURCE_DIR}/resources/TTYPECASK.bmp ${PROJECT_SOURCE_DIR}/resources/TTYPECASK48.bmp
    ${TYPECASK_FORM_FILES})
set(TYPECASK_RES_OBJECT ${CMAKE_BINARY_DIR}/resources/TypecaskLib.rc.obj)
set(TYPECASK_RES_IMAGE ${CMAKE_BINARY_DIR}/resources/TypecaskResources.res)
typecask_windres(${TYPECASK_RC} ${TYPECASK_RES_OBJECT} coff
  DEPENDS ${TYPECASK_RC_DEPENDS} INCLUDES ${TYPECASK_FORM_DIR})
typecask_windres(${TYPECASK_RC} ${TYPECASK_RES_IMAGE} res
  DEPENDS ${TYPECASK_RC_DEPENDS} INCLUDES ${TYPECASK_FORM_DIR})
# The .res image in read-only data, bounded by the two symbols the package's
# unit registers (i686 names C symbols with a leading underscore).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(SYMBOL_PREFIX _)
else()
  set(SYMBOL_PREFIX)
endif()
set(RES_FILE ${TYPECASK_RES_IMAGE})
configure_file(${PROJECT_SOURCE_DIR}/resources/ResourceData.cpp.in ${CMAKE_BINARY_DIR}/resources/ResourceData.cpp @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/resources/ResourceData.cpp PROPERTIES OBJECT_DEPENDS ${TYPECASK_RES_IMAGE})

# ---------------------------------------------------------------- the package
# The component, codec, support, dialogs and editors and the package frame.
file(GLOB TYPECASK_UNIT_SOURCES CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/Typecask/*.cpp
     ${PROJECT_SOURCE_DIR}/Typecask/component/*.cpp
     ${PROJECT_SOURCE_DIR}/Typecask/compression/*.cpp
     ${PROJECT_SOURCE_DIR}/Typecask/design/*.cpp
     ${PROJECT_SOURCE_DIR}/Typecask/support/*.cpp
     ${PROJECT_SOURCE_DIR}/TypecaskLib/*.cpp)
list(APPEND TYPECASK_UNIT_SOURCES ${CMAKE_BINARY_DIR}/resources/ResourceData.cpp)
# The package frame initialises the units from a static constructor, which
# must run after those of the units' own globals. MinGW runs the static
# constructors of a module in the reverse order of its objects: the frame
# goes first.
list(REMOVE_ITEM TYPECASK_UNIT_SOURCES ${PROJECT_SOURCE_DIR}/TypecaskLib/Package.cpp)
list(PREPEND TYPECASK_UNIT_SOURCES ${PROJECT_SOURCE_DIR}/TypecaskLib/Package.cpp)
# The units, compiled once: linked into a program (typecask.exe, the tests),
# so that it has one class library (one class registry, one module list)
# with the package in it, and into the DLL.
add_library(TypecaskUnits OBJECT ${TYPECASK_UNIT_SOURCES})
target_link_libraries(TypecaskUnits PUBLIC TypecaskPlatform PRIVATE typecask_options)
# TypecaskLib.dll, the package as a Windows module carries it: its resources
# in its resource section, Initialize and Finalize exported, the class
# library inside.
add_library(TypecaskLib SHARED $<TARGET_OBJECTS:TypecaskUnits> ${TYPECASK_RES_OBJECT})
set_target_properties(TypecaskLib PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
target_link_libraries(TypecaskLib PRIVATE TypecaskPlatform typecask_options)

add_library(TypecaskFontGen STATIC ${PROJECT_SOURCE_DIR}/tools/fontgen/FontGen.cpp)
target_link_libraries(TypecaskFontGen PUBLIC TypecaskPlatform PRIVATE typecask_options)

# A program's manifest that makes the system's 8-bit texts UTF-8 (Windows 10
# 1903 and later), as the class library's are: file names and family names
# with any letters reach the system's A functions intact.
set(TYPECASK_UTF8_MANIFEST ${CMAKE_BINARY_DIR}/resources/Utf8CodePage.rc.obj)
typecask_windres(${PROJECT_SOURCE_DIR}/resources/Utf8CodePage.rc ${TYPECASK_UTF8_MANIFEST} coff
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/Utf8CodePage.manifest)

file(GLOB TYPECASK_TOOL_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tools/typecask/*.cpp)
add_executable(typecask ${TYPECASK_TOOL_SOURCES} ${TYPECASK_RES_OBJECT} ${TYPECASK_UTF8_MANIFEST})
set_target_properties(typecask PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
target_link_libraries(typecask PRIVATE TypecaskUnits TypecaskFontGen typecask_options)
add_executable(typecask-fontgen ${PROJECT_SOURCE_DIR}/tools/fontgen/Main.cpp)
set_target_properties(typecask-fontgen PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
target_link_libraries(typecask-fontgen PRIVATE TypecaskFontGen typecask_options)

# The tests: the same folders as on Linux (tests/CMakeLists.txt), less what
# each folder's WineFilter.txt leaves out; ctest runs them under Wine in the
# prefix that scripts/wine-test prepares and removes around the run.
if(TYPECASK_BUILD_TESTS)
  enable_testing()
  include(${PROJECT_SOURCE_DIR}/tests/Typecask/compression/TestKit.cmake)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests ${CMAKE_BINARY_DIR}/tests)
endif()
