// The expression evaluator on any text: bad input is reported, never read
// past, and leaves the variable tables usable.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "script/expression.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::setUp();
  // A copy of exactly the input, so that reading past its end is caught.
  const std::string text(reinterpret_cast<const char*>(data), size);
  script::evaluate(std::string_view(text));
  std::string named;
  script::numericReferenceNamed(text, &named);
  script::stringReferenceNamed(text, &named);
  script::resetVariables();
  return 0;
}
