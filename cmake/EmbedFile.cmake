# Writes OUTPUT, a C++ source defining CompiledResources() over the bytes of INPUT.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){32})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Generated from the compiled resources; do not edit.\n"
  "#include \"framework/portable/ResourceData.h\"\n\n"
  "namespace {\nconst std::uint8_t kData[${size}] = {\n${bytes}\n};\n}  // namespace\n\n"
  "std::span<const std::uint8_t> portable::CompiledResources() { return {kData, sizeof kData}; }\n")
