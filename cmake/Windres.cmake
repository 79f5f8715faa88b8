# Compiling resource scripts with windres, on every platform.
#
#   typecask_windres(RC_FILE OUTPUT FORMAT [DEPENDS files...] [DEFINES NAME=VALUE...]
#                    [INCLUDES folders...])
#       a build rule that compiles RC_FILE into OUTPUT in FORMAT: "res" (a
#       .res image) or "coff" (an object that puts the resources into a
#       Windows module's resource section). Files named in RC_FILE are looked
#       for in its own folder, then in INCLUDES.
#
#   typecask_compile_resources(RC_FILE RES_FILE [DEPENDS ...] [DEFINES ...] [INCLUDES ...])
#       the same into the .res image RES_FILE.
#
# TYPECASK_WINDRES names the windres to run. windres runs the C preprocessor
# of CMAKE_C_COMPILER (the host's on Linux, where the MinGW toolchain's own
# preprocessor is not installed).

function(typecask_windres RC_FILE OUTPUT FORMAT)
  cmake_parse_arguments(ARG "" "" "DEPENDS;DEFINES;INCLUDES" ${ARGN})
  get_filename_component(RC_DIR ${RC_FILE} DIRECTORY)
  set(OPTIONS)
  foreach(DEFINITION ${ARG_DEFINES})
    list(APPEND OPTIONS -D ${DEFINITION})
  endforeach()
  foreach(FOLDER ${ARG_INCLUDES})
    list(APPEND OPTIONS -I ${FOLDER})
  endforeach()
  add_custom_command(
    OUTPUT ${OUTPUT}
    COMMAND ${TYPECASK_WINDRES}
            --preprocessor=${CMAKE_C_COMPILER} --preprocessor-arg=-E --preprocessor-arg=-xc
            --preprocessor-arg=-DRC_INVOKED
            $<$<CONFIG:Debug>:-DTYPECASK_DEBUG_BUILD> ${OPTIONS}
            -I ${RC_DIR} -O ${FORMAT} ${RC_FILE} ${OUTPUT}
    DEPENDS ${RC_FILE} ${ARG_DEPENDS}
    COMMENT "Compiling resources ${RC_FILE}"
    VERBATIM COMMAND_EXPAND_LISTS)
endfunction()

function(typecask_compile_resources RC_FILE RES_FILE)
  typecask_windres(${RC_FILE} ${RES_FILE} res ${ARGN})
endfunction()
