// Save slot files restored into a small running game: the first byte picks
// the text slot file (save001.txt) or a well-formed packed one (save001.dat)
// around the rest. A file is taken whole or refused; either way the game
// goes on, so each input is followed by a frame of motion, a snapshot of what
// now runs and the save screen's reading of the comment.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/snapshot.h"
#include "fuzz_support.h"
#include "resource/resource.h"
#include "save/store.h"
#include "save_game.h"
#include "sprite/motion.h"
#include "sprite/sprite.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::setUpSaveGame();
  if (size == 0) return 0;
  fuzz::InFolder here;
  const bool packed = data[0] & 1;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string path = save::slotPath(1, packed);
  fuzz::writeFile(path, packed ? fuzz::packedDataFile(rest) : std::string(rest));
  save::loadSlot(1, packed);
  // One frame of the restored game: its motion steps and a page records it.
  sprite::motionFrameStep();
  static uint8_t records[16 * 192];
  sprite::recordImageLog(records, 16);
  save::clearSave();
  save::makeSave();
  save::clearSave();
  std::string text;
  if (resource::readDataFile(path.c_str(), packed, text)) {
    const snapshot::Entries entries(text);
    if (const std::string* comment = entries.find("Comment")) snapshot::splitFields(*comment);
  }
  return 0;
}
