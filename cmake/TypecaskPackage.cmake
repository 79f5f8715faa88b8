# "make package" (CPack): one Debian package, typecasklib, with the libraries,
# the public headers, the tools, the manual page, the bash completion and the
# CMake and pkg-config files. Its dependencies are the Debian packages of the
# libraries we link, found by dpkg-shlibdeps; the package's own libraries get
# a shlibs file and the ldconfig trigger.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME typecasklib)
set(CPACK_PACKAGE_VENDOR "The TypecaskLib developers")
set(CPACK_PACKAGE_CONTACT "The TypecaskLib developers <typecasklib@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "carry a TrueType font inside form data and install it at run time")
set(CPACK_PACKAGE_DESCRIPTION
    "TypecaskLib keeps one TrueType font compressed inside an application's form\n"
    "data and installs it on the user's machine when the application runs.\n"
    "This package holds the shared libraries, their headers, the typecask and\n"
    "typecask-fontgen tools, and the files find_package(TypecaskLib) and\n"
    "pkg-config read.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# dpkg runs ldconfig once after all packages through this trigger.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/triggers)
# dpkg-shlibdeps must find our own libraries in the staged tree, not as
# packages: they are this package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/lib)

# What Debian asks of every package: the copyright and a changelog, compressed.
set(TYPECASK_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
string(TIMESTAMP TYPECASK_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${PROJECT_BINARY_DIR}/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
  COMMAND sh -c "gzip -9nc changelog > changelog.gz.new && mv changelog.gz.new changelog.gz"
  DEPENDS ${PROJECT_BINARY_DIR}/changelog WORKING_DIRECTORY ${PROJECT_BINARY_DIR} VERBATIM)
add_custom_target(typecask-changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/copyright DESTINATION ${TYPECASK_DOC_DIR} COMPONENT Runtime)
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${TYPECASK_DOC_DIR} COMPONENT Runtime)

include(CPack)
