# Writes OUTPUT, a C++ source whose guideText() returns the bytes of INPUT.
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
string(REGEX REPLACE "(('\\\\x[0-9a-f][0-9a-f]',){16})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT}.new "// Generated from docs/CLI.md at build time; do not edit.\n#include \"mcp/guide_text.h\"\n\nnamespace pellam::mcp {\n\nnamespace {\nconstexpr char kGuide[] = {\n${bytes}'\\0'};\n}  // namespace\n\nstd::string_view guideText() { return {kGuide, sizeof kGuide - 1}; }\n\n}  // namespace pellam::mcp\n")
# Unchanged text leaves the source's time alone, so nothing recompiles.
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
