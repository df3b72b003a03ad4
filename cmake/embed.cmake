# Writes a C++ source that holds the bytes of a data file, so that the data
# ships inside the library: run as
#   cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=namespace::name -P embed.cmake
# and declare, in the namespace,
#   extern const unsigned char name[];  extern const std::size_t name_size;
file(READ "${INPUT}" bytes HEX)
string(LENGTH "${bytes}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
# A line break after every 32 bytes keeps the lines short.
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){32})" "\\1\n" bytes "${bytes}")
string(REGEX MATCH "^(.*)::([^:]+)$" matched "${SYMBOL}")
set(space "${CMAKE_MATCH_1}")
set(name "${CMAKE_MATCH_2}")
get_filename_component(source "${INPUT}" NAME)
file(WRITE "${OUTPUT}.new" "// The bytes of ${source}, written by cmake/embed.cmake.
#include <cstddef>

namespace ${space} {

extern const unsigned char ${name}[];
extern const std::size_t ${name}_size;
const unsigned char ${name}[] = {
${bytes}};
const std::size_t ${name}_size = ${size};

}  // namespace ${space}
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
