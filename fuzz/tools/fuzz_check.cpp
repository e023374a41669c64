// The script checker on any scripts: every line, value and argument list is
// looked at without evaluating anything, never read past, and reported.
// The first byte chooses UTF-8 or Shift_JIS sources; zero bytes separate
// the start script from two more.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "check.h"
#include "fuzz_support.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::setUp();
  if (size == 0) return 0;
  tools::CheckOptions options;
  options.gameSource = "/nonexistent-game";
  options.sjis = data[0] & 1;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  static const char* const kNames[] = {"script/0.txt", "script/a.txt", "script/sub/b.txt"};
  std::vector<tools::ScriptSource> sources;
  size_t start = 0;
  for (const char* name : kNames) {
    const size_t end = std::min(text.find('\0', start), text.size());
    sources.push_back({name, text.substr(start, end - start)});
    if (end == text.size()) break;
    start = end + 1;
  }
  tools::checkSources(options, sources);
  return 0;
}
