#include "text/ruby.h"

#include "base/encoding.h"

namespace velmora::text {

RubyPlan planRuby(std::string_view reading, int a, int b, int pitch) {
  RubyPlan p;
  for (size_t i = 0; i < reading.size(); i += charLength(reading, i)) ++p.characters;
  p.width = static_cast<int>(reading.size()) * pitch / 4;
  const int base = (a * pitch) / 2 - (b * pitch) / 2;
  p.start = (b * pitch) / 2;
  if (base == 2 * p.width) {
    p.gap = pitch / 2;
    p.start += pitch / 4;
  } else if (base < p.width) {
    p.gap = 0;
    p.start -= (p.width - base) / 2;
  } else {
    p.gap = (base - p.width) / (p.characters + 1);
    p.start += p.gap;
  }
  return p;
}

}  // namespace velmora::text
