# Writes OUTPUT, a C++ file holding every file under SOURCE as bytes, for the
# starter game of velmora-pack new.
#   cmake -DSOURCE=dir -DOUTPUT=file.cpp -P embed_starter.cmake
file(GLOB_RECURSE files RELATIVE ${SOURCE} ${SOURCE}/*)
list(SORT files)
set(arrays "")
set(table "")
set(index 0)
foreach(name IN LISTS files)
  file(READ ${SOURCE}/${name} hex HEX)
  string(LENGTH "${hex}" length)
  math(EXPR size "${length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
  string(APPEND arrays "const unsigned char kFile${index}[] = {\n${bytes}0};\n")
  string(APPEND table "    {\"${name}\", kFile${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT} "// Made by embed_starter.cmake from tools/starter/; do not edit.
#include <cstddef>

namespace velmora::tools {

struct StarterFile {
  const char* path;
  const unsigned char* bytes;
  size_t size;
};

namespace {
${arrays}}  // namespace

extern const StarterFile kStarterFiles[] = {
${table}};
extern const size_t kStarterFileCount = ${index};

}  // namespace velmora::tools
")
