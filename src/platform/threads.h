#pragma once
// Worker threads, and the single-thread mode that has none: a browser page
// without shared memory (a build without threads), or --single-thread. There
// each worker's work is done in small steps on the main thread, from the
// places where the engine waits (sleeps, event waits, frame starts).
#include <cstdint>
#include <thread>
#include <utility>

namespace velmora::platform {

#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
inline constexpr bool kThreadsAvailable = false;
#else
inline constexpr bool kThreadsAvailable = true;
#endif

// Chosen before the engine starts anything (run option, environment).
void setSingleThread(bool on);
bool singleThread();

// No worker needs a step (stepWorkers' answer when none runs).
inline constexpr uint32_t kNoStepDue = UINT32_MAX;

// The steps of the workers above this layer (sound channels, movies); step
// answers how long they can go without the next one, in ms.
struct WorkerStepHooks {
  uint32_t (*step)() = nullptr;
};
void installWorkerStepHooks(const WorkerStepHooks& hooks);

// How often a running movie or cursor glide is stepped: well inside a frame.
inline constexpr uint32_t kWorkerStepSliceMs = 5;

// In single-thread mode one step of every worker: the cursor glide, the
// silent audio output, then the hook's. Nothing otherwise, nor inside a step.
// Returns how long the workers can go without a step (kNoStepDue: none runs),
// which is how long a sleep or an event wait lasts between two steps.
uint32_t stepWorkers();

// Every worker thread of the engine starts here, so that a test can tell
// that the single-thread mode started none.
uint64_t threadsStarted();
void noteThreadStart();
template <class... Args>
std::thread startThread(Args&&... args) {
  noteThreadStart();
  return std::thread(std::forward<Args>(args)...);
}

}  // namespace velmora::platform
