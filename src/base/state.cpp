#include "base/state.h"

#include <cstdlib>

namespace velmora {

std::atomic<int> quitRequest{0};

namespace {
struct SharedState {
  char* memory = nullptr;
  size_t size = 0;
  RunOptions options;
};
SharedState sharedState;
}  // namespace

char* fileMemory() { return sharedState.memory; }
size_t fileSize() { return sharedState.size; }

bool growFileMemory(size_t n) {
  if (n <= sharedState.size && sharedState.memory) return true;
  std::free(sharedState.memory);
  sharedState.memory = static_cast<char*>(std::malloc(n ? n : 1));
  sharedState.size = sharedState.memory ? n : 0;
  return sharedState.memory != nullptr;
}

void releaseFileMemory() {
  std::free(sharedState.memory);
  sharedState.memory = nullptr;
  sharedState.size = 0;
}

uint32_t engineDigit(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'V') return c - 'A' + 10;
  if (c >= 'a' && c <= 'v') return c - 'a' + 10;
  return 0;
}

int32_t readEngineInt(const char* text, size_t length) {
  size_t i = 0;
  while (i < length && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < length && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  uint32_t v = 0;
  for (; i < length && text[i] != '\0'; ++i) v = v * 10 + engineDigit(static_cast<unsigned char>(text[i]));
  return static_cast<int32_t>(negative ? 0u - v : v);
}

RunOptions& runOptions() { return sharedState.options; }

namespace {
uint32_t g_startClock = 0;
}

uint32_t startClock() { return g_startClock; }
void setStartClock(uint32_t ms) { g_startClock = ms; }

}  // namespace velmora
