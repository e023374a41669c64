#include "bindings/browser_limits.h"

#include <cstdio>
#include <set>
#include <string>

#include "base/report.h"
#include "base/textconv.h"

namespace velmora::bindings {
namespace {
struct BrowserLimitState {
  std::set<std::string> said;  // kinds already reported
};
BrowserLimitState browserLimits;
}  // namespace

void reportBrowserLimit(std::string_view kind, std::string_view feature) {
  if (!browserLimits.said.insert(std::string(kind)).second) return;
  const std::string line = std::string(feature) + ": not available in the browser build";
  std::fprintf(stderr, "velmora: %s\n", line.c_str());
  logInformation(utf8ToGame(line));
}

}  // namespace velmora::bindings
