# cmake -DTYPECASK=path/to/typecask -DVERSION=x.y.z -DSYSROOT=folder -DOUTPUT=typecask.1 -P TypecaskManPage.cmake
#
# Writes the manual page typecask(1) from the tool's own help texts, so that
# the page and --help never disagree: "typecask --help" gives the synopsis
# and the list of commands, "typecask COMMAND --help" (and for a command with
# subcommands, "typecask COMMAND SUBCOMMAND --help") each command's section.
foreach(VARIABLE TYPECASK VERSION SYSROOT OUTPUT)
  if(NOT DEFINED ${VARIABLE})
    message(FATAL_ERROR "TypecaskManPage.cmake needs -D${VARIABLE}=...")
  endif()
endforeach()
# The tool runs in a sandbox of its own, away from the builder's registry and fonts.
set(ENV{TYPECASK_SYSROOT} ${SYSROOT})
set(ENV{TYPECASK_WIDGETSET} headless)
# In sanitizer builds the page is written all the same; what the libraries
# leave for the process's end is the leak checker's business in the tests.
set(ENV{ASAN_OPTIONS} "detect_leaks=0")

function(run_help OUT)
  execute_process(COMMAND ${TYPECASK} ${ARGN} --help OUTPUT_VARIABLE TEXT RESULT_VARIABLE RESULT)
  if(NOT RESULT EQUAL 0)
    message(FATAL_ERROR "typecask ${ARGN} --help failed (${RESULT})")
  endif()
  set(${OUT} "${TEXT}" PARENT_SCOPE)
endfunction()

# The names listed as "  NAME  summary" lines below the line Heading.
function(listed_names OUT TEXT HEADING)
  string(REPLACE ";" "\\;" TEXT "${TEXT}")
  string(REPLACE "\n" ";" LINES "${TEXT}")
  set(NAMES)
  set(INSIDE FALSE)
  foreach(LINE IN LISTS LINES)
    if(LINE MATCHES "^${HEADING}")
      set(INSIDE TRUE)
    elseif(INSIDE AND LINE MATCHES "^  ([a-z][a-z0-9-]*) ")
      list(APPEND NAMES ${CMAKE_MATCH_1})
    elseif(INSIDE AND NOT LINE MATCHES "^ ")
      set(INSIDE FALSE)
    endif()
  endforeach()
  set(${OUT} ${NAMES} PARENT_SCOPE)
endfunction()

# Help text as literal roff lines: backslashes and minus signs escaped, a
# leading dot or quote kept from reading as a request.
function(roff_block OUT TEXT)
  string(REPLACE "\\" "\\e" TEXT "${TEXT}")
  string(REPLACE "-" "\\-" TEXT "${TEXT}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" TEXT "${TEXT}")
  set(${OUT} ".nf\n${TEXT}.fi\n" PARENT_SCOPE)
endfunction()

run_help(TOOL_HELP)
listed_names(COMMANDS "${TOOL_HELP}" "Commands:")
if(NOT COMMANDS)
  message(FATAL_ERROR "typecask --help lists no commands")
endif()
roff_block(TOOL_BLOCK "${TOOL_HELP}")

set(PAGE ".\\\" Generated from the help texts of typecask ${VERSION}; do not edit.\n")
string(APPEND PAGE ".TH TYPECASK 1 \"\" \"TypecaskLib ${VERSION}\" \"User Commands\"\n")
string(APPEND PAGE ".SH NAME\ntypecask \\- carry a TrueType font inside form data and install it at run time\n")
string(APPEND PAGE ".SH SYNOPSIS\n.B typecask\n.I COMMAND\n.RI [ ARGS ...]\n.br\n.B typecask\n")
string(APPEND PAGE ".BR \\-\\-help \" | \" \\-\\-version\n")
string(APPEND PAGE ".SH DESCRIPTION\n${TOOL_BLOCK}")
string(APPEND PAGE ".SH COMMANDS\n")
foreach(COMMAND ${COMMANDS})
  run_help(HELP ${COMMAND})
  roff_block(BLOCK "${HELP}")
  string(APPEND PAGE ".SS ${COMMAND}\n${BLOCK}")
  listed_names(SUBCOMMANDS "${HELP}" "Subcommands:")
  foreach(SUBCOMMAND ${SUBCOMMANDS})
    run_help(HELP ${COMMAND} ${SUBCOMMAND})
    roff_block(BLOCK "${HELP}")
    string(APPEND PAGE ".SS \"${COMMAND} ${SUBCOMMAND}\"\n${BLOCK}")
  endforeach()
endforeach()
string(APPEND PAGE ".SH ENVIRONMENT\n")
string(APPEND PAGE ".TP\n.B TYPECASK_SYSROOT\nA folder that holds the registry, the fonts folder, the temporary folder and\n")
string(APPEND PAGE "the font configuration instead of the real ones.\n")
string(APPEND PAGE ".TP\n.B TYPECASK_WIDGETSET\n.B headless\nor\n.B gtk3\n")
string(APPEND PAGE "forces the widgetset that shows dialogs; \\fBtypecask \\-\\-version\\fR lists the ones built in.\n")
string(APPEND PAGE ".SH EXIT STATUS\n0 on success, 1 when a command fails, 2 on wrong use.\n")

file(WRITE ${OUTPUT}.new "${PAGE}")
file(RENAME ${OUTPUT}.new ${OUTPUT})
