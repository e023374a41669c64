#pragma once
// The start-up dialog's "詳細設定": a page of the engine's own with the
// numeric settings the dialog does not show, one row per key, changed in
// steps within each key's range. The values go where every setting goes (the
// settings file written at exit and by saveSetting); cancelling puts back
// what the page opened with.
#include <cstdint>
#include <string>
#include <vector>

#include "base/settings.h"

namespace velmora::setup {

struct AdvancedRow {
  SettingKey key;
  int32_t low, high, step;  // in the file's unit (megabytes for CacheMaxSize)
  bool doubling = false;    // steps go -1, 256, 512, ... (texture sizes)
};
// Every numeric key but the five of the dialog and the window's size and
// position (which follow the window), in file order.
const std::vector<AdvancedRow>& advancedRows();

struct AdvancedPage {
  std::vector<int32_t> opening;  // one value per row
};
void openAdvancedPage(AdvancedPage& page);
// One step up (+1) or down (-1) within the row's range.
void stepAdvancedRow(size_t row, int direction);
void defaultAdvancedRow(size_t row);
void cancelAdvancedPage(const AdvancedPage& page);
// "Key = value", as the settings file writes it.
std::string advancedRowText(size_t row);

// Shows the page until OK or cancel (the close box cancels). False when no
// window could be made.
bool runAdvancedPage();

}  // namespace velmora::setup
