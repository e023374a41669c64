#pragma once
// A fresh folder per test that becomes the working folder, as the game folder
// is for the engine; the previous working folder is restored afterwards.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace velmora::test {

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/velmora-test-XXXXXX";
    path_ = mkdtemp(tmpl);
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }
  ~TempDir() {
    std::filesystem::current_path(old_);
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_, old_;
};

inline void writeFile(const std::filesystem::path& p, const std::string& bytes) {
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace velmora::test
