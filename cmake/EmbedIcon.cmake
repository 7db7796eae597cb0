# cmake -DIN=picture.png -DOUT=file.cpp -DID=303 -P EmbedIcon.cmake
# Writes a source that registers the PNG bytes as icon resource ID at start-up.
file(READ ${IN} hex HEX)
string(LENGTH "${hex}" hex_len)
math(EXPR size "${hex_len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUT} "// Generated from ${IN}; do not edit.\n#include <rainbow_platform.h>\n\n"
  "namespace {\nconst unsigned char kIcon[${size}] = {\n${bytes}\n};\n"
  "const bool kRegistered = (PlatformAddIconResource(${ID}, kIcon, sizeof kIcon), true);\n}  // namespace\n")
