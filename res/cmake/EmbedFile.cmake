# Turns one asset file into a C++ source holding its bytes.
#   cmake -DINPUT=<file> -DOUTPUT=<source> -DSYMBOL=<name> -DSOURCE_NAME=<shown path> -P EmbedFile.cmake
# The bytes become one string literal of \x escapes (fast to compile), split
# into lines of 32 bytes; the asset record points at them.
foreach(var INPUT OUTPUT SYMBOL SOURCE_NAME)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "EmbedFile.cmake: ${var} is not set")
  endif()
endforeach()

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")

# 32 bytes (64 hex digits) per line, each byte as \xNN.
string(REGEX REPLACE "([0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f])"
       "\\1\n" lines "${hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" lines "${lines}")
string(REGEX REPLACE "([^\n]+)" "    \"\\1\"" lines "${lines}")

file(WRITE "${OUTPUT}.tmp"
"// Generated from ${SOURCE_NAME} by res/cmake/EmbedFile.cmake; do not edit.
#include \"res/EmbeddedAsset.h\"

namespace res::detail {
namespace {

const unsigned char kBytes[${size} + 1] =
${lines}
    \"\";

}  // namespace

extern const EmbeddedAsset ${SYMBOL};
const EmbeddedAsset ${SYMBOL}{kBytes, ${size}};

}  // namespace res::detail
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
