// A TLG save that runs out of memory reports it and keeps the old file.
#include <cstdlib>
#include <new>

#include "helpers.h"

namespace {

// Allocations above this size fail on the thread that set it.
thread_local size_t gFailAbove = SIZE_MAX;

void* allocate(size_t n) {
  if (n > gFailAbove) throw std::bad_alloc();
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}

}  // namespace

// The whole test program allocates through these; only the limit differs.
void* operator new(size_t n) { return allocate(n); }
void* operator new[](size_t n) { return allocate(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept {
  try {
    return allocate(n);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace velmora::image::test {
namespace {

namespace fs = std::filesystem;

class TlgOutOfMemory : public ::testing::TestWithParam<int> {};

TEST_P(TlgOutOfMemory, ReportsFailsAndKeepsThePreviousFile) {
  const int value = GetParam();
  Image* src = makeImage(256, 256, 32, [](int x, int y) { return noise(uint32_t(y * 256 + x)); });
  std::strcpy(src->name, "bg02.png");
  fs::path dir = tempDir() / ("oom" + std::to_string(value));
  fs::create_directories(dir);
  fs::path path = dir / "pic.tlg";
  ASSERT_EQ(saveImage(path.c_str(), src, kSaveTlg, 32, value, 0), 1);
  const std::string before = readFile(path);
  // Messages convert through tables made on first use; make them before the limit.
  printed([&] { saveImage(path.c_str(), nullptr, kSaveTlg, 32, value, 0); });

  int result = -1;
  std::string out = printed([&] {
    gFailAbove = 4096;
    result = saveImage(path.c_str(), src, kSaveTlg, 32, value, 0);
    gFailAbove = SIZE_MAX;
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(out, value == 0 ? "SaveTLG5: Insufficient memory\n" : "SaveTLG6: Insufficient memory\n");
  EXPECT_EQ(readFile(path), before);
  int files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++files;
  EXPECT_EQ(files, 1) << "a temporary file was left behind";

  // With memory again the same picture saves and reads back.
  ASSERT_EQ(saveImage(path.c_str(), src, kSaveTlg, 32, value, 0), 1);
  Image* back = load(readFile(path));
  EXPECT_TRUE(samePixels(src, back));
  freeImage(back);
  freeImage(src);
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(BothCodecs, TlgOutOfMemory, ::testing::Values(0, 1));

}  // namespace
}  // namespace velmora::image::test
