# Writes a C++ source that returns the bytes of INPUT from FUNCTION (in namespace
# corvane). An empty INPUT, or one that does not exist, gives an empty block: the
# program is then built without that piece.
#   cmake -DINPUT=file -DOUTPUT=file.cpp -DFUNCTION=name -P embed.cmake
set(body "")
if(INPUT AND EXISTS "${INPUT}")
  file(READ "${INPUT}" hex HEX)
endif()
if(hex)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  # Break the array into lines of 32 bytes for the compiler's sake.
  string(REGEX REPLACE "((0x..,){32})" "\\1\n  " bytes "${bytes}")
  set(body "  static const std::uint8_t bytes[${size}] = {\n  ${bytes}\n  };\n  return {bytes, sizeof bytes};\n")
else()
  set(body "  return {};\n")
endif()
file(WRITE "${OUTPUT}.tmp" "// Generated from ${INPUT} at build time; do not edit.
#include <cstdint>
#include <span>

namespace corvane {

std::span<const std::uint8_t> ${FUNCTION}() {
${body}}

}  // namespace corvane
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
