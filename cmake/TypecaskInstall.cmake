# What "cmake --install" puts where, and the packages that describe it:
#   bin/                     typecask, typecask-fontgen
#   lib/                     libTypecaskLib.so.MAJOR (the package, its resources in
#                            the section ".rsrc"), libTypecaskPlatform.so.MAJOR
#   include/TypecaskLib/     the public headers, included as "Typecask/..." and "platform/..."
#   lib/cmake/TypecaskLib/   find_package(TypecaskLib): TypecaskLib::TypecaskLib, TypecaskLib::Platform
#   lib/pkgconfig/           typecasklib.pc, typecask-platform.pc
#   share/man/man1/          typecask.1
#   share/bash-completion/   completions/typecask
include(CMakePackageConfigHelpers)

set(TYPECASK_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/TypecaskLib)
set(TYPECASK_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/TypecaskLib)

install(TARGETS TypecaskLib TypecaskPlatform EXPORT TypecaskLibTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development)
install(TARGETS typecask typecask-fontgen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)

# The public headers: everything an application may include, in the folders
# it names them by. The OS layer's own state and the GTK backend stay inside.
file(GLOB TYPECASK_PUBLIC_HEADERS RELATIVE ${PROJECT_SOURCE_DIR} CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/platform/*.h ${PROJECT_SOURCE_DIR}/platform/os/*.h
     ${PROJECT_SOURCE_DIR}/platform/widgetsets/*.h ${PROJECT_SOURCE_DIR}/platform/widgetsets/headless/*.h)
file(GLOB_RECURSE TYPECASK_PACKAGE_HEADERS RELATIVE ${PROJECT_SOURCE_DIR} CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/Typecask/*.h ${PROJECT_SOURCE_DIR}/TypecaskLib/*.h)
foreach(HEADER ${TYPECASK_PUBLIC_HEADERS} ${TYPECASK_PACKAGE_HEADERS})
  get_filename_component(FOLDER ${HEADER} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${HEADER} DESTINATION ${TYPECASK_INSTALL_INCLUDEDIR}/${FOLDER}
          COMPONENT Development)
endforeach()

install(EXPORT TypecaskLibTargets NAMESPACE TypecaskLib:: DESTINATION ${TYPECASK_INSTALL_CMAKEDIR}
        COMPONENT Development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/TypecaskLibConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/TypecaskLibConfig.cmake
                              INSTALL_DESTINATION ${TYPECASK_INSTALL_CMAKEDIR})
# Same major version: compatible. The major version is the SONAME's.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/TypecaskLibConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/TypecaskLibConfig.cmake ${PROJECT_BINARY_DIR}/TypecaskLibConfigVersion.cmake
        DESTINATION ${TYPECASK_INSTALL_CMAKEDIR} COMPONENT Development)

# pkg-config files, relocatable: the prefix is found from the file's own folder.
file(RELATIVE_PATH TYPECASK_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" TYPECASK_PC_TO_PREFIX "${TYPECASK_PC_TO_PREFIX}")
foreach(PC typecasklib typecask-platform)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${PC}.pc.in ${PROJECT_BINARY_DIR}/${PC}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${PC}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Development)
endforeach()
