# Text files compiled into the library, so that it reads no data files at run
# time. The bytes become a char array in a generated source, made again
# whenever the text file changes:
#
#   korvix_embed_text(TARGET korvix_dedupe FILE ${PROJECT_SOURCE_DIR}/data/x.tsv
#                     NAMESPACE korvix::dedupe NAME kXText)
#
# gives the target's sources `extern const std::string_view kXText;` in that
# namespace, the file's bytes (no terminating NUL).
#
# Run as a script (cmake -P) the same file writes one such source.

if(CMAKE_SCRIPT_MODE_FILE)
  file(READ "${EMBED_INPUT}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  # Sixteen bytes a line keep the generated file readable in a diff tool.
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(REPEAT "'\\\\x..'," 16 line)
  string(REGEX REPLACE "(${line})" "\\1\n  " bytes "${bytes}")
  math(EXPR size "${hex_length} / 2")
  # Written under a temporary name and copied only if it differs, so that an
  # unchanged text does not recompile anything.
  file(WRITE "${EMBED_OUTPUT}.tmp"
"// Generated from ${EMBED_INPUT} by cmake/embed_text.cmake; do not edit.
#include <string_view>

namespace ${EMBED_NAMESPACE} {
namespace {
constexpr char kBytes[${size} + 1] = {
  ${bytes}'\\0'};
}  // namespace
extern const std::string_view ${EMBED_NAME};
const std::string_view ${EMBED_NAME}{kBytes, ${size}};
}  // namespace ${EMBED_NAMESPACE}
")
  file(COPY_FILE "${EMBED_OUTPUT}.tmp" "${EMBED_OUTPUT}" ONLY_IF_DIFFERENT)
  file(REMOVE "${EMBED_OUTPUT}.tmp")
  return()
endif()

set(KORVIX_EMBED_TEXT_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

function(korvix_embed_text)
  cmake_parse_arguments(E "" "TARGET;FILE;NAMESPACE;NAME" "" ${ARGN})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/embedded/${E_NAME}.cpp)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DEMBED_INPUT=${E_FILE} -DEMBED_OUTPUT=${out}
      -DEMBED_NAMESPACE=${E_NAMESPACE} -DEMBED_NAME=${E_NAME} -P ${KORVIX_EMBED_TEXT_SCRIPT}
    DEPENDS ${E_FILE} ${KORVIX_EMBED_TEXT_SCRIPT}
    COMMENT "Embedding ${E_FILE}"
    VERBATIM)
  target_sources(${E_TARGET} PRIVATE ${out})
endfunction()
