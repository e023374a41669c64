#include "render/instance.h"

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>

#include "base/report.h"
#include "base/state.h"
#include "base/textconv.h"
#include "platform/window.h"

namespace velmora::render {
namespace {

// A headless run whose game is open in a window, or run by another headless
// run, would write the same save files: it takes a folder of its own instead.
void claimSaveFiles(const std::string& title) {
  RunOptions& o = runOptions();
  if (!o.saveDir.empty()) return;  // --save-dir: its own folder already
  if (!platform::instanceLockHeldElsewhere(title) && platform::takeSaveFilesLock(title)) return;
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/velmora-save-XXXXXX";
  if (!mkdtemp(folder.data())) {
    std::fprintf(stderr, "velmora: \"%s\" is in use elsewhere and no temporary folder could be made; its files are shared\n",
                 title.c_str());
    return;
  }
  o.saveDir = folder;
  o.saveDirTemporary = true;
  setSaveRoot(utf8ToGame(folder) + "/");
  std::fprintf(stderr,
               "velmora: \"%s\" is in use elsewhere; this headless run keeps its files in %s (removed at exit; "
               "--save-dir DIR keeps them)\n",
               title.c_str(), folder.c_str());
}

}  // namespace

bool claimInstance(const std::string& title) {
  if (runOptions().headless) {
    claimSaveFiles(title);
    return true;
  }
  if (!platform::takeInstanceLock(title)) {
    const bool raised = platform::pokeInstance(title);
    std::fprintf(stderr, "velmora: \"%s\" is already running%s\n", title.c_str(),
                 raised ? "; its window was brought to the front" : " (its window did not answer)");
    return false;
  }
  // A headless run holding the files got there first; the player still plays.
  platform::takeSaveFilesLock(title);
  return true;
}

}  // namespace velmora::render
