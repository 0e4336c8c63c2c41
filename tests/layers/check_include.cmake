# Compiles PROBE with the include directories REACH_DIRS, where it must
# compile, and LAYER_DIRS (both "|"-separated), where it must compile when
# VERDICT is "allowed" and, when it is "forbidden", fail because the file
# that PROBE includes is not found (not a file that one includes in turn).
# Run by CTest: cmake -D ... -P check_include.cmake.

function(compile dirs code_var output_var)
  string(REPLACE "|" ";" dirs "${dirs}")
  list(TRANSFORM dirs PREPEND "-I")
  execute_process(COMMAND ${COMPILER} -std=c++20 -fsyntax-only ${dirs} ${PROBE}
    RESULT_VARIABLE code OUTPUT_VARIABLE output ERROR_VARIABLE output)
  set(${code_var} ${code} PARENT_SCOPE)
  set(${output_var} "${output}" PARENT_SCOPE)
endfunction()

file(READ ${PROBE} line)
string(REGEX MATCH "[<\"]([^>\"]+)[>\"]" included "${line}")
set(included ${CMAKE_MATCH_1})
get_filename_component(probe_name ${PROBE} NAME)
compile("${REACH_DIRS}" code output)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "${line}does not compile even where it may:\n${output}")
endif()
compile("${LAYER_DIRS}" code output)
if(VERDICT STREQUAL "allowed" AND NOT code EQUAL 0)
  message(FATAL_ERROR "${line}is allowed in this layer but does not compile:\n${output}")
elseif(VERDICT STREQUAL "forbidden")
  if(code EQUAL 0)
    message(FATAL_ERROR "${line}compiles in a layer that must not see it")
  elseif(NOT output MATCHES "${probe_name}:1:[0-9]+: fatal error: ${included}: No such file")
    message(FATAL_ERROR "${line}fails in this layer, but not for want of the file:\n${output}")
  endif()
endif()
