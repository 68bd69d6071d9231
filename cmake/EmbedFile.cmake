# Writes OUTPUT, a C++ source defining FUNCTION() (declared in HEADER) over the bytes of INPUT;
# by default portable::CompiledResources() of framework/portable/ResourceData.h.
# Run as a script: cmake -DINPUT=<file> -DOUTPUT=<file.cpp> [-DFUNCTION=... -DHEADER=...] -P EmbedFile.cmake
if(NOT DEFINED INPUT OR NOT DEFINED OUTPUT)
  message(FATAL_ERROR "EmbedFile.cmake needs -DINPUT=<file> and -DOUTPUT=<file.cpp>")
endif()
if(NOT DEFINED FUNCTION)
  set(FUNCTION portable::CompiledResources)
  set(HEADER framework/portable/ResourceData.h)
endif()
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# CMake's regular expressions have no {n}: spell out 16 bytes to break the lines.
string(REPEAT "0x[0-9a-f][0-9a-f]," 16 line_pattern)
string(REGEX REPLACE "(${line_pattern})" "\\1\n" bytes "${bytes}")
if(size EQUAL 0)
  # An array cannot be empty; the span is.
  set(array "const std::uint8_t kData[1] = {0};\nconstexpr std::size_t kSize = 0;")
else()
  set(array "const std::uint8_t kData[${size}] = {\n${bytes}\n};\nconstexpr std::size_t kSize = ${size};")
endif()
file(WRITE ${OUTPUT} "// Generated from ${INPUT} by cmake/EmbedFile.cmake; do not edit.\n"
  "#include <cstddef>\n\n#include \"${HEADER}\"\n\n"
  "namespace {\n${array}\n}  // namespace\n\n"
  "std::span<const std::uint8_t> ${FUNCTION}() { return {kData, kSize}; }\n")
