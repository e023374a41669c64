// Linked into every test program. Tests run headless; under the sanitizers a
// program that opens GL contexts (and the engines it starts) runs without leak
// checking, because Mesa unloads its driver before the check and what it keeps
// can then be neither told apart nor suppressed. The others check for leaks,
// minus fontconfig's caches, which live as long as the process.
#include <cstdlib>

#ifndef VELMORA_TEST_GPU
#define VELMORA_TEST_GPU 0
#endif

namespace {

struct TestEnvironment {
  TestEnvironment() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (VELMORA_TEST_GPU) setenv("ASAN_OPTIONS", "detect_leaks=0", 0);
    setenv("LSAN_OPTIONS", "suppressions=" VELMORA_SOURCE_DIR "/tests/lsan.supp", 0);
  }
};
const TestEnvironment kEnvironment;

}  // namespace

// Read by the sanitizer runtime before main; the variables above reach only
// the programs the tests start.
extern "C" const char* __asan_default_options() { return VELMORA_TEST_GPU ? "detect_leaks=0" : ""; }
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
