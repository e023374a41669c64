#include "fuzz_support.h"

#include <fcntl.h>
#include <zlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "base/report.h"
#include "base/state.h"

namespace velmora::fuzz {

const std::string& setUp() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/velmora-fuzz-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    runOptions().headless = true;
    std::string root = std::string(pattern) + "/";
    setSaveRoot(root);
    static std::string removeAtExit = pattern;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(removeAtExit, ignored);
    });
    return root;
  }();
  return folder;
}

std::string packedDataFile(std::string_view text) {
  uLongf room = compressBound(text.size());
  std::string out(4 + room, '\0');
  const uint32_t length = uint32_t(text.size());
  std::memcpy(out.data(), &length, 4);
  if (compress2(reinterpret_cast<Bytef*>(out.data() + 4), &room, reinterpret_cast<const Bytef*>(text.data()),
                text.size(), 9) != Z_OK)
    std::abort();
  out.resize(4 + room);
  return out;
}

const std::vector<resource::PackedMember>& readMarkScripts() {
  static const std::vector<resource::PackedMember> scripts = {
      {"script/0.txt", "*start\nmov %a,1\n\x81\x75\x82\xb1\x82\xf1\x81\x76\n\nif %a == 1 goto *next\n*next\n\x81\x75\x82\xa0\x81\x76\n\nend\n"},
      {"script/sub/a.txt", "*other\n\x81\x75" "One.\x81\x76\n\n\x81\x75" "Two.\n\x81\x75" "Three.\n\n\x81\x75" "Four.\n\n"},
  };
  return scripts;
}

InFolder::InFolder() : previous_(open(".", O_RDONLY | O_DIRECTORY)) {
  if (previous_ < 0 || chdir(setUp().c_str()) != 0) std::abort();
}

InFolder::~InFolder() {
  if (fchdir(previous_) != 0) std::abort();
  close(previous_);
}

void writeFile(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

void writeFile(const std::string& path, std::string_view bytes) {
  writeFile(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace velmora::fuzz
