#include <gtest/gtest.h>

#include "bindings/catalogue.h"
#include "reference.h"
#include "support/tempdir.h"

namespace velmora::tools {
namespace {

TEST(CommandReference, TheCommittedReferenceMatchesTheCatalogue) {
  std::string committed = test::readFile(std::string(VELMORA_SOURCE_DIR) + "/docs/commands.md");
  EXPECT_EQ(committed, commandReference()) << "run: build/velmora-pack reference > docs/commands.md";
}

TEST(CommandReference, ListsEveryCatalogueName) {
  std::string ref = commandReference();
  for (const auto& e : bindings::catalogue())
    EXPECT_NE(ref.find(std::string("| `") + e.name + "` |"), std::string::npos) << e.name;
}

}  // namespace
}  // namespace velmora::tools
