#include "platform/threads.h"

#include <algorithm>
#include <atomic>

#include "platform/internal_steps.h"

namespace velmora::platform {
namespace {

struct ThreadState {
  bool single = !kThreadsAvailable;
  bool stepping = false;
  WorkerStepHooks hooks;
  std::atomic<uint64_t> started{0};
};
ThreadState threadState;

}  // namespace

void setSingleThread(bool on) { threadState.single = on || !kThreadsAvailable; }
bool singleThread() { return threadState.single; }
void installWorkerStepHooks(const WorkerStepHooks& hooks) { threadState.hooks = hooks; }

uint32_t stepWorkers() {
  // A step may report, and a report may wait: it does not step again.
  if (!threadState.single || threadState.stepping) return kNoStepDue;
  threadState.stepping = true;
  uint32_t due = std::min(stepCursorGlide(), stepNullAudioOutput());
  if (threadState.hooks.step) due = std::min(due, threadState.hooks.step());
  threadState.stepping = false;
  return std::max<uint32_t>(due, 1);
}

uint64_t threadsStarted() { return threadState.started.load(); }
void noteThreadStart() { threadState.started.fetch_add(1); }

}  // namespace velmora::platform
